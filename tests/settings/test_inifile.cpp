// The settings file: reading and writing rules, integer texts, item lists,
// and behaviour on damaged files.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "Smalldisk.h"
#include "base/Errors.h"
#include "settings/Inifile.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        path_ = dir_.filePath(QStringLiteral("tracery.ini"));
    }

    void Put(const QByteArray& bytes)
    {
        QFile f(path_);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QByteArray Get() const
    {
        QFile f(path_);
        if (!f.open(QIODevice::ReadOnly)) return QByteArray("<missing>");
        return f.readAll();
    }

    QTemporaryDir dir_;
    QString path_;
};

}  // namespace

// ---------------------------------------------------------------------------
// Reading

TEST_F(IniFileTest, SectionsAndKeysMatchWithoutRegardToCase)
{
    Put("[form1]\nLEFT=12\n[Main]\nfile=/tmp/a.q01\n");
    TIniFile ini(path_);
    EXPECT_EQ(ini.ReadInteger("Form1", "Left", -1), 12);
    EXPECT_EQ(ini.ReadString("MAIN", "File", "none"), "/tmp/a.q01");
    EXPECT_TRUE(ini.SectionExists("FORM1"));
    EXPECT_TRUE(ini.ValueExists("main", "FILE"));
    EXPECT_FALSE(ini.ValueExists("Form1", "Top"));
}

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesTheDefault)
{
    TIniFile missing(path_);
    EXPECT_EQ(missing.ReadString("Main", "File", "dflt"), "dflt");
    EXPECT_EQ(missing.ReadInteger("Form1", "Left", 7), 7);
    EXPECT_FALSE(missing.SectionExists("Main"));
    EXPECT_TRUE(missing.ReadSection("Main").isEmpty());
    EXPECT_EQ(Get(), "<missing>");  // reading creates nothing

    Put("[Main]\nFile=\n");
    TIniFile ini(path_);
    EXPECT_EQ(ini.ReadString("Main", "File", "dflt"), "");  // present but empty
    EXPECT_EQ(ini.ReadString("Main", "Other", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadString("Other", "File", "dflt"), "dflt");
}

TEST_F(IniFileTest, ValuesLoseSurroundingSpacesAndOnePairOfQuotes)
{
    Put("[S]\n"
        "  a  =   two words   \n"
        "b=\"quoted value\"\n"
        "c='single'\n"
        "d=\"'inner'\"\n"
        "e=\"\n"
        "f=\"open\n"
        "g=\" padded \"\n"
        "h=x=y\n"
        "i=\t\ttabbed\t\n");
    TIniFile ini(path_);
    EXPECT_EQ(ini.ReadString("S", "a", ""), "two words");
    EXPECT_EQ(ini.ReadString("S", "b", ""), "quoted value");
    EXPECT_EQ(ini.ReadString("S", "c", ""), "single");
    EXPECT_EQ(ini.ReadString("S", "d", ""), "'inner'");
    EXPECT_EQ(ini.ReadString("S", "e", ""), "\"");
    EXPECT_EQ(ini.ReadString("S", "f", ""), "\"open");
    EXPECT_EQ(ini.ReadString("S", "g", ""), " padded ");
    EXPECT_EQ(ini.ReadString("S", "h", ""), "x=y");
    EXPECT_EQ(ini.ReadString("S", "i", ""), "tabbed");
}

TEST_F(IniFileTest, ValuesAreCutAt2047Characters)
{
    const QByteArray longValue(3000, 'v');
    Put("[S]\nk=" + longValue + "\nq=\"" + longValue + "\"\n");
    TIniFile ini(path_);
    EXPECT_EQ(ini.ReadString("S", "k", ""), QString(2047, QLatin1Char('v')));
    EXPECT_EQ(ini.ReadString("S", "q", ""), QString(2047, QLatin1Char('v')));
}

TEST_F(IniFileTest, FirstOccurrenceOfADuplicatedKeyOrSectionWins)
{
    Put("[S]\nk=1\nk=2\n[s]\nk=3\nj=4\n");
    TIniFile ini(path_);
    EXPECT_EQ(ini.ReadInteger("S", "k", 0), 1);
    EXPECT_FALSE(ini.ValueExists("S", "j"));
}

TEST_F(IniFileTest, ReadSectionListsKeyNamesInFileOrder)
{
    Put("[Recent Files]\nFile3=c\n; note\nFile1=a\n\nnot a key\nFile2=b\n[Next]\nFile9=z\n");
    TIniFile ini(path_);
    EXPECT_EQ(ini.ReadSection("recent files"), QStringList({"File3", "File1", "File2"}));
    Put("[Empty]\n[Other]\nx=1\n");
    EXPECT_TRUE(ini.SectionExists("Empty"));
    EXPECT_TRUE(ini.ReadSection("Empty").isEmpty());
}

// ---------------------------------------------------------------------------
// Writing

TEST_F(IniFileTest, FirstWriteCreatesTheFile)
{
    TIniFile ini(path_);
    ini.WriteString("Main", "File", "/home/u/amp.q01");
    EXPECT_EQ(Get(), "[Main]\nFile=/home/u/amp.q01\n");
}

TEST_F(IniFileTest, ExistingKeyIsReplacedInPlaceAndOtherLinesKeepTheirBytes)
{
    Put("; hand-written\n"
        "[FORM1]\n"
        "  left = 5 \n"
        "junk line without equals\n"
        "Top=6\n"
        "\n"
        "[Main]\n"
        "File=x\n");
    TIniFile ini(path_);
    ini.WriteInteger("Form1", "Left", 640);
    EXPECT_EQ(Get(),
              "; hand-written\n"
              "[FORM1]\n"
              "left=640\n"
              "junk line without equals\n"
              "Top=6\n"
              "\n"
              "[Main]\n"
              "File=x\n");
}

TEST_F(IniFileTest, NewKeysGoToTheEndOfTheirSectionInWritingOrder)
{
    Put("[A]\nx=1\n\n[B]\ny=2\n");
    TIniFile ini(path_);
    ini.WriteString("a", "Second", "s");
    ini.WriteString("A", "Third", "t");
    ini.WriteString("B", "z", "3");
    ini.WriteString("C", "Left", "-12");
    ini.WriteString("C", "Top", "0");
    EXPECT_EQ(Get(), "[A]\nx=1\nSecond=s\nThird=t\n\n[B]\ny=2\nz=3\n[C]\nLeft=-12\nTop=0\n");
}

TEST_F(IniFileTest, WrittenValuesReadBackExactly)
{
    TIniFile ini(path_);
    ini.WriteString("Font", "Size 1", "\"Arial Narrow\",6,0x00ff0000");
    ini.WriteInteger("Form1", "Left", -2147483647 - 1);
    // Starts but does not end with a quote: read as it stands.
    EXPECT_EQ(ini.ReadString("Font", "Size 1", ""), "\"Arial Narrow\",6,0x00ff0000");
    EXPECT_EQ(ini.ReadInteger("Form1", "Left", 0), -2147483647 - 1);
    EXPECT_EQ(Get(), "[Font]\nSize 1=\"Arial Narrow\",6,0x00ff0000\n[Form1]\nLeft=-2147483648\n");
}

TEST_F(IniFileTest, LineBreaksInAValueStayOnItsLine)
{
    TIniFile ini(path_);
    ini.WriteString("Main", "File", "a\nb\r\n[Evil]");
    EXPECT_EQ(Get(), "[Main]\nFile=a b  [Evil]\n");
    EXPECT_FALSE(ini.SectionExists("Evil"));
}

TEST_F(IniFileTest, EraseSectionRemovesEverySectionOfThatNameWithItsLines)
{
    Put("[Main]\nFile=x\n[Recent Files]\nFile1=a\n; c\n\n[Other]\nk=v\n[recent files]\nFile2=b\n");
    TIniFile ini(path_);
    ini.EraseSection("Recent Files");
    EXPECT_EQ(Get(), "[Main]\nFile=x\n[Other]\nk=v\n");
    ini.EraseSection("Absent");
    EXPECT_EQ(Get(), "[Main]\nFile=x\n[Other]\nk=v\n");
}

TEST_F(IniFileTest, EraseOfAMissingSectionCreatesNoFile)
{
    TIniFile ini(path_);
    ini.EraseSection("Recent Files");
    EXPECT_EQ(Get(), "<missing>");
}

TEST_F(IniFileTest, RefusedWriteNamesTheFullPath)
{
    // Running as root ignores permissions; a path below a regular file can
    // never be written.
    Put("[A]\n");
    const QString blocked = path_ + QStringLiteral("/settings.ini");
    TIniFile ini(blocked);
    try {
        ini.WriteString("Form1", "Left", "1");
        FAIL() << "no error";
    } catch (const EFileError& e) {
        EXPECT_EQ(e.Message(), "Unable to write to " + blocked);
    }
    EXPECT_THROW(ini.WriteInteger("Form1", "Left", 1), EFileError);
    EXPECT_NO_THROW(ini.EraseSection("Form1"));  // nothing to erase, nothing written
    EXPECT_EQ(ini.ReadInteger("Form1", "Left", 9), 9);
}

// ---------------------------------------------------------------------------
// Damaged files

TEST_F(IniFileTest, CrLfFileKeepsCrLfAndReadsCleanly)
{
    Put("[Form1]\r\nLeft=10\r\nTop=20\r\n");
    TIniFile ini(path_);
    EXPECT_EQ(ini.ReadInteger("Form1", "Left", 0), 10);
    EXPECT_EQ(ini.ReadString("Form1", "Top", ""), "20");
    ini.WriteInteger("Form1", "Top", 21);
    ini.WriteInteger("Form1", "Width", 300);
    ini.WriteString("Main", "File", "f");
    EXPECT_EQ(Get(), "[Form1]\r\nLeft=10\r\nTop=21\r\nWidth=300\r\n[Main]\r\nFile=f\r\n");
}

TEST_F(IniFileTest, LastLineWithoutNewlineIsReadAndExtended)
{
    Put("[Form1]\nLeft=10");
    TIniFile ini(path_);
    EXPECT_EQ(ini.ReadInteger("Form1", "Left", 0), 10);
    ini.WriteInteger("Form1", "Top", 5);
    EXPECT_EQ(Get(), "[Form1]\nLeft=10\nTop=5\n");

    Put("[Form1]\nLeft=10");
    ini.WriteInteger("Form1", "Left", 11);
    EXPECT_EQ(Get(), "[Form1]\nLeft=11");

    Put("[Main]");
    ini.WriteString("Main", "File", "p");
    EXPECT_EQ(Get(), "[Main]\nFile=p\n");
}

TEST_F(IniFileTest, BinaryJunkFallsBackToDefaultsAndSurvivesWrites)
{
    QByteArray junk;
    for (int i = 0; i < 4096; ++i) junk += char((i * 37 + 11) & 0xFF);
    junk.replace('\n', 'x').replace('\r', 'y');
    const QByteArray tail("\n[Form1\n=\n[\n]\n\xff\xfe[Form1]=\x00\x01\n", 27);
    const QByteArray content = junk + tail;
    ASSERT_EQ(tail.back(), '\n');
    Put(content);
    TIniFile ini(path_);
    EXPECT_EQ(ini.ReadInteger("Form1", "Left", 3), 3);
    EXPECT_EQ(ini.ReadString("Main", "File", "d"), "d");
    ini.WriteInteger("Form1", "Left", 4);
    EXPECT_EQ(Get(), content + "[Form1]\nLeft=4\n");
    EXPECT_EQ(ini.ReadInteger("Form1", "Left", 3), 4);
}

TEST_F(IniFileTest, HugeLinesAreReadAndKept)
{
    const QByteArray huge(400 * 1024, 'h');
    const QByteArray content = "[Main]\n" + huge + "\nFile=" + huge + "\n";
    Put(content);
    TIniFile ini(path_);
    EXPECT_EQ(ini.ReadString("Main", "File", "").size(), 2047);
    ini.WriteString("Main", "Other", "o");
    EXPECT_EQ(Get(), content + "Other=o\n");
}

TEST_F(IniFileTest, LoneCarriageReturnsEndLines)
{
    Put("[A]\rk=1\r");
    TIniFile ini(path_);
    EXPECT_EQ(ini.ReadInteger("A", "k", 0), 1);
    ini.WriteInteger("A", "j", 2);
    EXPECT_EQ(Get(), "[A]\rk=1\rj=2\r");
}

TEST_F(IniFileTest, ByteOrderMarkIsReadPastAndKept)
{
    Put("\xEF\xBB\xBF[Form1]\r\nLeft=5\r\n[Main]\r\nFile=a.q01\r\n");
    TIniFile ini(path_);
    EXPECT_EQ(ini.ReadSection("Form1"), QStringList{"Left"});
    EXPECT_EQ(ini.ReadInteger("Form1", "Left", 0), 5);
    ini.WriteInteger("Form1", "Left", 7);
    ini.WriteInteger("Form1", "Top", 6);
    EXPECT_EQ(Get(), "\xEF\xBB\xBF[Form1]\r\nLeft=7\r\nTop=6\r\n[Main]\r\nFile=a.q01\r\n");
}

TEST_F(IniFileTest, FileThatIsNoRegularFileOrLargerThan1MiBIsNeitherReadNorWritten)
{
    // A device of the test's own where one can be made, a link to it, a pipe.
    QString device = QStringLiteral("/dev/zero");
    if (::mknod(QFile::encodeName(dir_.filePath("zero")).constData(), S_IFCHR | 0666, makedev(1, 5)) == 0)
        device = dir_.filePath("zero");
    const QString link = dir_.filePath("device.ini");
    ASSERT_TRUE(QFile::link(device, link));
    const QString pipe = dir_.filePath("pipe.ini");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0644), 0);
    const QByteArray settings = "[Main]\nFile=a.q01\n";
    const QByteArray large = settings + QByteArray(1024 * 1024 - settings.size(), ';') + "\n";  // 1 MiB and 1 byte
    Put(large);

    for (const QString& name : {link, pipe, path_}) {
        TIniFile ini(name);
        EXPECT_FALSE(ini.SectionExists("Main")) << name.toStdString();
        EXPECT_EQ(ini.ReadString("Main", "File", "none"), "none");
        EXPECT_NO_THROW(ini.WriteString("Main", "File", "b.q01"));
        EXPECT_NO_THROW(ini.EraseSection("Main"));
    }
    const QString unused = ": the default settings are used, and none are saved.";
    EXPECT_EQ(SettingsFileRefusal(link),
              "The settings file '" + link + "' is a link to a device, not a regular file" + unused);
    EXPECT_EQ(SettingsFileRefusal(pipe), "The settings file '" + pipe + "' is a pipe, not a regular file" + unused);
    EXPECT_EQ(SettingsFileRefusal(path_), "The settings file '" + path_ + "' is larger than 1 MiB" + unused);
    EXPECT_EQ(Get(), large);
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), device);
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(device).constData(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    ASSERT_EQ(::lstat(QFile::encodeName(pipe).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    // One byte less is read as always.
    Put(large.chopped(1));
    EXPECT_EQ(TIniFile(path_).ReadString("Main", "File", "none"), "a.q01");
    EXPECT_EQ(SettingsFileRefusal(path_), "");
    EXPECT_EQ(SettingsFileRefusal(dir_.filePath("missing.ini")), "");
}

TEST_F(IniFileTest, FileBesideTheProgramInAFolderThatCannotBeWrittenIsTheSettingsFile)
{
    // An installed copy with its settings beside it, on a full disk.
    const QString folder = dir_.filePath("installed");
    TSmallDisk disk(folder, 64);
    if (!disk.Mounted()) GTEST_SKIP() << "mounting a small file system needs the administrator";
    const QString name = folder + "/tracery.ini";
    const auto read = [&] {
        QFile f(name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    };
    {
        QFile f(name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Main]\nFile=a.q01\n");
    }
    disk.Fill();
    ASSERT_TRUE(disk.TakeNoNewFiles());
    const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir_.filePath("config")));
    EXPECT_EQ(SettingsFileNameFor(folder + "/tracery"), name);
    EXPECT_EQ(SettingsFileNameFor(folder + "/viewer"), dir_.filePath("config") + "/tracery/viewer.ini");
    qputenv("XDG_CONFIG_HOME", savedConfig);

    // Rewritten in place, as the folder takes no temporary file.
    TIniFile ini(name);
    EXPECT_EQ(ini.ReadString("Main", "File", ""), "a.q01");
    ini.WriteString("Main", "File", "b.q01");
    EXPECT_EQ(read(), "[Main]\nFile=b.q01\n");
    // More than the full disk has room for: the file stays as it was.
    try {
        ini.WriteString("Main", "Notes", QString(6000, QLatin1Char('n')));
        FAIL() << "no error";
    } catch (const EFileError& e) {
        EXPECT_EQ(e.Message(), "Unable to write to " + name);
    }
    EXPECT_EQ(read(), "[Main]\nFile=b.q01\n");
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
              (QStringList{"filler", "tracery.ini"}));

    // On a disk that cannot be written at all, writes are refused.
    ASSERT_TRUE(disk.MakeReadOnly());
    EXPECT_THROW(ini.WriteString("Main", "File", "c.q01"), EFileError);
    EXPECT_EQ(read(), "[Main]\nFile=b.q01\n");
}

