// The program itself, run in batch mode from a copy beside its own settings file.
#include "Programrun.h"

#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QThread>
#include <functional>

#include "Q01Component.h"
#include "Q01DenseSheet.h"
#include "Smalldisk.h"

#include <csignal>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {
q01::Bytes Resistor(const std::string& designation, const std::string& value, std::uint16_t x, std::uint16_t y)
{
    q01::Component c;
    c.designation = designation;
    c.valueText = value;
    c.packageText = "0603";
    c.anchorX = x, c.anchorY = y;
    c.parts.assign(1, q01::ComponentPart{0, 1, 1});
    return q01::ComponentRecord(c);
}

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}
}  // namespace

using BatchTest = ProgramRunTest;

TEST_F(BatchTest, PngOfAHeaderOnlyA4DrawingIsTheSheet)
{
    const QString a = Write("a.q01", q01::Header(0));
    const RunResult r = Run({"--batch", "--png", a});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    QImage png(Path("a.png"));
    ASSERT_FALSE(png.isNull());
    EXPECT_EQ(png.size(), QSize(1110, 720));
    EXPECT_EQ(png.pixel(5, 5), qRgb(0, 0, 255));           // frame
    EXPECT_EQ(png.pixel(276, 10), qRgb(166, 202, 240));    // column tick
    EXPECT_EQ(png.pixel(500, 300), qRgb(255, 255, 255));   // page interior
    EXPECT_FALSE(QFileInfo::exists(Path("tracery.ini")));  // a batch run shows no window to place
}

TEST_F(BatchTest, MissingDrawingsAndPathsThatAreNoDrawingsAreReportedAndExitOne)
{
    const RunResult r = Run({"--batch", "missing.q01", "/dev/zero"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "File 'missing.q01' not found\n'/dev/zero' is not a drawing file\n");
}

TEST_F(BatchTest, VersionWithoutBatchPrintsTheVersionsAndEndsWithNoDisplay)
{
    // No display and no platform named: a run that reached for a window
    // could not start, and one waiting on a dialog would not end.
    const RunResult r = Run({"--version", "missing.q01"}, WithoutDisplay);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, QStringLiteral("tracery " TRACERY_VERSION " (Qt %1)\n").arg(qVersion()));
    EXPECT_EQ(r.err, "");  // missing.q01 is not looked for
    EXPECT_FALSE(QFileInfo::exists(Path("tracery.ini")));
}

