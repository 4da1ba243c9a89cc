// Desktop integration: installing, the Debian package, where the settings
// file lives, drag and drop, shortcuts, ending on a stop signal, and help in
// a terminal.
#include "Programrun.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>
#include <QXmlStreamReader>
#include <csignal>
#include <optional>

#include "Q01Component.h"
#include "app/Help.h"
#include "app/Options.h"

namespace {
// Sets (or, with nullopt, removes) an environment variable for one scope.
class TEnvironmentVariable {
public:
    TEnvironmentVariable(const char* name, std::optional<QString> value)
        : name_(name),
          saved_(qEnvironmentVariableIsSet(name) ? std::optional(qEnvironmentVariable(name)) : std::nullopt)
    {
        Set(value);
    }
    ~TEnvironmentVariable() { Set(saved_); }

private:
    void Set(const std::optional<QString>& value)
    {
        if (value)
            qputenv(name_, value->toLocal8Bit());
        else
            qunsetenv(name_);
    }
    const char* name_;
    std::optional<QString> saved_;
};

// The tools that make and check packages take their time.
RunResult RunTool(const QString& program, const QStringList& args, const QString& folder = QString())
{
    return RunProcess(program, args, folder, 300);
}

}  // namespace

// ----------------------------------------------------------------- install

TEST(DesktopInstall, PutsProgramEntryIconAndMimeTypeWhereTheDesktopLooks)
{
    QTemporaryDir prefix;
    const RunResult install = RunTool(CMAKE_PROGRAM, {"--install", TRACERY_BUILD_DIR, "--prefix", prefix.path()});
    ASSERT_EQ(install.status, 0) << install.err.toStdString();
    const QDir share(prefix.filePath("share"));

    EXPECT_TRUE(QFileInfo(prefix.filePath("bin/tracery")).isExecutable());

    // The desktop entry passes the freedesktop.org validator and hands drawings to the program.
    const QString entry = share.filePath("applications/tracery.desktop");
    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    ASSERT_FALSE(validator.isEmpty()) << "desktop-file-validate (package desktop-file-utils) is needed";
    const RunResult validate = RunTool(validator, {entry});
    EXPECT_EQ(validate.status, 0);
    EXPECT_EQ(validate.out + validate.err, "");
    QFile entryFile(entry);
    ASSERT_TRUE(entryFile.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = entryFile.readAll().split('\n');
    EXPECT_EQ(lines.first(), "[Desktop Entry]");
    for (const char* line : {"Type=Application", "Name=Tracery", "Exec=tracery %F", "Icon=tracery",
                             "MimeType=application/x-quorvid-drawing;"})
        EXPECT_TRUE(lines.contains(line)) << line;

    // The icon named there is our SVG.
    QFile icon(share.filePath("icons/hicolor/scalable/apps/tracery.svg"));
    ASSERT_TRUE(icon.open(QIODevice::ReadOnly));
    QXmlStreamReader svg(&icon);
    ASSERT_TRUE(svg.readNextStartElement());
    EXPECT_EQ(svg.name(), u"svg");

    // The shared MIME type: "Quorvid drawing" for *.q01.
    QFile mime(share.filePath("mime/packages/tracery.xml"));
    ASSERT_TRUE(mime.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&mime);
    QStringList seen;
    while (xml.readNextStartElement()) {
        if (xml.name() == u"mime-info") continue;
        if (xml.name() == u"mime-type") {
            seen << "type=" + xml.attributes().value("type").toString();
            continue;
        }
        if (xml.name() == u"glob") seen << "glob=" + xml.attributes().value("pattern").toString();
        if (xml.name() == u"comment")
            seen << "comment=" + xml.readElementText();
        else
            xml.skipCurrentElement();
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(seen, (QStringList{"type=application/x-quorvid-drawing", "comment=Quorvid drawing", "glob=*.q01"}));

    // The thumbnailer entry: file managers ask the program for a picture of a drawing.
    QFile thumbnailer(share.filePath("thumbnailers/tracery.thumbnailer"));
    ASSERT_TRUE(thumbnailer.open(QIODevice::ReadOnly));
    EXPECT_EQ(thumbnailer.readAll(),
              "[Thumbnailer Entry]\n"
              "TryExec=tracery\n"
              "Exec=tracery --thumbnail=%s %i %o\n"
              "MimeType=application/x-quorvid-drawing;\n");

    // The manual page, compressed, formats without a single warning.
    const QString manPage = share.filePath("man/man1/tracery.1.gz");
    ASSERT_TRUE(QFileInfo::exists(manPage));
    if (!QStandardPaths::findExecutable("groff").isEmpty()) {
        const RunResult man = RunTool("/bin/sh", {"-c", "gzip -dc \"$0\" | groff -man -Tutf8 -ww -P-bou", manPage});
        EXPECT_EQ(man.status, 0);
        EXPECT_EQ(man.err, "");
        EXPECT_TRUE(man.out.contains("SYNOPSIS")) << man.out.left(200).toStdString();
    }

    // The AppStream data, checked together with the desktop entry it launches.
    EXPECT_TRUE(QFileInfo::exists(share.filePath("metainfo/org.example.tracery.metainfo.xml")));
    const QString appstream = QStandardPaths::findExecutable("appstreamcli");
    if (!appstream.isEmpty()) {
        const RunResult appstreamCheck = RunTool(appstream, {"validate-tree", "--no-net", prefix.path()});
        EXPECT_EQ(appstreamCheck.status, 0) << appstreamCheck.out.toStdString() << appstreamCheck.err.toStdString();
    }

    // Where the MIME database tool is present, the install has fed it: the glob
    // table maps *.q01 to the type, and the entry is listed for it.
    if (!QStandardPaths::findExecutable("update-mime-database").isEmpty()) {
        QFile globs(share.filePath("mime/globs2"));
        ASSERT_TRUE(globs.open(QIODevice::ReadOnly));
        EXPECT_TRUE(globs.readAll().contains("application/x-quorvid-drawing:*.q01\n"));
    }
}

TEST(DebianPackage, HoldsTheProgramAndItsDesktopFilesUnderUsrAndNothingElse)
{
    const QString dpkgDeb = QStandardPaths::findExecutable("dpkg-deb");
    if (!QFileInfo(CPACK_PROGRAM).isExecutable() || dpkgDeb.isEmpty() ||
        QStandardPaths::findExecutable("dpkg-shlibdeps").isEmpty())
        GTEST_SKIP() << "cpack, dpkg-deb and dpkg-shlibdeps (package dpkg-dev) make the package";
    QTemporaryDir out;
    const RunResult pack = RunTool(CPACK_PROGRAM, {"-G", "DEB", "-B", out.path()}, TRACERY_BUILD_DIR);
    ASSERT_EQ(pack.status, 0) << pack.out.toStdString() << pack.err.toStdString();
    const QStringList debs = QDir(out.path()).entryList({"tracery_*.deb"}, QDir::Files);
    ASSERT_EQ(debs.size(), 1) << debs.join(' ').toStdString();
    const QString deb = out.filePath(debs.first());

    // dpkg-deb -c: the last field of each line is the path.
    const RunResult contents = RunTool(dpkgDeb, {"-c", deb});
    ASSERT_EQ(contents.status, 0) << contents.err.toStdString();
    QStringList files;
    for (const QString& line : contents.out.split('\n', Qt::SkipEmptyParts))
        if (!line.endsWith('/')) files << line.section(' ', -1);
    EXPECT_EQ(files,
              (QStringList{"./usr/bin/tracery", "./usr/share/applications/tracery.desktop",
                           "./usr/share/icons/hicolor/scalable/apps/tracery.svg", "./usr/share/man/man1/tracery.1.gz",
                           "./usr/share/metainfo/org.example.tracery.metainfo.xml",
                           "./usr/share/mime/packages/tracery.xml", "./usr/share/thumbnailers/tracery.thumbnailer"}));

    // The control fields; the dependencies are the shared libraries' packages.
    const RunResult fields = RunTool(dpkgDeb, {"-f", deb, "Package", "Version", "Section"});
    EXPECT_EQ(fields.out, QString("Package: tracery\nVersion: %1\nSection: electronics\n").arg(TRACERY_VERSION));
    const RunResult depends = RunTool(dpkgDeb, {"-f", deb, "Depends"});
    for (const char* library : {"libc6 ", "libqt6core6 ", "libqt6gui6 ", "libqt6widgets6 ", "libqt6printsupport6 "})
        EXPECT_TRUE(depends.out.contains(library)) << library << " in " << depends.out.toStdString();
}

// ------------------------------------------------------ settings file place

class SettingsPlaceTest : public ::testing::Test {
protected:
    QString Make(const QString& relative)
    {
        QDir().mkpath(dir.filePath(relative));
        return dir.filePath(relative);
    }
    QTemporaryDir dir;
};

TEST_F(SettingsPlaceTest, BesideAWritableExecutableWhateverTheEnvironment)
{
    TEnvironmentVariable xdg("XDG_CONFIG_HOME", Make("config"));
    EXPECT_EQ(SettingsFileNameFor(Make("portable") + "/tracery"), dir.filePath("portable/tracery.ini"));
    EXPECT_EQ(SettingsFileNameFor(Make("portable") + "/Tracery.bin"), dir.filePath("portable/Tracery.ini"));
}

TEST_F(SettingsPlaceTest, UnwritableExecutableFolderUsesTheConfigurationDirectory)
{
    // A folder that cannot be written, even by root: one below a regular file.
    QFile blocker(dir.filePath("usr"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString exe = dir.filePath("usr/bin/tracery");
    TEnvironmentVariable home("HOME", Make("home"));
    {
        TEnvironmentVariable xdg("XDG_CONFIG_HOME", Make("xdg"));
        EXPECT_EQ(SettingsFileNameFor(exe), dir.filePath("xdg/tracery/tracery.ini"));
    }
    for (const std::optional<QString>& unusable :
         {std::optional<QString>(), std::optional<QString>(""), std::optional<QString>("relative/config")}) {
        TEnvironmentVariable xdg("XDG_CONFIG_HOME", unusable);
        EXPECT_EQ(SettingsFileNameFor(exe), dir.filePath("home/.config/tracery/tracery.ini"))
            << unusable.value_or("<unset>").toStdString();
    }
}

TEST_F(SettingsPlaceTest, FirstWriteCreatesTheMissingFolders)
{
    const QString ini = dir.filePath("home/.config/tracery/tracery.ini");
    EXPECT_EQ(TIniFile(ini).ReadString("Main", "File", "none"), "none");
    TIniFile(ini).WriteString("Main", "File", "/d/a.q01");
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "[Main]\nFile=/d/a.q01\n");
}

// ----------------------------------------------------------- drag and drop

using DropTest = MainWindowTest;

TEST_F(DropTest, OnlyLocalDrawingFilesAreTaken)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/d/a.q01"), QUrl::fromLocalFile("/d/notes.txt"),
                  QUrl("https://example.org/b.q01"), QUrl::fromLocalFile("/d/C.Q01")});
    EXPECT_EQ(TForm1::DroppedDrawings(&data), (QStringList{"/d/a.q01", "/d/C.Q01"}));
    QMimeData text;
    text.setText("/d/a.q01");
    EXPECT_TRUE(TForm1::DroppedDrawings(&text).isEmpty());
}

