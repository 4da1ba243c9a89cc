// Loading a drawing into the object list, and the split export.
#include "AppFixture.h"

#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/Recentfiles.h"
#include "drawing/Fileimage.h"
#include "drawing/Header.h"

using LoadingTest = MainWindowTest;

TEST_F(LoadingTest, HeaderOnlyDrawingGivesOneObjectAndItsPageSize)
{
    const QString path = Write("a.q01", q01::Header(0));
    TForm1& f = Start({path});
    EXPECT_EQ(f.Objects.size(), 1u);
    EXPECT_EQ(f.windowTitle(), "a.q01");
    EXPECT_EQ(ApplicationTitle(), "a.q01");
    EXPECT_EQ(f.Image1->width(), 1110);
    EXPECT_EQ(f.Image1->height(), 720);
    EXPECT_EQ(f.DrawingFileName, path);
    EXPECT_TRUE(dialogs.Messages.isEmpty());
}

TEST_F(LoadingTest, SplitFilesHoldTheHeaderAndTheRecordsOfTheirKind)
{
    const q01::Bytes header = q01::Header(0), line = q01::Line(10, 20, 200, 20, 3), marker = q01::Marker(5, 5, 2);
    const QString path = Write("amp.q01", Cat({header, line, marker}));
    TForm1& f = Start({"--export", path});
    EXPECT_EQ(f.Objects.size(), 3u);  // the marker is loaded and drawn, but split nowhere
    const QString split = Path("amp");
    EXPECT_TRUE(QFileInfo(split).isDir());
    EXPECT_EQ(f.ExportDir, QDir::toNativeSeparators(split));
    const QByteArray h(reinterpret_cast<const char*>(header.data()), 16);
    const QByteArray l(reinterpret_cast<const char*>(line.data()), 16);
    EXPECT_EQ(ReadAll(split + "/Line.q01"), h + l);
    for (const char* kind : {"Bitmap", "Junction", "DocBox", "Annotate"})
        EXPECT_EQ(ReadAll(split + "/" + kind + ".q01"), h) << kind;
    // Nothing named with a backslash lands beside the drawing.
    EXPECT_FALSE(QFileInfo::exists(Path("amp\\Line.q01")));
}

TEST_F(LoadingTest, EveryKindGoesToItsOwnSplitFileInFileOrder)
{
    const q01::Bytes h = q01::Header(1), j = q01::Junction(3, 4), a = q01::Annotation(5, 6, 1, "R1"),
                     d = q01::DocBox(1, 2, 300, 200, {"TITLE", "REV A"}), l = q01::Line(1, 1, 9, 9, 1),
                     h2 = q01::Header(0);
    const QString path = Write("all.q01", Cat({h, j, a, d, l, h2, l}));
    Start({"--ExPoRt", path});
    auto bytes = [](std::initializer_list<q01::Bytes> parts) {
        const q01::Bytes all = Cat(parts);
        return QByteArray(reinterpret_cast<const char*>(all.data()), qsizetype(all.size()));
    };
    EXPECT_EQ(ReadAll(Path("all/Junction.q01")), bytes({h, j, h2}));
    EXPECT_EQ(ReadAll(Path("all/Annotate.q01")), bytes({h, a, h2}));
    EXPECT_EQ(ReadAll(Path("all/DocBox.q01")), bytes({h, d, h2}));
    EXPECT_EQ(ReadAll(Path("all/Line.q01")), bytes({h, l, h2, l}));
    EXPECT_EQ(ReadAll(Path("all/Bitmap.q01")), bytes({h, h2}));
}

TEST_F(LoadingTest, ExportingAgainRewritesSplitFilesToExactlyThisLoad)
{
    const QString path = Write("amp.q01", Cat({q01::Header(0), q01::Line(1, 2, 3, 4, 1), q01::Line(1, 2, 3, 4, 1)}));
    TForm1& f = Start({"--export", path});
    Write("amp.q01", q01::Header(0));
    f.LoadDrawing(path);
    EXPECT_TRUE(dialogs.Messages.isEmpty());
    EXPECT_EQ(ReadAll(Path("amp/Line.q01")).size(), 16);
}

TEST_F(LoadingTest, Record0x40IsReportedSkippedAndNeverSplit)
{
    const q01::Bytes line = q01::Line(1, 2, 3, 4, 1);
    const QString path = Write("x.q01", Cat({q01::Header(0), line, q01::Record0x40(), line}));
    TForm1& f = Start({"--export", path});
    EXPECT_EQ(dialogs.Messages, QStringList{"0x40"});
    EXPECT_EQ(f.Objects.size(), 3u);
    EXPECT_EQ(ReadAll(Path("x/Line.q01")).size(), 48);
}