TEST_F(BatchTest, ExportAndMessagesWorkWithoutAWindow)
{
    q01::Bytes bad(16, 0);
    bad[0] = 0x99;
    const QString a = Write("a.q01", Cat({q01::Header(0), q01::Record0x40(), bad}));
    const RunResult r = Run({"--batch", "--export", a, "--nonsense"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "0x40\n00000020 : Type 99\nParameter 'nonsense' not recognised\n");
    EXPECT_EQ(ReadAll(Path("a/Line.q01")).size(), 16);
}

TEST_F(BatchTest, BatchWithoutDrawingsEndsAtOnceWithStatusZero)
{
    const RunResult r = Run({"--batch"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
}

TEST_F(BatchTest, NetlistOfTheSampleIsKicadsExportOfItsNetsAndAFileInTheWayFailsTheRun)
{
    QFile::copy(TRACERY_SOURCE_DIR "/samples/amp.q01", Path("amp.q01"));
    const RunResult r = Run({"--batch", "--netlist", "--out=nets", "amp.q01"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.err, "");
    const QByteArray expected =
        "(export (version \"E\")\n"
        "  (design\n"
        "    (source \"amp.q01\")\n"
        "    (tool \"Tracery 0.1\")\n"
        "    (sheet (number \"1\") (name \"/\") (tstamps \"/\")))\n"
        "  (components\n"
        "    (comp (ref \"C1\")\n"
        "      (value \"100n\")\n"
        "      (footprint \"X7R\")\n"
        "      (sheetpath (names \"/\") (tstamps \"/\"))\n"
        "      (tstamps \"97a6018e-d1fe-5e2c-a277-49ecbae1ec9b\"))\n"
        "    (comp (ref \"J1\")\n"
        "      (value \"HDR1X3\")\n"
        "      (footprint \"IN\")\n"
        "      (sheetpath (names \"/\") (tstamps \"/\"))\n"
        "      (tstamps \"4e3db87e-5de8-592e-8259-4ef67a582fba\"))\n"
        "    (comp (ref \"R1\")\n"
        "      (value \"10k\")\n"
        "      (footprint \"0805\")\n"
        "      (sheetpath (names \"/\") (tstamps \"/\"))\n"
        "      (tstamps \"0f6da9c0-dbb4-52e6-9977-c84271b15a97\"))\n"
        "    (comp (ref \"R2\")\n"
        "      (value \"100k\")\n"
        "      (footprint \"0805\")\n"
        "      (sheetpath (names \"/\") (tstamps \"/\"))\n"
        "      (tstamps \"1f2d6291-0afd-5fdc-bdaa-d76f1f4fd27e\"))\n"
        "    (comp (ref \"U1\")\n"
        "      (value \"LM741\")\n"
        "      (footprint \"OPAMP\")\n"
        "      (sheetpath (names \"/\") (tstamps \"/\"))\n"
        "      (tstamps \"7f9bdd18-41da-59ae-ba5c-631c2d80afaa\"))\n"
        "    (comp (ref \"U2\")\n"
        "      (value \"74HC74\")\n"
        "      (footprint \"DFF\")\n"
        "      (sheetpath (names \"/\") (tstamps \"/\"))\n"
        "      (tstamps \"033acf14-4f2d-53ba-a783-8c8897ca56d8\")))\n"
        "  (nets\n"
        "    (net (code \"1\") (name \"+12V\")\n"
        "      (node (ref \"U1\") (pin \"7\") (pinfunction \"V+\") (pintype \"power_in\")))\n"
        "    (net (code \"2\") (name \"GND\")\n"
        "      (node (ref \"C1\") (pin \"1\") (pintype \"passive\"))\n"
        "      (node (ref \"J1\") (pin \"2\") (pinfunction \"GND\") (pintype \"power_in\"))\n"
        "      (node (ref \"U1\") (pin \"3\") (pinfunction \"+\") (pintype \"input\"))\n"
        "      (node (ref \"U1\") (pin \"4\") (pinfunction \"V-\") (pintype \"power_in\")))\n"
        "    (net (code \"3\") (name \"VIN\")\n"
        "      (node (ref \"J1\") (pin \"1\") (pinfunction \"SIG\") (pintype \"bidirectional\"))\n"
        "      (node (ref \"R1\") (pin \"1\") (pintype \"passive\")))\n"
        "    (net (code \"4\") (name \"VOUT\")\n"
        "      (node (ref \"C1\") (pin \"2\") (pintype \"passive\"))\n"
        "      (node (ref \"R2\") (pin \"1\") (pintype \"passive\"))\n"
        "      (node (ref \"U1\") (pin \"6\") (pinfunction \"OUT\") (pintype \"output\"))\n"
        "      (node (ref \"U2\") (pin \"3\") (pinfunction \"CLK\") (pintype \"input\")))\n"
        "    (net (code \"5\") (name \"Net-(R1-Pad2)\")\n"
        "      (node (ref \"R1\") (pin \"2\") (pintype \"passive\"))\n"
        "      (node (ref \"R2\") (pin \"2\") (pintype \"passive\"))\n"
        "      (node (ref \"U1\") (pin \"2\") (pinfunction \"-\") (pintype \"input\")))\n"
        "    (net (code \"6\") (name \"Net-(U2-Pad2)\")\n"
        "      (node (ref \"U2\") (pin \"2\") (pinfunction \"D\") (pintype \"input\"))\n"
        "      (node (ref \"U2\") (pin \"6\") (pinfunction \"/Q\") (pintype \"output\")))\n"
        "    (net (code \"7\") (name \"unconnected-(U2-Pad5)\")\n"
        "      (node (ref \"U2\") (pin \"5\") (pinfunction \"Q\") (pintype \"output+no_connect\")))\n"
        "    (net (code \"8\") (name \"unconnected-(U2-Pad12)\")\n"
        "      (node (ref \"U2\") (pin \"12\") (pinfunction \"D\") (pintype \"input+no_connect\")))))\n";
    EXPECT_EQ(ReadAll(Path("nets/amp.net")).toStdString(), expected.toStdString());

    // A folder where the netlist goes: the message, status 1, the other outputs still written.
    QDir(dir.path()).mkdir("amp.net");
    const RunResult blocked = Run({"--batch", "--netlist", "--bom", "amp.q01"});
    EXPECT_EQ(blocked.status, 1);
    EXPECT_EQ(blocked.err, "Cannot write 'amp.net': it is a folder, not a file\n");
    EXPECT_TRUE(QFileInfo::exists(Path("amp-bom.csv")));
}

namespace {
// A part drawn as the outline of a 21 x 21 body at (x, y), pin 1 (of type1)
// ending at (x - 31, y + 10), pin 2 (type2) at (x + 51, y + 10).
q01::Bytes TwoPinPart(const std::string& designation, std::uint16_t x, std::uint16_t y, std::uint8_t type1 = 6,
                      std::uint8_t type2 = 6)
{
    q01::Component c;
    c.designation = designation;
    c.anchorX = x, c.anchorY = y;
    c.parts = {{0, 2, 2}};
    q01::ComponentPin pin1, pin2;
    pin1.number = "1", pin1.side = q01::sideLeft, pin1.offsetUnits = 1, pin1.electricalType = type1;
    pin2.number = "2", pin2.side = q01::sideRight, pin2.offsetUnits = 1, pin2.electricalType = type2;
    c.pins = {pin1, pin2};
    return q01::ComponentRecord(c);
}
}  // namespace

TEST_F(BatchTest, CheckPrintsOneLinePerFindingInTheCompilersFormAndEndsOneTwoOrZero)
{
    // One finding of each kind on an A4 sheet (zones 276 pixels across, 180 down).
    using q01::Marker;
    const QString wiring =
        Write("wiring.q01", Cat({
                                q01::Header(0),
                                TwoPinPart("R1", 100, 100),
                                TwoPinPart("R2", 300, 100),
                                q01::Line(151, 110, 268, 110, 1),  // R1 pin 2 towards R2 pin 1, a pixel short
                                q01::Line(200, 110, 200, 150, 1),  // a T that ends in the air
                                Marker(351, 110, 3),
                                q01::Annotation(180, 112, 0, "SDA"),  // two pixels below the wire
                                TwoPinPart("U1", 100, 300, 0, 0),
                                TwoPinPart("U2", 300, 300, 0, 0),  // inputs only
                                q01::Line(151, 310, 269, 310, 1),
                                Marker(69, 310, 3),
                                Marker(351, 310, 3),
                                TwoPinPart("U3", 100, 500, 1, 1),
                                TwoPinPart("U4", 300, 500, 1, 1),  // outputs only
                                q01::Line(151, 510, 269, 510, 1),
                                Marker(69, 510, 3),
                                Marker(351, 510, 3),
                                q01::Line(500, 100, 600, 100, 1),
                                q01::Annotation(510, 100, 0, "CLK"),
                                q01::Annotation(590, 100, 0, "SCK"),
                                TwoPinPart("R1", 700, 300),
                                Marker(669, 310, 3),
                                Marker(751, 310, 3),
                            }));
    QFile::copy(TRACERY_SOURCE_DIR "/samples/amp.q01", Path("amp.q01"));
    const RunResult r = Run({"--batch", "--out=checks", "--check", "wiring.q01", "amp.q01"});
    EXPECT_EQ(r.status, 1) << r.err.toStdString();
    const QString expected =
        "wiring.q01:A1: warning: R1 pin 1 is not connected [unconnected-pin]\n"
        "wiring.q01:A1: warning: wire end at 200,150 is not connected [dangling-wire]\n"
        "wiring.q01:A1: warning: R2 pin 1 misses the wire end at 268,110 by 1 pixel [near-miss]\n"
        "wiring.q01:A1: warning: label SDA is 2 pixels off a wire (at 180,110) [label-off-wire]\n"
        "wiring.q01:B1: warning: net Net-(U1-Pad2) has no driver: U1 pin 2, U2 pin 1 are all inputs [no-driver]\n"
        "wiring.q01:C1: warning: net Net-(U3-Pad2) has 2 outputs: U3 pin 2, U4 pin 1 [driver-conflict]\n"
        "wiring.q01:A3: warning: net CLK has two names: CLK, SCK [two-names]\n"
        "wiring.q01:B3: warning: R1 is used twice (also at 100,100) [duplicate-designation]\n";
    EXPECT_EQ(r.out.toStdString(), expected.toStdString());
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(ReadAll(Path("checks/wiring-check.txt")), expected.toUtf8());
    EXPECT_EQ(ReadAll(Path("checks/amp-check.txt")), "");  // the sample is clean

    const RunResult clean = Run({"--check", "amp.q01"});
    EXPECT_EQ(clean.status, 0);
    EXPECT_EQ(clean.out, "");
    const RunResult unread = Run({"--check", "missing.q01", "amp.q01"});
    EXPECT_EQ(unread.status, 2);
    EXPECT_EQ(unread.err, "File 'missing.q01' not found\n");
    EXPECT_FALSE(QFileInfo::exists(Path("amp-check.txt")));  // only with --batch and --out
}

TEST_F(BatchTest, BundledSampleShowsEveryRecordKind)
{
    QFile::copy(TRACERY_SOURCE_DIR "/samples/amp.q01", Path("amp.q01"));
    const RunResult r = Run({"--batch", "--png", "amp.q01"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QImage png = QImage(Path("amp.png")).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(png.size(), QSize(1110, 720));
    // Colours inside the page area: component ink (blue), wires (black),
    // markers (purple).
    int ink = 0, black = 0, purple = 0;
    for (int y = 20; y < 700; ++y)
        for (int x = 20; x < 1090; ++x) {
            const QRgb p = png.pixel(x, y);
            ink += p == qRgb(0, 0, 255);
            black += p == qRgb(0, 0, 0);
            purple += p == qRgb(128, 0, 128);
        }
    EXPECT_GT(ink, 500);
    EXPECT_GT(black, 2000);
    EXPECT_GT(purple, 20);
}

TEST_F(BatchTest, PdfOptionPrintsEachLaterDrawingLandscapeBesideIt)
{
    const QString a = Write("a.q01", q01::Header(0));
    const QString b = Write("b.q01", q01::Header(0));
    const RunResult r = Run({"--batch", a, "--PDF", b});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(Path("a.pdf")));
    ASSERT_TRUE(QFileInfo::exists(Path("b.pdf")));
    const QString text = RunProcess("pdfinfo", {Path("b.pdf")}).out;
    const auto size = QRegularExpression("Page size:\\s+([\\d.]+) x ([\\d.]+)").match(text);
    ASSERT_TRUE(size.hasMatch()) << text.toStdString();
    EXPECT_GT(size.captured(1).toDouble(), size.captured(2).toDouble());
    EXPECT_TRUE(text.contains(QRegularExpression("Pages:\\s+1\\n")));
}

TEST_F(BatchTest, ArgumentsThatLookLikeToolkitOptionsAreDrawingPaths)
{
    const QString x = Write("x.q01", q01::Header(0));
    const RunResult r = Run({"--batch", "-reverse", "--png", "-style", x});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "File '-reverse' not found\nFile '-style' not found\n");
    EXPECT_EQ(QImage(Path("x.png")).size(), QSize(1110, 720));  // the drawing after -style is loaded
}

TEST_F(BatchTest, BatchRunNeedsNoDisplay)
{
    const QString x = Write("x.q01", q01::Header(0));
    const RunResult r = Run({"--batch", "--png", "x.q01"}, WithoutDisplay);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(QImage(Path("x.png")).size(), QSize(1110, 720));
}

TEST_F(BatchTest, OutFolderTakesEveryOutputOfTheDrawingsAfterItAndNothingGoesBesideThem)
{
    Write("early.q01", q01::Header(0));
    ASSERT_TRUE(QDir(dir.path()).mkdir("src"));
    Write("src/a.q01", Cat({q01::Header(0), Resistor("R10", "10k", 300, 200), Resistor("R2", "4k7", 40, 30)}));
    Write("src/b.q01", q01::Header(1));
    const QString src = Path("src");
    const QStringList sources = Entries(src);
    // Read-only for everyone but root, who writes anyway: what the folder
    // holds afterwards tells.
    QFile::setPermissions(src, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup |
                                   QFile::ReadOther | QFile::ExeOther);
    const RunResult r = Run(
        {"--batch", "--png", "early.q01", "--pdf", "--bom", "--export", "--OUT=out/deep", "src/a.q01", "src/b.q01"});
    QFile::setPermissions(src, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(Entries(src), sources);
    EXPECT_EQ(Entries(dir.path()), (QStringList{"early.png", "early.q01", "out", "src", "tracery"}));
    const QString out = Path("out/deep");
    EXPECT_EQ(Entries(out), (QStringList{"a", "a-bom.csv", "a.pdf", "a.png", "b", "b-bom.csv", "b.pdf", "b.png"}));
    EXPECT_EQ(Entries(out + "/a"),
              (QStringList{"Annotate.q01", "Bitmap.q01", "DocBox.q01", "Junction.q01", "Line.q01"}));
    EXPECT_EQ(QImage(out + "/b.png").size(), QSize(1550, 1110));
    EXPECT_EQ(ReadAll(out + "/a-bom.csv"),
              "Designation,Part,Parts,Value,Package,X,Y,Zone,Angle,Mirrored\r\n"
              "R2,1,1,4k7,0603,40,30,A1,0,\r\n"
              "R10,1,1,10k,0603,300,200,B2,0,\r\n");
    EXPECT_EQ(ReadAll(out + "/b-bom.csv"), "Designation,Part,Parts,Value,Package,X,Y,Zone,Angle,Mirrored\r\n");
}

TEST_F(BatchTest, OutputsThatCannotBeWrittenAreNamedWithTheirCauseAndExitOne)
{
    Write("a.q01", q01::Header(0));
    for (const char* inTheWay : {"a.png", "a.pdf", "a-bom.csv"}) ASSERT_TRUE(QDir(dir.path()).mkdir(inTheWay));
    RunResult r = Run({"--batch", "--png", "--pdf", "--bom", "a.q01"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "Cannot write 'a.png': it is a folder, not a file\n"
              "Cannot write 'a.pdf': it is a folder, not a file\n"
              "Cannot write 'a-bom.csv': it is a folder, not a file\n");
    // No half-written file beside them.
    EXPECT_EQ(Entries(dir.path()), (QStringList{"a-bom.csv", "a.pdf", "a.png", "a.q01", "tracery"}));

    // An output folder that cannot be made, or none named: nothing is written.
    Write("b.q01", q01::Header(0));
    r = Run({"--batch", "--png", "--export", "--out=b.q01/pictures", "b.q01", "--Out", "b.q01"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "Cannot create the folder 'b.q01/pictures': Not a directory\n"
              "Parameter 'Out' needs a folder, as in --out=DIR\n");
    EXPECT_EQ(Entries(dir.path()), (QStringList{"a-bom.csv", "a.pdf", "a.png", "a.q01", "b.q01", "tracery"}));
}

TEST_F(BatchTest, OnAFullDiskEveryOutputFailsWithTheSystemsReasonAndTheOldFilesStay)
{
    TSmallDisk disk(Path("full"), 64);
    if (!disk.Mounted()) GTEST_SKIP() << "mounting a small file system needs the administrator";
    const QString drawing = Write("amp.q01", Cat({q01::Header(0), Resistor("R1", "10k", 300, 200)}));
    for (const char* name : {"full/amp.svg", "full/amp.pdf", "full/amp-bom.csv"}) {
        QFile old(Path(name));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray("the good ") + name);
    }
    disk.Fill();
    // The temporary folder full as well: the PDF needs none.
    const auto fullTemporaryFolder = [&](QProcessEnvironment& env) { env.insert("TMPDIR", Path("full")); };
    const RunResult r = Run({"--batch", "--svg", "--pdf", "--bom", "--out=full", drawing}, fullTemporaryFolder);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "Cannot write 'full/amp.svg': No space left on device\n"
              "Cannot write 'full/amp.pdf': No space left on device\n"
              "Cannot write 'full/amp-bom.csv': No space left on device\n");
    EXPECT_EQ(ReadAll(Path("full/amp.svg")), "the good full/amp.svg");
    EXPECT_EQ(ReadAll(Path("full/amp.pdf")), "the good full/amp.pdf");
    EXPECT_EQ(ReadAll(Path("full/amp-bom.csv")), "the good full/amp-bom.csv");
    EXPECT_EQ(Entries(Path("full")),
              (QStringList{"amp-bom.csv", "amp.pdf", "amp.svg", "filler"}));  // nothing left behind

    const RunResult roomy = Run({"--batch", "--pdf", "--out=roomy", drawing}, fullTemporaryFolder);
    EXPECT_EQ(roomy.status, 0) << roomy.err.toStdString();
    EXPECT_TRUE(ReadAll(Path("roomy/amp.pdf")).startsWith("%PDF-1.4\n"));
    EXPECT_TRUE(ReadAll(Path("roomy/amp.pdf")).endsWith("%%EOF\n"));
}

TEST_F(BatchTest, StoppedBySigtermWhileWritingItLeavesNothingOfItsOwnBehind)
{
    Write("dense.q01", q01::DenseSheet(q01::DenseA0()));
    const QString exe = Path("tracery");
    ASSERT_TRUE(QFile::copy(TRACERY_BINARY, exe));
    for (const char* output : {"--png", "--pdf"}) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", dir.path());
        env.insert("TMPDIR", Path("tmp"));
        ASSERT_TRUE(QDir().mkpath(Path("tmp")));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(dir.path());
        p.start(exe, {"--batch", output, "--out=out", "dense.q01"});
        ASSERT_TRUE(p.waitForStarted());
        // As soon as the file is being written (its hidden temporary file is there).
        QElapsedTimer waited;
        waited.start();
        bool writing = false;
        while (!writing && p.state() == QProcess::Running && waited.elapsed() < 60000) {
            writing = !QDir(Path("out")).entryList({".dense.*"}, QDir::Files | QDir::Hidden).isEmpty();
            if (!writing) QThread::usleep(200);
        }
        ASSERT_TRUE(writing) << output << ": the run ended before its file was being written";
        ::kill(pid_t(p.processId()), SIGTERM);
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitStatus(), QProcess::CrashExit) << output;
        EXPECT_EQ(Entries(Path("out")), QStringList()) << output;
        EXPECT_EQ(Entries(Path("tmp")), QStringList()) << output;
    }
}

TEST_F(BatchTest, OutputsReplaceOnlyRegularFilesAndLinksToThem)
{
    const QString drawing = Write("amp.q01", Cat({q01::Header(0), Resistor("R1", "10k", 300, 200)}));
    ASSERT_TRUE(QDir(dir.path()).mkdir("out"));
    // A device of the test's own where one can be made; the system's own
    // is left alone.
    QString device = QStringLiteral("/dev/full");
    if (::mknod(QFile::encodeName(Path("full-device")).constData(), S_IFCHR | 0666, makedev(1, 7)) == 0)
        device = Path("full-device");
    ASSERT_TRUE(QFile::link(device, Path("out/amp.png")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path("out/amp.svg")).constData(), 0644), 0);
    ASSERT_TRUE(QFile::link(Path("kept.csv"), Path("out/amp-bom.csv")));  // leads to nothing yet

    const RunResult r = Run({"--batch", "--png", "--svg", "--bom", "--out=out", drawing});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "Cannot write 'out/amp.png': it is a link to a device, not a file\n"
              "Cannot write 'out/amp.svg': it is a pipe, not a file\n");
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(device).constData(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_EQ(QFileInfo(Path("out/amp.png")).symLinkTarget(), device);
    ASSERT_EQ(::lstat(QFile::encodeName(Path("out/amp.svg")).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    // The link stays a link; the file it leads to is written.
    EXPECT_TRUE(QFileInfo(Path("out/amp-bom.csv")).isSymLink());
    EXPECT_EQ(ReadAll(Path("kept.csv")),
              "Designation,Part,Parts,Value,Package,X,Y,Zone,Angle,Mirrored\r\n"
              "R1,1,1,10k,0603,300,200,B2,0,\r\n");
    EXPECT_EQ(Entries(Path("out")), (QStringList{"amp-bom.csv", "amp.png", "amp.svg"}));
}

TEST_F(BatchTest, ADrawingOfTheSameNameNeverReplacesWhatAnEarlierOneWroteInTheRun)
{
    // The README's find ... -exec over two years of one archive.
    for (const char* year : {"2019", "2020"}) ASSERT_TRUE(QDir(dir.path()).mkdir(year));
    const q01::Bytes older = Cat({q01::Header(0), q01::Junction(100, 50)});
    Write("2019/amp.q01", older);
    Write("2020/amp.q01", q01::Header(1));
    const RunResult r =
        Run({"--batch", "--png", "--export", "--out=pictures", "2019/amp.q01", "2020/amp.q01", "2019/amp.q01"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "Cannot write 'pictures/amp' for '2020/amp.q01': it holds the output of '2019/amp.q01', "
              "written earlier in this run\n"
              "Cannot write 'pictures/amp.png' for '2020/amp.q01': it holds the output of '2019/amp.q01', "
              "written earlier in this run\n");
    EXPECT_EQ(QImage(Path("pictures/amp.png")).size(), QSize(1110, 720));  // the A4 sheet of 2019
    EXPECT_EQ(Entries(Path("pictures")), (QStringList{"amp", "amp.png"}));
    EXPECT_EQ(ReadAll(Path("pictures/amp/Junction.q01")),
              QByteArray(reinterpret_cast<const char*>(older.data()), qsizetype(older.size())))
        << "the split of 2019";
}

TEST_F(BatchTest, ASettingsFileThatIsAPipeIsNeitherReadNorWrittenAndTheUserIsToldOnce)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path("tracery.ini")).constData(), 0644), 0);
    const QString drawing = Write("a.q01", q01::Header(0));
    const RunResult r = Run({"--batch", "--png", drawing});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "The settings file '" + Path("tracery.ini") +
                         "' is a pipe, not a regular file: the default settings are used, and none are saved.\n");
    EXPECT_FALSE(QImage(Path("a.png")).isNull());
    struct stat st;
    ASSERT_EQ(::lstat(QFile::encodeName(Path("tracery.ini")).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(BatchTest, PngOfADrawingWhoseHeaderNamesNoPageSizeIsTheFirstPageSize)
{
    Write("a.q01", q01::Header(200));
    const RunResult r = Run({"--batch", "--png", "a.q01"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(QImage(Path("a.png")).size(), QSize(1090, 713));
}

TEST_F(BatchTest, BatchRunLeavesTheSettingsFileByteForByte)
{
    const QByteArray settings = "[Form1]\r\nLeft=5\r\nTop=7\r\n[Recent Files]\r\nFile1=old.q01\r\n";
    {
        QFile ini(Path("tracery.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(settings);
    }
    Write("a.q01", q01::Header(0));
    Write("b.q01", q01::Header(0));
    const RunResult r = Run({"--batch", "--png", "--pdf", "a.q01", "b.q01"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(ReadAll(Path("tracery.ini")), settings);
}

using q01::operator+=;

TEST_F(BatchTest, SvgAndPdfAreVectorPagesWithTheirTextsAsTexts)
{
    q01::Bytes drawing = q01::Header(0);
    drawing += Resistor("R17", "4k7", 300, 300);
    drawing += q01::Annotation(500, 200, 1, "TEST POINT");
    Write("amp.q01", drawing);
    const RunResult r = Run({"--batch", "--svg", "--pdf", "--out=vector", "amp.q01"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(Entries(Path("vector")), (QStringList{"amp.pdf", "amp.svg"}));

    const QByteArray svg = ReadAll(Path("vector/amp.svg"));
    EXPECT_TRUE(svg.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg "));
    EXPECT_TRUE(svg.contains("viewBox=\"0 0 1110 720\""));
    EXPECT_TRUE(svg.contains(">R17</text>"));
    EXPECT_TRUE(svg.contains(">0603</text>"));  // the package, drawn where the value goes
    EXPECT_TRUE(svg.contains(">TEST POINT</text>"));

    const QString extracted = RunProcess("pdftotext", {Path("vector/amp.pdf"), "-"}).out;
    EXPECT_TRUE(extracted.contains("R17")) << extracted.toStdString();
    EXPECT_TRUE(extracted.contains("TEST POINT")) << extracted.toStdString();
}

TEST_F(BatchTest, PdfOfADenseA0SheetIsOnA0PaperWithEveryDesignationAndAnnotationSearchable)
{
    // 77,000 texts. Fitted onto a smaller sheet most of them were too small
    // for a reader to keep; at the page's own scale every one is kept.
    Write("dense.q01", q01::DenseSheet(q01::DenseA0()));
    const RunResult r = Run({"--batch", "--svg", "--pdf", "dense.q01"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    QStringList designations, annotations;
    const QRegularExpression text(QStringLiteral("<text [^>]*>([^<]*)</text>")), designation(QStringLiteral("^U\\d+$"));
    for (const QRegularExpressionMatch& m : text.globalMatch(QString::fromUtf8(ReadAll(Path("dense.svg"))))) {
        const QString drawn = m.captured(1);
        if (designation.match(drawn).hasMatch()) designations << drawn;
        if (drawn.startsWith(u'N'))
            annotations << QString(drawn).remove(u' ').replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    }
    ASSERT_EQ(designations.size(), 1800);  // (second parts show none)
    ASSERT_EQ(annotations.size(), 1000);

    QProcess info;
    info.start("pdfinfo", {Path("dense.pdf")});
    ASSERT_TRUE(info.waitForFinished(30000));
    const QString described = QString::fromUtf8(info.readAllStandardOutput());
    EXPECT_TRUE(described.contains(QRegularExpression("Page size: +3370.39 x 2383.94 pts \\(A0\\)\\n")))
        << described.toStdString();
    QProcess extract;
    extract.start("pdftotext", {"-raw", Path("dense.pdf"), "-"});
    ASSERT_TRUE(extract.waitForFinished(60000));
    const QString extracted = QString::fromUtf8(extract.readAllStandardOutput());
    // A designation is a word of its own; an annotation may be broken at its
    // blanks or run into a neighbour.
    const QStringList wordList = extracted.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
    const QSet<QString> words(wordList.begin(), wordList.end());
    const QString joined = QString(extracted).remove(QRegularExpression("\\s"));
    int foundDesignations = 0, foundAnnotations = 0;
    for (const QString& wanted : designations) foundDesignations += words.contains(wanted);
    for (const QString& wanted : annotations) foundAnnotations += joined.contains(wanted);
    EXPECT_EQ(foundDesignations, 1800);
    EXPECT_EQ(foundAnnotations, 1000);
}

TEST_F(BatchTest, ThumbnailKeepsEveryOnePixelLineVisible)
{
    // Stepped one-pixel lines across an A4 page, eight pixels apart: at 100
    // pixels for 1110 each covers a tenth of a thumbnail column.
    q01::Bytes drawing = q01::Header(0);
    for (int k = 0; k < 40; ++k)
        drawing += q01::Line(std::uint16_t(200 + 17 * k), 100, std::uint16_t(200 + 17 * k), 600, 1);
    Write("lines.q01", drawing);
    const RunResult r = Run({"--thumbnail=100", "lines.q01", "lines.png"}, WithoutDisplay);
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    const QImage thumbnail(Path("lines.png"));
    ASSERT_EQ(thumbnail.size(), QSize(100, 65));
    // Every line leaves a grey trace at mid height in the column that holds
    // most of it (a line across a column border shares itself out).
    for (int k = 0; k < 40; ++k) {
        const int x = 200 + 17 * k;
        const int darkest =
            std::min(qGray(thumbnail.pixel(x * 100 / 1110, 32)), qGray(thumbnail.pixel((x + 1) * 100 / 1110, 32)));
        EXPECT_LT(darkest, 245) << "line " << k;
    }
    EXPECT_EQ(thumbnail.pixel(10, 32), qRgb(255, 255, 255));  // the page beside them stays white

    const RunResult usage = Run({"--thumbnail=big", "lines.q01", "x.png"});
    EXPECT_EQ(usage.status, 1);
    EXPECT_EQ(usage.err, "Usage: tracery --thumbnail=SIZE IN.q01 OUT.png (SIZE from 1 to 16384 pixels)\n");
    EXPECT_FALSE(QFileInfo::exists(Path("x.png")));
}