TEST_F(DropTest, DroppingADrawingLoadsItAsFileOpenWould)
{
    const QString a = Write("a.q01", q01::Header(0));
    const QString b = Write("b.q01", Cat({q01::Header(4), q01::SmallComponent(100, 200, "U1")}));
    TForm1& f = Start({a});
    EXPECT_TRUE(f.acceptDrops());

    QMimeData other;
    other.setUrls({QUrl::fromLocalFile(Path("notes.txt"))});
    QDragEnterEvent refused(QPoint(50, 50), Qt::CopyAction, &other, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&f, &refused);
    EXPECT_FALSE(refused.isAccepted());

    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(b)});
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&f, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&f, &drop);
    EXPECT_TRUE(drop.isAccepted());
    QCoreApplication::processEvents();  // the load runs once the drop has ended

    EXPECT_EQ(f.windowTitle(), "b.q01");
    EXPECT_EQ(f.DrawingFileName, b);
    EXPECT_EQ(f.Objects.size(), 2u);
    EXPECT_EQ(dialogs.OpenFilters.size(), 0);  // no open dialog
    EXPECT_TRUE(dialogs.AllTexts.isEmpty()) << dialogs.AllTexts.join('|').toStdString();
    f.miFileExitClick();
    TIniFile ini(IniPath());
    EXPECT_EQ(ini.ReadString("Recent Files", "File1", ""), b);
    EXPECT_EQ(ini.ReadString("Recent Files", "File2", ""), a);
}

