#pragma once
// The settings file: an INI text read and written by our own code.
//
// Sections and keys compare without regard to letter case. Writing a key that
// exists replaces its value in place, a new key goes to the end of its section,
// a new section to the end of the file. Every write goes to the file at once.
// Values read lose the spaces around them and one pair of enclosing quotes,
// and are cut at 2047 characters.

#include <QString>
#include <QStringList>
#include <cstdint>

#include "app/Surface.h"

// Path of the settings file that every reader and writer of the program uses:
// the executable's path with the extension ".ini", unless a test or an
// installed system has pointed it elsewhere.
QString SettingsFileName();
void SetSettingsFileName(const QString& path);

// Integer reading of the settings file: "0x"/"0X" hexadecimal (text longer than
// two characters), "$" hexadecimal, or signed decimal; leading spaces and one
// sign allowed; anything else gives the default.
std::int32_t StrToIntDef(const QString& text, std::int32_t def);

// The item list: comma-separated, quote-aware encoding of multi-part values.
QStringList SplitItemList(const QString& text);
QString JoinItemList(const QStringList& items);

class TIniFile {
public:
    explicit TIniFile(const QString& fileName);

    const QString& FileName() const { return fileName_; }

    bool SectionExists(const QString& section) const;
    bool ValueExists(const QString& section, const QString& key) const;
    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    std::int32_t ReadInteger(const QString& section, const QString& key, std::int32_t def) const;
    // Key names of a section, in file order.
    QStringList ReadSection(const QString& section) const;

    // Writes throw EFileError("Unable to write to <path>") when the file
    // system refuses.
    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, std::int32_t value);
    void EraseSection(const QString& section);

private:
    QString fileName_;
};