TEST_F(LoadingTest, UnknownTypeEndsTheWalkNamingItsOffsetAndKeepsThePageSize)
{
    const q01::Bytes line = q01::Line(1, 2, 3, 4, 1);
    q01::Bytes bad(16, 0);
    bad[0] = 0x15;
    const QString path = Write("x.q01", Cat({q01::Header(2), line, line, bad, line}));
    TForm1& f = Start({path});
    EXPECT_EQ(dialogs.Messages, QStringList{"00000030 : Type 15"});
    EXPECT_EQ(f.Objects.size(), 3u);
    // The walk did not end normally, so the page keeps its earlier size.
    EXPECT_EQ(f.Image1->width(), 1090);
    EXPECT_EQ(f.Image1->height(), 713);
    EXPECT_FALSE(f.AllDrawingsComplete);
}

TEST_F(LoadingTest, TruncatedRecordIsReportedAndTheObjectsBeforeItStay)
{
    q01::Bytes bytes = Cat({q01::Header(0), q01::Line(1, 2, 3, 4, 1), q01::Annotation(10, 20, 0, "HELLO")});
    bytes.resize(bytes.size() - 5);
    const QString path = Write("t.q01", bytes);
    TForm1& f = Start({path});
    ASSERT_EQ(dialogs.Messages.size(), 1);
    EXPECT_EQ(dialogs.Messages[0],
              "The record at 00000020 (type 30) is cut short by the end of the file; the drawing is shown up to it.");
    EXPECT_EQ(f.Objects.size(), 2u);
}

TEST_F(LoadingTest, DrawingCutShortAfterItsHeaderIsPicturedOnThePageOfThatHeader)
{
    // An A3 sheet whose last record is cut short.
    q01::Bytes bytes = Cat({q01::Header(1), q01::Line(100, 100, 200, 100, 1), q01::Annotation(10, 20, 0, "HELLO")});
    bytes.resize(bytes.size() - 5);
    TForm1& f = Start({Write("a3.q01", bytes)});
    EXPECT_EQ(dialogs.Messages, QStringList{"The record at 00000020 (type 30) is cut short by the end of the file; "
                                            "the drawing is shown up to it."});
    EXPECT_EQ(f.Image1->Surface().Image().size(), QSize(1550, 1110));
    EXPECT_EQ(ApplicationTitle(), "a3.q01");
    EXPECT_FALSE(f.AllDrawingsComplete);
}

namespace {
// Looks at files as a user other than root does, for whom the modes of files
// and folders count (a user other than root already is one).
class TAsOtherUser {
public:
    TAsOtherUser() : active_(::geteuid() == 0)
    {
        if (active_) ::setfsuid(65534);
    }
    ~TAsOtherUser()
    {
        if (active_) ::setfsuid(0);
    }
    TAsOtherUser(const TAsOtherUser&) = delete;
    TAsOtherUser& operator=(const TAsOtherUser&) = delete;

private:
    bool active_;
};

bool AllWhite(const TSurface& surface)
{
    for (int y = 0; y < surface.Height(); ++y)
        for (int x = 0; x < surface.Width(); ++x)
            if (surface.Pixel(x, y) != clWhite) return false;
    return true;
}
}  // namespace

TEST_F(LoadingTest, DrawingTheUserMayNotReadIsRefusedWithTheSystemsReasonAndLeavesAnEmptyPage)
{
    const QString shown = Write("a.q01", Cat({q01::Header(0), q01::Line(100, 100, 200, 100, 1)}));
    ASSERT_TRUE(QDir(dir.path()).mkdir("locked"));
    const QString behindLockedFolder = Write("locked/b.q01", q01::Header(0));
    const QString unreadable = Write("c.q01", q01::Header(1));
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(Path("locked")).constData(), 0), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(unreadable).constData(), 0), 0);
    TForm1& f = Start({shown});
    ASSERT_FALSE(AllWhite(f.Image1->Surface()));
    {
        const TAsOtherUser other;
        // Not "not found": the folder may not be entered. The drawing shown stays.
        f.LoadDrawing(behindLockedFolder);
        EXPECT_EQ(dialogs.Messages, QStringList{"File '" + behindLockedFolder +
                                                "' cannot be read: " + QString::fromLocal8Bit(std::strerror(EACCES))});
        EXPECT_EQ(f.Objects.size(), 2u);
        EXPECT_FALSE(AllWhite(f.Image1->Surface()));
        // A file that may not be read ends the load after the drawing shown
        // has been closed: its picture goes with it.
        Guarded([&] { f.LoadDrawing(unreadable); });
    }
    EXPECT_EQ(dialogs.Errors, QStringList{"Cannot open file " + QDir::toNativeSeparators(unreadable)});
    EXPECT_TRUE(f.Objects.empty());
    EXPECT_EQ(f.Image1->Surface().Image().size(), QSize(1110, 720));
    EXPECT_TRUE(AllWhite(f.Image1->Surface()));
    ::chmod(QFile::encodeName(Path("locked")).constData(), 0755);
}

