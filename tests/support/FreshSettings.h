#pragma once
// Fixture for tests that read and write the settings file: every test gets a
// fresh, empty temporary folder and points SettingsFileName() at a file in it.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QFont>
#include <QRect>
#include <QString>
#include <QTemporaryDir>
#include <ostream>

#include "app/Drawstyle.h"
#include "settings/Inifile.h"

class TFreshSettings : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        SetSettingsFileName(IniPath());
    }
    void TearDown() override { SetSettingsFileName(QString()); }

    QString IniPath(const QString& name = QStringLiteral("Tracery.ini")) const { return dir.filePath(name); }

    void WriteIni(const QByteArray& text)
    {
        QFile f(IniPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }

    // The file's text with every line end as "\n"; empty when there is no file.
    QByteArray IniText(const QString& name = QStringLiteral("Tracery.ini")) const
    {
        QFile f(IniPath(name));
        if (!f.open(QIODevice::ReadOnly)) return QByteArray();
        return f.readAll().replace("\r\n", "\n");
    }

    QTemporaryDir dir;
};

inline TFont MakeFont(const QString& face, int size, TColor colour, bool bold = false, bool italic = false)
{
    TFont font;
    font.Face = face;
    font.Size = size;
    font.Colour = colour;
    font.Bold = bold;
    font.Italic = italic;
    return font;
}

// Readable failure output.
[[maybe_unused]] static void PrintTo(const TFont& f, std::ostream* os)
{
    *os << '"' << f.Face.toStdString() << "\" " << f.Size << "pt colour 0x" << std::hex << f.Colour << std::dec
        << (f.Bold ? " bold" : "") << (f.Italic ? " italic" : "") << (f.Underline ? " underline" : "")
        << (f.StrikeOut ? " strike-out" : "") << " charset " << f.Charset;
}
[[maybe_unused]] static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
[[maybe_unused]] static void PrintTo(const QByteArray& b, std::ostream* os) { *os << '"' << b.toStdString() << '"'; }
[[maybe_unused]] static void PrintTo(const QRect& r, std::ostream* os)
{
    *os << "QRect(" << r.x() << ", " << r.y() << ", " << r.width() << " x " << r.height() << ")";
}
[[maybe_unused]] static void PrintTo(const QFont& f, std::ostream* os) { *os << f.toString().toStdString(); }
