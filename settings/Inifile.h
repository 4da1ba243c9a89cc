#pragma once
// The settings file: an INI text read and written by our own code.
//
// Sections and keys compare without regard to letter case. Writing a key that
// exists replaces its value in place, a new key goes to the end of its section,
// a new section to the end of the file. Every write goes to the file at once.
// Values read lose the spaces around them and one pair of enclosing quotes,
// and are cut at 2047 characters.
//
// The file is UTF-8 text with lines ended by LF, CR LF or CR. Lines that a
// write does not touch keep their exact bytes, whatever they hold; lines the
// program adds take the line end of the file's first line (LF for a new file).
// A UTF-8 byte order mark at the start is read past and written back.
//
// Writes go through TSaveFile (base/Savefile.h): a write that fails (a full
// disk) leaves the file as it was. A file in a folder that refuses new files
// but that may itself be written is rewritten in place, its room reserved
// first.

#include <QString>
#include <QStringList>
#include <cstdint>

#include "app/Drawstyle.h"

// Path of the settings file that every reader and writer of the program uses:
// SettingsFileNameFor(the running executable), unless a test has pointed it
// elsewhere with SetSettingsFileName. An empty path restores the rule.
QString SettingsFileName();
void SetSettingsFileName(const QString& path);

// While the settings file is read-only (batch runs), it is read as always,
// and every write to it is left out: the file keeps its bytes, or stays
// missing. Other files are written as always.
void SetSettingsFileReadOnly(bool readOnly);
bool SettingsFileReadOnly();

// Where the settings file of an executable lives. Beside it, as the
// executable's path with the extension ".ini", whenever that file exists
// (even in a folder the user may not write: an installed or shared copy
// whose settings were put there) or the executable's directory is writable
// (a build tree, a portable copy). Otherwise (an install under /usr) every
// save would fail, so the file takes the same name in the user's
// configuration directory: $XDG_CONFIG_HOME/tracery/<name>.ini, or
// ~/.config/tracery/<name>.ini when XDG_CONFIG_HOME is unset, empty or not
// an absolute path. That folder is created by the first write.
QString SettingsFileNameFor(const QString& executablePath);

// A settings file that is not a regular file (nor a link to one: a device,
// a pipe) or that is larger than 1 MiB is refused: it is read as an empty
// file, so every setting takes its default, and never written. The message
// that tells the user so, once at start-up; empty for a file that is not
// refused (or missing).
QString SettingsFileRefusal(const QString& fileName = SettingsFileName());

// Integer reading of the settings file: "0x"/"0X" hexadecimal (text longer than
// two characters), "$" hexadecimal, or signed decimal; leading spaces and one
// sign allowed; anything else gives the default. Eight hexadecimal digits fill
// the 32 bits: "0x80000008" is -2147483640.
std::int32_t StrToIntDef(const QString& text, std::int32_t def);

// Colour texts of the settings file: "0x" and eight hexadecimal digits, lower
// case for fonts and line types, upper case for the palette.
QString FormatColourLower(TColor colour);  // "0x%08x"
QString FormatColourUpper(TColor colour);  // "0x%08X"
// A colour text read back as its 32-bit value (integer reading as above).
TColor StrToColourDef(const QString& text, TColor def);

// The item list: comma-separated, quote-aware encoding of multi-part values.
// Reading skips characters of code 1 to 32 around items; a quoted item runs to
// its closing quote (a doubled quote stands for one); a bare item ends at a
// comma or any character of code 32 or below; a comma that ends the text adds
// one empty item; a character of code 0 ends the text.
QStringList SplitItemList(const QString& text);
// Writing quotes an item holding a space, a character below code 32, a double
// quote or a comma (inner quotes doubled); a list whose only item is empty is
// written as two double quotes.
QString JoinItemList(const QStringList& items);

class TIniFile {
public:
    explicit TIniFile(const QString& fileName);

    const QString& FileName() const { return fileName_; }

    // A section exists when its header line is in the file, keys or not.
    bool SectionExists(const QString& section) const;
    bool ValueExists(const QString& section, const QString& key) const;
    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    std::int32_t ReadInteger(const QString& section, const QString& key, std::int32_t def) const;
    // Key names of a section, in file order, as spelled in the file.
    QStringList ReadSection(const QString& section) const;

    // Writes throw EFileError("Unable to write to <path>") when the file
    // system refuses. A missing folder of the file is created first. A write that changes nothing leaves the file
    // untouched. Line breaks inside a value are written as spaces, so that a value never spills onto a line of its own.
    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, std::int32_t value);
    // Removes every section of that name with all its lines.
    void EraseSection(const QString& section);

private:
    QString fileName_;
};
