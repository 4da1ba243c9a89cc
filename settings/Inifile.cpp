#include "settings/Inifile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <limits>
#include <vector>

#include "base/Errors.h"
#include "base/Savefile.h"

// ---------------------------------------------------------------------------
// Settings file name

namespace {
QString& OverriddenName()
{
    static QString name;
    return name;
}
}  // namespace

QString SettingsFileNameFor(const QString& executablePath)
{
    const QFileInfo exe(executablePath);
    const QString name = exe.completeBaseName() + QStringLiteral(".ini");
    const QString beside = exe.absolutePath() + QLatin1Char('/') + name;
    const QFileInfo exeDir(exe.absolutePath());
    const QFileInfo besideFile(beside);
    if (besideFile.exists() || besideFile.isSymLink() || (exeDir.isDir() && exeDir.isWritable())) return beside;

    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || QDir::isRelativePath(config)) config = QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(config + QStringLiteral("/tracery/") + name);
}

QString SettingsFileName()
{
    if (!OverriddenName().isEmpty()) return OverriddenName();
    return SettingsFileNameFor(QCoreApplication::applicationFilePath());
}

void SetSettingsFileName(const QString& path) { OverriddenName() = path; }

namespace {
bool settingsReadOnly = false;

bool IsReadOnly(const QString& fileName)
{
    return settingsReadOnly &&
           QFileInfo(fileName).absoluteFilePath() == QFileInfo(SettingsFileName()).absoluteFilePath();
}
}  // namespace

void SetSettingsFileReadOnly(bool readOnly) { settingsReadOnly = readOnly; }
bool SettingsFileReadOnly() { return settingsReadOnly; }

// ---------------------------------------------------------------------------
// Integers and colours

std::int32_t StrToIntDef(const QString& text, std::int32_t def)
{
    QString s = text;
    if (s.size() > 2 && s[0] == QLatin1Char('0') && (s[1] == QLatin1Char('x') || s[1] == QLatin1Char('X')))
        s = QLatin1Char('$') + s.mid(2);

    const qsizetype n = s.size();
    qsizetype i = 0;
    while (i < n && s[i] == QLatin1Char(' ')) ++i;
    bool negative = false;
    if (i < n && (s[i] == QLatin1Char('-') || s[i] == QLatin1Char('+'))) {
        negative = s[i] == QLatin1Char('-');
        ++i;
    }

    if (i < n && s[i] == QLatin1Char('$')) {
        ++i;
        if (i == n) return def;
        std::uint64_t v = 0;
        for (; i < n; ++i) {
            const char16_t c = s[i].unicode();
            int digit;
            if (c >= u'0' && c <= u'9')
                digit = c - u'0';
            else if (c >= u'a' && c <= u'f')
                digit = c - u'a' + 10;
            else if (c >= u'A' && c <= u'F')
                digit = c - u'A' + 10;
            else
                return def;
            v = v * 16 + static_cast<std::uint64_t>(digit);
            if (v > 0xFFFFFFFFull) return def;
        }
        std::uint32_t bits = static_cast<std::uint32_t>(v);
        if (negative) bits = 0u - bits;
        return static_cast<std::int32_t>(bits);
    }

    if (i == n) return def;
    std::int64_t v = 0;
    for (; i < n; ++i) {
        const char16_t c = s[i].unicode();
        if (c < u'0' || c > u'9') return def;
        v = v * 10 + (c - u'0');
        if (v > 2147483648LL) return def;
    }
    if (negative) return static_cast<std::int32_t>(-v);
    if (v > std::numeric_limits<std::int32_t>::max()) return def;
    return static_cast<std::int32_t>(v);
}

QString FormatColourLower(TColor colour) { return QStringLiteral("0x%1").arg(colour, 8, 16, QLatin1Char('0')); }

QString FormatColourUpper(TColor colour)
{
    return QStringLiteral("0x") + QStringLiteral("%1").arg(colour, 8, 16, QLatin1Char('0')).toUpper();
}

TColor StrToColourDef(const QString& text, TColor def)
{
    return static_cast<TColor>(StrToIntDef(text, static_cast<std::int32_t>(def)));
}

// ---------------------------------------------------------------------------
// Item lists