// --------------------------------------------------------------- shortcuts

using ShortcutTest = MainWindowTest;

TEST_F(ShortcutTest, StandardActionsHaveTheirKeysAndNoTwoEntriesShareOne)
{
    TForm1& f = Start({Write("a.q01", {})});
    auto keys = [&](const char* name) { return f.MenuAction(name)->shortcuts(); };
    for (auto [name, standard] :
         {std::pair{"miFileOpen", QKeySequence::Open}, std::pair{"miFilePrint", QKeySequence::Print},
          std::pair{"miFileExit", QKeySequence::Quit}, std::pair{"miRepaint", QKeySequence::Refresh}}) {
        for (const QKeySequence& k : QKeySequence::keyBindings(standard)) EXPECT_TRUE(keys(name).contains(k)) << name;
        EXPECT_FALSE(keys(name).isEmpty()) << name;
    }
    EXPECT_TRUE(keys("miFileOpen").contains(QKeySequence("Ctrl+O")));
    EXPECT_TRUE(keys("miFileExit").contains(QKeySequence("Ctrl+Q")));
    EXPECT_TRUE(keys("miRepaint").contains(QKeySequence("F5")));
    EXPECT_EQ(keys("miPreview"), QList<QKeySequence>{QKeySequence("Ctrl+Shift+P")});
    EXPECT_TRUE(keys("miZoomIn").contains(QKeySequence("Ctrl++")));
    EXPECT_EQ(keys("miActualSize"), QList<QKeySequence>{QKeySequence("Ctrl+0")});

    QMap<QString, QString> owner;
    for (QAction* a : f.findChildren<QAction*>())
        for (const QKeySequence& k : a->shortcuts()) {
            EXPECT_FALSE(owner.contains(k.toString()))
                << k.toString().toStdString() << " on " << a->objectName().toStdString() << " and "
                << owner.value(k.toString()).toStdString();
            owner.insert(k.toString(), a->objectName());
        }
}