TEST_F(LoadingTest, MissingFileIsNamedExactlyAndTheShownDrawingStays)
{
    const QString path = Write("a.q01", Cat({q01::Header(0), q01::Line(1, 2, 3, 4, 1)}));
    TForm1& f = Start({path});
    f.LoadDrawing("no/such.q01");
    EXPECT_EQ(dialogs.Messages, QStringList{"File 'no/such.q01' not found"});
    EXPECT_EQ(f.Objects.size(), 2u);
    EXPECT_EQ(f.windowTitle(), "a.q01");
    EXPECT_EQ(f.DrawingFileName, path);
}

TEST_F(LoadingTest, EmptyFileLoadsNothingAndKeepsThePageSize)
{
    const QString a3 = Write("a3.q01", q01::Header(1));
    const QString empty = Write("empty.q01", {});
    TForm1& f = Start({a3, empty});
    EXPECT_TRUE(f.Objects.empty());
    EXPECT_EQ(f.windowTitle(), "empty.q01");
    EXPECT_EQ(f.Image1->width(), 1550);
    EXPECT_TRUE(f.AllDrawingsComplete);
}

TEST_F(LoadingTest, SplitFileThatCannotBeCreatedEndsTheLoadWithTheErrorBox)
{
    const QString path = Write("amp.q01", q01::Header(0));
    Write("amp", {});  // a file where the split directory should be
    TForm1& f = Start({"--export", path});
    ASSERT_EQ(dialogs.Errors.size(), 1);
    EXPECT_EQ(dialogs.Errors[0], "Cannot create file " + QDir::toNativeSeparators(Path("amp/Bitmap.q01")));
    EXPECT_TRUE(f.Objects.empty());
}

TEST_F(LoadingTest, ClosingADrawingHandsItToTheRecentFilesOnlyWhenItHadObjects)
{
    const QString a = Write("a.q01", q01::Header(0));
    const QString empty = Write("e.q01", {});
    const QString b = Write("b.q01", q01::Header(0));
    TForm1& f = Start({a, empty, b});
    EXPECT_EQ(f.RecentFiles->Files(), QStringList{a});
    EXPECT_EQ(f.Objects.size(), 1u);
    f.close();
    EXPECT_EQ(TIniFile(IniPath()).ReadString("Recent Files", "File1", ""), b);
    EXPECT_EQ(TIniFile(IniPath()).ReadString("Recent Files", "File2", ""), a);
}

TEST_F(LoadingTest, PathsThatAreNoDrawingFilesAreRefusedAndTheShownDrawingStays)
{
    const QString a = Write("a.q01", Cat({q01::Header(0), q01::Line(1, 2, 3, 4, 1)}));
    const QString folder = Path("folder.q01"), pipe = Path("pipe.q01"), huge = Path("huge.q01");
    ASSERT_TRUE(QDir().mkdir(folder));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);  // opening it to read would wait for a writer
    QFile large(huge);
    ASSERT_TRUE(large.open(QIODevice::WriteOnly) && large.resize((qint64(64) << 20) + 1));
    large.close();
    TForm1& f = Start({a});
    for (const QString& path : {folder, pipe, QStringLiteral("/dev/zero"), huge}) f.LoadDrawing(path);
    EXPECT_EQ(dialogs.Messages,
              (QStringList{"'" + folder + "' is not a drawing file", "'" + pipe + "' is not a drawing file",
                           "'/dev/zero' is not a drawing file",
                           "'" + huge +
                               "' is not a drawing file: it is 67108865 bytes, more than the limit of "
                               "67108864 bytes (64 MiB)"}));
    EXPECT_EQ(f.Objects.size(), 2u);
    EXPECT_EQ(f.windowTitle(), "a.q01");
    EXPECT_EQ(f.DrawingFileName, a);
    EXPECT_TRUE(f.RecentFiles->Files().isEmpty());  // nothing was closed
    EXPECT_FALSE(f.AllDrawingsComplete);
}