QStringList SplitItemList(const QString& text)
{
    QStringList items;
    qsizetype n = text.indexOf(QChar(u'\0'));
    if (n < 0) n = text.size();
    auto blank = [&](qsizetype i) { return i < n && text[i].unicode() >= 1 && text[i].unicode() <= 32; };

    qsizetype p = 0;
    while (blank(p)) ++p;
    while (p < n) {
        QString item;
        if (text[p] == QLatin1Char('"')) {
            ++p;
            while (p < n) {
                if (text[p] == QLatin1Char('"')) {
                    if (p + 1 < n && text[p + 1] == QLatin1Char('"')) {
                        item += QLatin1Char('"');
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                item += text[p];
                ++p;
            }
        } else {
            const qsizetype start = p;
            while (p < n && text[p].unicode() > 32 && text[p] != QLatin1Char(',')) ++p;
            item = text.mid(start, p - start);
        }
        items << item;

        while (blank(p)) ++p;
        if (p < n && text[p] == QLatin1Char(',')) {
            if (p + 1 == n) items << QString();
            ++p;
            while (blank(p)) ++p;
        }
    }
    return items;
}

QString JoinItemList(const QStringList& items)
{
    if (items.size() == 1 && items[0].isEmpty()) return QStringLiteral("\"\"");
    QStringList written;
    written.reserve(items.size());
    for (const QString& item : items) {
        bool quote = false;
        for (QChar c : item) {
            if (c.unicode() <= 32 || c == QLatin1Char('"') || c == QLatin1Char(',')) {
                quote = true;
                break;
            }
        }
        if (quote) {
            QString q = item;
            q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
            written << QLatin1Char('"') + q + QLatin1Char('"');
        } else {
            written << item;
        }
    }
    return written.join(QLatin1Char(','));
}

// ---------------------------------------------------------------------------
// The file image: the file's lines with their own line ends, parsed on demand

namespace {

constexpr qsizetype kMaxValueLength = 2047;

struct TLine {
    QByteArray text;  // without the line end
    QByteArray eol;   // "\n", "\r\n", "\r" or empty (last line without one)
};

enum class TLineKind { Other, Section, Key };

struct TParsedLine {
    TLineKind kind = TLineKind::Other;
    QByteArray name;   // section name or key, spaces around it dropped
    QByteArray value;  // key lines: the text after the first "=", trimmed
};

bool IsSpaceByte(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n'; }

QByteArray TrimBytes(const QByteArray& b)
{
    qsizetype s = 0, e = b.size();
    while (s < e && IsSpaceByte(b[s])) ++s;
    while (e > s && IsSpaceByte(b[e - 1])) --e;
    return b.mid(s, e - s);
}

TParsedLine ParseLine(const QByteArray& raw)
{
    TParsedLine parsed;
    const QByteArray text = TrimBytes(raw);
    if (text.isEmpty()) return parsed;
    if (text[0] == '[') {
        const qsizetype close = text.lastIndexOf(']');
        if (close > 0) {
            parsed.kind = TLineKind::Section;
            parsed.name = TrimBytes(text.mid(1, close - 1));
        }
        return parsed;
    }
    if (text[0] == ';') return parsed;
    const qsizetype eq = text.indexOf('=');
    if (eq < 0) return parsed;
    QByteArray name = TrimBytes(text.left(eq));
    if (name.isEmpty()) return parsed;
    parsed.kind = TLineKind::Key;
    parsed.name = name;
    parsed.value = TrimBytes(text.mid(eq + 1));
    return parsed;
}

bool SameName(const QByteArray& fileName, const QString& wanted)
{
    return QString::fromUtf8(fileName).compare(wanted, Qt::CaseInsensitive) == 0;
}

// A name or value as it goes into the file: line breaks would start new lines.
QByteArray OneLine(const QString& text)
{
    QByteArray bytes = text.toUtf8();
    bytes.replace('\r', ' ');
    bytes.replace('\n', ' ');
    return bytes;
}

QString FullPath(const QString& fileName) { return QDir::toNativeSeparators(QFileInfo(fileName).absoluteFilePath()); }

constexpr qint64 kMaxFileSize = 1024 * 1024;
const QByteArray kByteOrderMark = QByteArrayLiteral("\xEF\xBB\xBF");

class TFileImage {
public:
    // Reads the file; a missing or unreadable file is an empty one, and so
    // is one that is refused (not a regular file, or too large).
    explicit TFileImage(const QString& fileName) : fileName_(fileName)
    {
        switch (ReadRegularFile(fileName, kMaxFileSize, original_)) {
        case TReadOutcome::Read: exists_ = readable_ = true; break;
        case TReadOutcome::Missing: break;
        case TReadOutcome::NotRegular:
        case TReadOutcome::TooLarge: refused_ = true; break;
        case TReadOutcome::Failed: exists_ = true; break;
        }
        // A UTF-8 byte order mark is no part of the first line; it is kept.
        if (original_.startsWith(kByteOrderMark)) mark_ = kByteOrderMark;
        Split(QByteArrayView(original_).sliced(mark_.size()));
    }

    std::vector<TLine>& Lines() { return lines_; }
    const std::vector<TLine>& Lines() const { return lines_; }

    // Index of the header of the first section of that name, or -1.
    qsizetype FindSection(const QString& section, qsizetype from = 0) const
    {
        for (qsizetype i = from; i < Count(); ++i) {
            const TParsedLine p = ParseLine(lines_[i].text);
            if (p.kind == TLineKind::Section && SameName(p.name, section)) return i;
        }
        return -1;
    }

    // Index one past the last line of the section whose header is at `header`.
    qsizetype SectionEnd(qsizetype header) const
    {
        for (qsizetype i = header + 1; i < Count(); ++i)
            if (ParseLine(lines_[i].text).kind == TLineKind::Section) return i;
        return Count();
    }

    // Index of the first key line of that name inside the section, or -1.
    qsizetype FindKey(qsizetype header, const QString& key, TParsedLine* parsed = nullptr) const
    {
        const qsizetype end = SectionEnd(header);
        for (qsizetype i = header + 1; i < end; ++i) {
            TParsedLine p = ParseLine(lines_[i].text);
            if (p.kind == TLineKind::Key && SameName(p.name, key)) {
                if (parsed) *parsed = p;
                return i;
            }
        }
        return -1;
    }

    // Inserts a line before index `at`, giving the line before it a line end
    // if it was the file's last line and had none.
    void Insert(qsizetype at, const QByteArray& text)
    {
        if (at > 0 && lines_[at - 1].eol.isEmpty()) lines_[at - 1].eol = DefaultEol();
        lines_.insert(lines_.begin() + at, TLine{text, DefaultEol()});
    }

    void Erase(qsizetype from, qsizetype to) { lines_.erase(lines_.begin() + from, lines_.begin() + to); }

    qsizetype Count() const { return static_cast<qsizetype>(lines_.size()); }

    // Writes the changed image back; nothing happens when it is unchanged.
    void Save() const
    {
        // A file refused for reading is never written either.
        if (IsReadOnly(fileName_) || refused_) return;
        const QString error = QStringLiteral("Unable to write to ") + FullPath(fileName_);
        // A file that is there but cannot be read is not overwritten with
        // what little we know of it.
        if (exists_ && !readable_) throw EFileError(error);
        QByteArray bytes = mark_;
        for (const TLine& line : lines_) bytes += line.text + line.eol;
        if (exists_ && bytes == original_) return;

        // A settings file in the user's configuration directory may be the
        // first thing in its folder.
        const QString folder = QFileInfo(fileName_).absolutePath();
        if (!QFileInfo::exists(folder)) QDir().mkpath(folder);
        // A file in a folder the user may not write, but that the user may
        // write itself, is rewritten in place.
        const QString failure = SaveFile(
            fileName_, [&](QIODevice& file) { return file.write(bytes) == bytes.size(); }, QString(),
            TSaveFile::TMode::ReplaceOrRewrite);
        if (!failure.isEmpty()) throw EFileError(error);
    }

private:
    void Split(QByteArrayView data)
    {
        const qsizetype n = data.size();
        qsizetype start = 0;
        for (qsizetype i = 0; i < n; ++i) {
            const char c = data[i];
            if (c != '\n' && c != '\r') continue;
            qsizetype eolLength = (c == '\r' && i + 1 < n && data[i + 1] == '\n') ? 2 : 1;
            lines_.push_back(
                TLine{data.sliced(start, i - start).toByteArray(), data.sliced(i, eolLength).toByteArray()});
            i += eolLength - 1;
            start = i + 1;
        }
        if (start < n) lines_.push_back(TLine{data.sliced(start).toByteArray(), QByteArray()});
    }

    QByteArray DefaultEol() const
    {
        if (!lines_.empty() && !lines_.front().eol.isEmpty()) return lines_.front().eol;
        return QByteArrayLiteral("\n");
    }

    QString fileName_;
    QByteArray original_;
    QByteArray mark_;  // the byte order mark the file starts with, if any
    std::vector<TLine> lines_;
    bool exists_ = false;
    bool readable_ = false;
    bool refused_ = false;
};

QString ValueAsRead(const QByteArray& raw)
{
    QString value = QString::fromUtf8(raw);
    if (value.size() > 1 && (value[0] == QLatin1Char('"') || value[0] == QLatin1Char('\'')) && value.back() == value[0])
        value = value.mid(1, value.size() - 2);
    if (value.size() > kMaxValueLength) {
        value.truncate(kMaxValueLength);
        if (value.back().isHighSurrogate()) value.chop(1);
    }
    return value;
}

}  // namespace

// ---------------------------------------------------------------------------
// TIniFile

TIniFile::TIniFile(const QString& fileName) : fileName_(fileName) {}

bool TIniFile::SectionExists(const QString& section) const { return TFileImage(fileName_).FindSection(section) >= 0; }

bool TIniFile::ValueExists(const QString& section, const QString& key) const
{
    const TFileImage image(fileName_);
    const qsizetype header = image.FindSection(section);
    return header >= 0 && image.FindKey(header, key) >= 0;
}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& def) const
{
    const TFileImage image(fileName_);
    const qsizetype header = image.FindSection(section);
    if (header < 0) return def;
    TParsedLine parsed;
    if (image.FindKey(header, key, &parsed) < 0) return def;
    return ValueAsRead(parsed.value);
}

std::int32_t TIniFile::ReadInteger(const QString& section, const QString& key, std::int32_t def) const
{
    return StrToIntDef(ReadString(section, key, QString()), def);
}

QStringList TIniFile::ReadSection(const QString& section) const
{
    QStringList keys;
    const TFileImage image(fileName_);
    const qsizetype header = image.FindSection(section);
    if (header < 0) return keys;
    const qsizetype end = image.SectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        const TParsedLine p = ParseLine(image.Lines()[i].text);
        if (p.kind == TLineKind::Key) keys << QString::fromUtf8(p.name);
    }
    return keys;
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value)
{
    TFileImage image(fileName_);
    const QByteArray valueBytes = OneLine(value);
    const qsizetype header = image.FindSection(section);
    if (header < 0) {
        const qsizetype end = image.Count();
        image.Insert(end, '[' + OneLine(section) + ']');
        image.Insert(end + 1, OneLine(key) + '=' + valueBytes);
    } else {
        TParsedLine parsed;
        const qsizetype at = image.FindKey(header, key, &parsed);
        if (at >= 0) {
            image.Lines()[at].text = parsed.name + '=' + valueBytes;
        } else {
            // After the section's last line that is not blank.
            qsizetype last = image.SectionEnd(header) - 1;
            while (last > header && TrimBytes(image.Lines()[last].text).isEmpty()) --last;
            image.Insert(last + 1, OneLine(key) + '=' + valueBytes);
        }
    }
    image.Save();
}

void TIniFile::WriteInteger(const QString& section, const QString& key, std::int32_t value)
{
    WriteString(section, key, QString::number(value));
}

void TIniFile::EraseSection(const QString& section)
{
    TFileImage image(fileName_);
    qsizetype header = image.FindSection(section);
    if (header < 0) return;
    while (header >= 0) {
        image.Erase(header, image.SectionEnd(header));
        header = image.FindSection(section, header);
    }
    image.Save();
}

// ---------------------------------------------------------------------------
// A settings file that is refused

QString SettingsFileRefusal(const QString& fileName)
{
    const QString unused = QStringLiteral(": the default settings are used, and none are saved.");
    if (const QString kind = NonRegularKind(fileName); !kind.isEmpty())
        return QStringLiteral("The settings file '%1' is %2, not a regular file").arg(FullPath(fileName), kind) +
               unused;
    if (const QFileInfo info(fileName); info.isFile() && info.size() > kMaxFileSize)
        return QStringLiteral("The settings file '%1' is larger than 1 MiB").arg(FullPath(fileName)) + unused;
    return QString();
}
