#include "settings/Inifile.h"

#include <QCoreApplication>
#include <QFileInfo>

// Placeholder implementation; the full reader and writer arrive with the
// settings-file work.
namespace {
QString& OverriddenName()
{
    static QString name;
    return name;
}
}  // namespace

QString SettingsFileName()
{
    if (!OverriddenName().isEmpty()) return OverriddenName();
    QFileInfo exe(QCoreApplication::applicationFilePath());
    return exe.absolutePath() + QLatin1Char('/') + exe.completeBaseName() + QStringLiteral(".ini");
}

void SetSettingsFileName(const QString& path) { OverriddenName() = path; }

std::int32_t StrToIntDef(const QString& text, std::int32_t def)
{
    bool ok = false;
    int v = text.toInt(&ok);
    return ok ? v : def;
}

QStringList SplitItemList(const QString& text) { return text.split(QLatin1Char(',')); }
QString JoinItemList(const QStringList& items) { return items.join(QLatin1Char(',')); }

TIniFile::TIniFile(const QString& fileName) : fileName_(fileName) {}
bool TIniFile::SectionExists(const QString&) const { return false; }
bool TIniFile::ValueExists(const QString&, const QString&) const { return false; }
QString TIniFile::ReadString(const QString&, const QString&, const QString& def) const { return def; }
std::int32_t TIniFile::ReadInteger(const QString&, const QString&, std::int32_t def) const { return def; }
QStringList TIniFile::ReadSection(const QString&) const { return {}; }
void TIniFile::WriteString(const QString&, const QString&, const QString&) {}
void TIniFile::WriteInteger(const QString&, const QString&, std::int32_t) {}
void TIniFile::EraseSection(const QString&) {}