using FileImageTest = TempSettings;

TEST_F(FileImageTest, HoldsTheWholeFileOrSaysWhyItIsNotRead)
{
    const q01::Bytes bytes = Cat({q01::Header(1), q01::Line(1, 2, 3, 4, 1)});
    const QString file = Write("a.q01", bytes), pipe = Path("pipe.q01"), huge = Path("huge.q01");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    QFile large(huge);
    ASSERT_TRUE(large.open(QIODevice::WriteOnly) && large.resize(kMaxDrawingFileBytes + 1));
    large.close();

    const TFileImage read = ReadDrawingFile(file);
    EXPECT_EQ(read.Status, TFileImage::TStatus::Read);
    EXPECT_EQ(read.Bytes, QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
    EXPECT_EQ(read.Size, qint64(bytes.size()));
    // Looking opens nothing and reads nothing; a pipe is opened without
    // waiting for a writer, and refused either way.
    const TFileImage look = LookAtDrawingFile(file);
    EXPECT_TRUE(look.IsRead() && look.Bytes.isEmpty());
    for (const QString& notAFile : {pipe, dir.path(), QStringLiteral("/dev/zero")}) {
        EXPECT_EQ(LookAtDrawingFile(notAFile).Status, TFileImage::TStatus::NotAFile) << notAFile.toStdString();
        EXPECT_EQ(ReadDrawingFile(notAFile).Status, TFileImage::TStatus::NotAFile) << notAFile.toStdString();
    }
    for (const TFileImage& tooLarge : {LookAtDrawingFile(huge), ReadDrawingFile(huge)}) {
        EXPECT_EQ(tooLarge.Status, TFileImage::TStatus::TooLarge);
        EXPECT_EQ(tooLarge.Size, kMaxDrawingFileBytes + 1);
        EXPECT_TRUE(tooLarge.Bytes.isEmpty());
    }
    EXPECT_EQ(ReadDrawingFile(Path("missing.q01")).Status, TFileImage::TStatus::Missing);
    // What the system says when it will not open a path.
    const TFileImage refused = ReadDrawingFile(file + "/b.q01");
    EXPECT_EQ(refused.Status, TFileImage::TStatus::CannotRead);
    EXPECT_EQ(refused.Reason, "Not a directory");
}

TEST_F(LoadingTest, DrawingNamedOnlyByItsExtensionIsLoadedButNotSplitOverItsNeighbours)
{
    const QByteArray line = "kept as it was";
    {
        QFile neighbour(Path("Line.q01"));
        ASSERT_TRUE(neighbour.open(QIODevice::WriteOnly));
        neighbour.write(line);
    }
    const q01::Bytes drawing = Cat({q01::Header(0), q01::Line(1, 2, 3, 4, 1)});
    const QString dotOnly = Write(".q01", drawing), twoDots = Write("..q01", drawing);
    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    TForm1& f = Start({"--export", dotOnly, twoDots});
    EXPECT_EQ(dialogs.Messages,
              (QStringList{"'" + dotOnly + "' has no name to make a split folder from; the drawing is not split.",
                           "'" + twoDots + "' has no name to make a split folder from; the drawing is not split."}));
    EXPECT_EQ(f.Objects.size(), 2u);
    EXPECT_EQ(ReadAll(Path("Line.q01")), line);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
    EXPECT_FALSE(f.Succeeded());
}

TEST_F(LoadingTest, RecentFilesListFullPathsAndKeepOldEntriesAsWritten)
{
    WriteIni("[Recent Files]\nFile1=old/relative.q01\n");
    Write("a.q01", q01::Header(0));
    Write("b.q01", q01::Header(0));
    const QString full = QFileInfo(dir.path()).canonicalFilePath();
    struct TWorkingDir {
        QString before = QDir::currentPath();
        ~TWorkingDir() { QDir::setCurrent(before); }
    } restore;
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    TForm1& f = Start({"a.q01", "b.q01"});
    EXPECT_EQ(f.DrawingFileName, "b.q01");
    f.close();
    EXPECT_EQ(IniText().toStdString(), ("[Recent Files]\nFile1=" + full + "/b.q01\nFile2=" + full +
                                        "/a.q01\nFile3=old/relative.q01\n[Form1]\nLeft=0\nTop=0\n")
                                           .toStdString());
}