// ---------------------------------------------------------------------------
// Integer texts

TEST(StrToIntDef, ReadsDecimalAndBothHexadecimalForms)
{
    const struct {
        const char* text;
        std::int32_t expected;
    } cases[] = {
        {"640", 640},
        {"-12", -12},
        {"+7", 7},
        {"   42", 42},
        {"  -3", -3},
        {"007", 7},
        {"0x10", 16},
        {"0X1f", 31},
        {"0x80000008", -2147483640},
        {"0xFFFFFFFF", -1},
        {"0x000000010", 16},
        {"$ff", 255},
        {"$FF", 255},
        {"-$10", -16},
        {" $10", 16},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"0", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(StrToIntDef(c.text, 99), c.expected) << c.text;
}

TEST(StrToIntDef, AnythingElseGivesTheDefault)
{
    const char* cases[] = {
        "",     " ",   "-",     "+",   "$",          "0x",          "0X",          "12a",         "12 ",
        "1 2",  "- 5", "+-5",   "--5", "2147483648", "-2147483649", "99999999999", "0x100000000", "$1FFFFFFFF",
        "0x-1", "0xg", " 0x10", "x10", "1.5",        "1e3",         "$-1",
    };
    for (const char* c : cases) EXPECT_EQ(StrToIntDef(c, 99), 99) << '"' << c << '"';
}

TEST_F(IniFileTest, ReadIntegerTakesTheTrimmedUnquotedValue)
{
    Put("[S]\na=  0x10  \nb=\"-5\"\nc=12abc\nd=\ne=$7fffffff\n");
    TIniFile ini(path_);
    EXPECT_EQ(ini.ReadInteger("S", "a", 0), 16);
    EXPECT_EQ(ini.ReadInteger("S", "b", 0), -5);
    EXPECT_EQ(ini.ReadInteger("S", "c", 0), 0);
    EXPECT_EQ(ini.ReadInteger("S", "d", 8), 8);
    EXPECT_EQ(ini.ReadInteger("S", "e", 0), 2147483647);
}

TEST(ColourText, LowerAndUpperHexadecimalForms)
{
    EXPECT_EQ(FormatColourLower(0x00FF0000), "0x00ff0000");
    EXPECT_EQ(FormatColourUpper(0x00FF00AB), "0x00FF00AB");
    EXPECT_EQ(FormatColourLower(clWindowText), "0x80000008");
    EXPECT_EQ(StrToColourDef("0x80000008", 0), clWindowText);
    EXPECT_EQ(StrToColourDef("0x00FF0000", 0), clBlue);
    EXPECT_EQ(StrToColourDef("red", clRed), clRed);
}

// ---------------------------------------------------------------------------
// Item lists

TEST(ItemList, SplitFollowsQuotesCommasAndBlanks)
{
    const struct {
        QString text;
        QStringList items;
    } cases[] = {
        {"\"Arial Narrow\",6,0x00ff0000", {"Arial Narrow", "6", "0x00ff0000"}},
        {"Arial Narrow,6", {"Arial", "Narrow", "6"}},
        {"  a  ,  b  ", {"a", "b"}},
        {"a,,b", {"a", "", "b"}},
        {"a,", {"a", ""}},
        {"a, ", {"a"}},
        {",", {"", ""}},
        {"\"\"", {""}},
        {"", {}},
        {" \t ", {}},
        {"\"say \"\"hi\"\"\",x", {"say \"hi\"", "x"}},
        {"\"a\"b,c", {"a", "b", "c"}},
        {"\"a\" ,b", {"a", "b"}},
        {"\"open ended", {"open ended"}},
        {"\"\"\"\"", {"\""}},
        {"a\tb", {"a", "b"}},
        {QString("a,b") + QChar(0) + "c", {"a", "b"}},
        {"\"a,b\",\"\",c", {"a,b", "", "c"}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitItemList(c.text), c.items) << c.text.toStdString();
}

TEST(ItemList, JoinQuotesOnlyWhereNeeded)
{
    const struct {
        QStringList items;
        QString text;
    } cases[] = {
        {{"Arial Narrow", "6", "0x00ff0000"}, "\"Arial Narrow\",6,0x00ff0000"},
        {{"Arial Narrow", "6", "0x00ff0000", "Bold"}, "\"Arial Narrow\",6,0x00ff0000,Bold"},
        {{""}, "\"\""},
        {{"", ""}, ","},
        {{"a", ""}, "a,"},
        {{"", "b"}, ",b"},
        {{}, ""},
        {{"say \"hi\""}, "\"say \"\"hi\"\"\""},
        {{"a,b"}, "\"a,b\""},
        {{"tab\there"}, "\"tab\there\""},
        {{"H Flip", "V Flip", "Angle"}, "\"H Flip\",\"V Flip\",Angle"},
        {{"x"}, "x"},
    };
    for (const auto& c : cases) EXPECT_EQ(JoinItemList(c.items), c.text) << c.text.toStdString();
}

TEST(ItemList, WrittenListsReadBackAsTheSameItems)
{
    const QStringList lists[] = {
        {"Arial Narrow", "6", "0x00ff0000", "Bold", "Italic"},
        {"a \"quoted\" word", "", "x,y", " lead", "trail "},
        {""},
        {"", ""},
        {"a", "", ""},
    };
    for (const QStringList& items : lists)
        EXPECT_EQ(SplitItemList(JoinItemList(items)), items) << JoinItemList(items).toStdString();
}

// ---------------------------------------------------------------------------
// File name

TEST(SettingsFileName, IsTheExecutablePathWithIniExtension)
{
    const QString saved = SettingsFileName();
    SetSettingsFileName(QString());
    const QFileInfo exe(QCoreApplication::applicationFilePath());
    EXPECT_EQ(SettingsFileName(), exe.absolutePath() + "/" + exe.completeBaseName() + ".ini");
    SetSettingsFileName("/somewhere/else.ini");
    EXPECT_EQ(SettingsFileName(), "/somewhere/else.ini");
    SetSettingsFileName(saved);
}

TEST_F(IniFileTest, WritingKeepsPermissionsAndWritesThroughALink)
{
    Put("[A]\n");
    ASSERT_TRUE(QFile::setPermissions(path_, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    const QString link = dir_.filePath("link.ini");
    ASSERT_TRUE(QFile::link(path_, link));
    TIniFile(link).WriteString("A", "k", "v");
    EXPECT_EQ(Get(), "[A]\nk=v\n");
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    const auto ownerGroupOther = QFileDevice::Permissions::fromInt(0x7077);  // user bits aside
    EXPECT_EQ(QFile::permissions(path_) & ownerGroupOther, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}