// ------------------------------------------------ the program as a process

class ProgramTest : public ProgramRunTest {
protected:
    // Starts the program showing a drawing, waits until it catches the signal,
    // sends it and waits for the end.
    RunResult Stop(const QString& drawing, int signal)
    {
        QProcess p;
        p.setProcessEnvironment(Environment());
        p.setWorkingDirectory(dir.path());
        p.start(Program(), {drawing});
        EXPECT_TRUE(p.waitForStarted(60000));
        EXPECT_TRUE(WaitUntilCaught(p.processId(), signal));
        ::kill(pid_t(p.processId()), signal);
        return Finish(p);
    }

private:
    // The signal's bit in the process's "caught" mask: set once its handler is in.
    static bool WaitUntilCaught(qint64 pid, int signal)
    {
        for (int attempt = 0; attempt < 6000; ++attempt) {
            QFile status(QStringLiteral("/proc/%1/status").arg(pid));
            if (!status.open(QIODevice::ReadOnly)) return false;
            for (const QByteArray& line : status.readAll().split('\n'))
                if (line.startsWith("SigCgt:") && (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1)
                    return true;
            QThread::msleep(10);
        }
        return false;
    }
};

TEST_F(ProgramTest, TermSignalClosesTheWindowAsExitDoesAndEndsWithStatusZero)
{
    const QString a = Write("a.q01", Cat({q01::Header(0), q01::SmallComponent(100, 200, "U1")}));
    const RunResult r = Stop(a, SIGTERM);
    EXPECT_EQ(r.exit, QProcess::NormalExit);
    EXPECT_EQ(r.status, 0);
    TIniFile ini(Path("tracery.ini"));
    EXPECT_EQ(ini.ReadSection("Recent Files"), QStringList{"File1"});
    EXPECT_EQ(ini.ReadString("Recent Files", "File1", ""), a);
    EXPECT_EQ(ini.ReadSection("Form1"), (QStringList{"Left", "Top"}));
}

TEST_F(ProgramTest, InterruptAndHangUpEndTheRunTheSameWay)
{
    const QString a = Write("a.q01", q01::Header(0));
    for (int signal : {SIGINT, SIGHUP}) {
        QFile::remove(Path("tracery.ini"));
        const RunResult r = Stop(a, signal);
        EXPECT_EQ(r.exit, QProcess::NormalExit) << signal;
        EXPECT_EQ(r.status, 0) << signal;
        EXPECT_TRUE(TIniFile(Path("tracery.ini")).ValueExists("Form1", "Left")) << signal;
    }
}

TEST_F(ProgramTest, BatchHelpPrintsTheCommandLineAndEveryOptionToStandardOutput)
{
    const RunResult r = Run({"--batch", "--help", "missing.q01"});
    EXPECT_EQ(r.exit, QProcess::NormalExit);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");  // the help ends the command line: missing.q01 is not looked for
    const QStringList lines = r.out.split('\n');
    ASSERT_GE(lines.size(), 5);
    // Purposes line up two places after the longest option, "--thumbnail=SIZE".
    const auto line = [](const QString& caption, const QString& purpose) {
        return QString("  %1").arg(caption, -18) + purpose;
    };
    EXPECT_EQ(lines.mid(0, 5), (QStringList{"Command Line", Program() + " --batch--helpmissing.q01", "", "Options",
                                            line("--help", "This Page")}));
    EXPECT_EQ(lines.size(), 5 + qsizetype(CommandLineOptions().size()));  // and a last empty one
    for (const TOption& option : CommandLineOptions()) {
        const QString expected = line(OptionCaption(option), QLatin1String(option.Purpose));
        EXPECT_TRUE(lines.contains(expected)) << expected.toStdString();
    }
    // The two the list once lacked.
    EXPECT_EQ(lines.filter(QRegularExpression("^  --(thumbnail=SIZE|version) +[A-Z-]")).size(), 2)
        << r.out.toStdString();
    EXPECT_FALSE(QFileInfo::exists(Path("tracery.ini")));
}
