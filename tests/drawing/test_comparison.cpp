// Comparing two revisions of a drawing: the report of what changed, the
// picture of where the ink differs, the --diff command and the comparison
// shown in the main window.
#include "Programrun.h"

#include <QAction>
#include <QImage>
#include <QListWidget>
#include <QMenu>
#include <QScrollArea>
#include <QTest>
#include <QToolButton>

#include "Q01Component.h"
#include "app/Comparepanel.h"
#include "app/Startup.h"
#include "drawing/Comparison.h"
#include "drawing/Drawing.h"
#include "drawing/Objectsettings.h"

using q01::operator+=;

namespace {

constexpr QRgb white = 0xFFFFFFFFu, red = 0xFFD00000u, green = 0xFF00A000u, grey = 0xFFB4B4B4u;

struct TPart {
    std::string name = "R1", value = "10k", package = "0805";
    std::uint16_t x = 100, y = 100;
    std::uint8_t rotation = 0;
    bool flip = false;
    std::uint8_t width = 2, height = 2;
};

// A component drawn as the outline of its body, (x, y) to (x + 20, y + 10 * height),
// its designation 20 pixels above its anchor and its value position 30 below.
q01::Component Make(const TPart& p)
{
    q01::Component c;
    c.designation = p.name;
    c.valueText = p.value;
    c.packageText = p.package;
    c.anchorX = p.x, c.anchorY = p.y;
    c.designationX = p.x, c.designationY = std::uint16_t(p.y - 20);
    c.valueX = p.x, c.valueY = std::uint16_t(p.y + 30);
    c.rotation = p.rotation;
    c.hFlip = p.flip;
    c.parts = {{0, p.width, p.height}};
    return c;
}
q01::Bytes Part(const TPart& p) { return q01::ComponentRecord(Make(p)); }

class ComparisonTest : public TempSettings {
protected:
    void SetUp() override
    {
        TempSettings::SetUp();
        CreateOtherWindows();
    }
    void TearDown() override
    {
        DestroyOtherWindows();
        TempSettings::TearDown();
    }
    static void Load(TDrawing& drawing, const q01::Bytes& bytes)
    {
        ASSERT_TRUE(drawing.Load(bytes.data(), bytes.size()).Complete);
    }
    TComparison Compare(const q01::Bytes& older, const q01::Bytes& newer)
    {
        Load(a, older);
        Load(b, newer);
        return TComparison(a, b, ObjectSettings());
    }
    TDrawing a, b;
};

}  // namespace

TEST_F(ComparisonTest, ChangedMovedAddedAndRemovedObjectsGiveTheirLinesAndColours)
{
    const q01::Bytes older =
        Cat({q01::Header(0), Part({.name = "R10", .x = 500}), Part({}), Part({.name = "R2", .x = 300}),
             q01::Line(100, 400, 300, 400, 1), q01::Line(100, 500, 300, 500, 1), q01::Junction(600, 400)});
    const q01::Bytes newer =
        Cat({q01::Header(0), q01::Line(100, 400, 300, 400, 1), Part({.value = "12k"}), Part({.name = "R2", .x = 320}),
             Part({.name = "U7", .value = "74HC00", .package = "SO8", .x = 700, .y = 300}), q01::Junction(600, 400),
             q01::Line(100, 600, 300, 600, 1), q01::Annotation(400, 90, 0, "TEST POINT")});
    const TComparison c = Compare(older, newer);
    EXPECT_EQ(c.Report(),
              (QStringList{"changed R1: Value \"10k\" -> \"12k\"", "changed R2: position 300,100 A2 -> 320,100 A2",
                           "removed R10 (10k, 0805) at 500,100 A2", "added U7 (74HC00, SO8) at 700,300 B3",
                           "lines: 1 added, 1 removed", "annotations: added \"TEST POINT\" at 400,90"}));
    EXPECT_FALSE(c.Same());

    const QImage& p = c.Picture();
    ASSERT_EQ(p.size(), QSize(1110, 720));
    EXPECT_EQ(p.format(), QImage::Format_Indexed8);
    EXPECT_EQ(p.pixel(200, 400), grey);   // the line both have
    EXPECT_EQ(p.pixel(200, 500), red);    // the removed line
    EXPECT_EQ(p.pixel(200, 600), green);  // the added line
    EXPECT_EQ(p.pixel(200, 450), white);
    EXPECT_EQ(p.pixel(300, 110), red);   // R2's left edge before and after it moved
    EXPECT_EQ(p.pixel(320, 110), grey);  // its right edge before, its left edge after
    EXPECT_EQ(p.pixel(340, 110), green);
    EXPECT_EQ(p.pixel(510, 100), red);    // R10's top edge
    EXPECT_EQ(p.pixel(710, 300), green);  // U7's
    EXPECT_EQ(p.pixel(5, 5), grey);       // the sheet's frame

    // The same objects in another order compare as the same; the picture has
    // no colour of either side alone.
    const TComparison same = Compare(
        older, Cat({q01::Header(0), q01::Line(100, 500, 300, 500, 1), Part({}), Part({.name = "R2", .x = 300}),
                    q01::Junction(600, 400), Part({.name = "R10", .x = 500}), q01::Line(100, 400, 300, 400, 1)}));
    EXPECT_TRUE(same.Same());
    EXPECT_EQ(same.Picture().pixel(200, 500), grey);
    EXPECT_EQ(same.Picture().pixel(200, 450), white);
}

TEST_F(ComparisonTest, NetsThatGainOrLosePinsOrANameHaveTheirLines)
{
    // Parts of two pins: pin 1 ends 31 pixels left of (x, y + 10), pin 2 51 pixels right of it.
    const auto part = [](const char* name, std::uint16_t x, std::uint16_t y) {
        q01::Component c = Make({.name = name, .value = "1k", .x = x, .y = y});
        c.pins = {{.number = "1", .name = {}, .side = q01::sideLeft, .offsetUnits = 1},
                  {.number = "2", .name = {}, .side = q01::sideRight, .offsetUnits = 1}};
        return q01::ComponentRecord(c);
    };
    const q01::Bytes common =
        Cat({q01::Header(0), part("R1", 100, 100), part("R2", 300, 100), part("C1", 500, 100), part("U1", 300, 300),
             q01::Line(151, 110, 269, 110, 1), q01::Annotation(200, 110, 0, "VOUT"),
             // C1 pin 1 to U1 pin 1, crossing R2 pin 2's wire below without a dot
             q01::Line(469, 110, 469, 200, 1), q01::Line(469, 200, 240, 200, 1), q01::Line(240, 200, 240, 310, 1),
             q01::Line(240, 310, 269, 310, 1)});
    const q01::Bytes older = Cat({common, q01::Line(551, 110, 600, 110, 1), q01::Annotation(580, 110, 0, "VOUT"),
                                  q01::Line(351, 110, 351, 310, 1)});
    const q01::Bytes newer =
        Cat({common, part("R5", 700, 300), q01::Line(751, 310, 780, 310, 1), q01::Annotation(770, 310, 0, "VOUT"),
             q01::Annotation(300, 200, 0, "FB"), q01::Line(351, 310, 669, 310, 1)});
    const TComparison c = Compare(older, newer);
    EXPECT_EQ(c.Report(),
              (QStringList{"added R5 (1k, 0805) at 700,300 B3", "net VOUT: + R5 pin 2, - C1 pin 2",
                           "net Net-(C1-Pad1): renamed FB", "net Net-(R2-Pad2): + R5 pin 1, - R2 pin 2",
                           "lines: 2 added, 2 removed", "annotations: added \"VOUT\" at 770,310",
                           "annotations: added \"FB\" at 300,200", "annotations: removed \"VOUT\" at 580,110"}));
    // A net line's place holds the pins it names.
    EXPECT_EQ(c.Places()[1], QRect(QPoint(541, 100), QPoint(761, 320)));
}

TEST_F(ComparisonTest, EveryFieldOfAMatchedComponentAndEveryRecordKindHasItsLine)
{
    q01::Component u1 = Make({.name = "U1", .value = "LM358", .package = "SO8", .x = 200, .y = 200});
    u1.pins = {{.electricalType = 1, .number = "1", .name = "OUT", .side = q01::sideRight, .offsetUnits = 1},
               {.number = "2", .name = "IN", .side = q01::sideLeft, .offsetUnits = 1},
               {.electricalType = 5, .number = "8", .name = "V+", .side = q01::sideTop, .offsetUnits = 1}};
    q01::Component u1New = Make({.name = "U1",
                                 .value = "LM358",
                                 .package = "DIP8",
                                 .x = 200,
                                 .y = 200,
                                 .rotation = 1,
                                 .flip = true,
                                 .width = 3});
    u1New.pins = {{.electricalType = 1,
                   .number = "1",
                   .name = std::string(1, char('Q' | 0x80)),
                   .side = q01::sideRight,
                   .offsetUnits = 1},
                  {.wedge = true, .number = "2", .name = "IN", .side = q01::sideLeft, .offsetUnits = 1},
                  {.number = "10", .name = "CLK", .side = q01::sideLeft, .offsetUnits = 2}};
    u1New.designationY = 170;
    u1New.pinStyle = 1;
    q01::Component u7 = Make({.name = "U7", .x = 600, .y = 300});
    u7.parts = {{0, 2, 2}, {0, 2, 2}};
    u7.partNumber = 2;
    q01::Component u7New = u7;
    u7New.anchorX = 610;
    u7New.designationX = u7New.valueX = 610;
    q01::Component r3 = Make({.name = "R3", .x = 800});
    q01::Component r3New = r3;
    r3New.parts[0].pictureIndex = q01::AddPicture(r3New, q01::PartPicture(1, {"#"}));
    q01::Component r4 = Make({.name = "R4", .x = 900});
    q01::Bytes r4New = q01::ComponentRecord(r4);
    r4New[16] = 0x55;  // a byte nothing reads

    const TComparison c =
        Compare(Cat({q01::Header(0), q01::ComponentRecord(u1), q01::ComponentRecord(u7), q01::ComponentRecord(r3),
                     q01::ComponentRecord(r4), q01::Annotation(50, 60, 1, "OLD NOTE"),
                     q01::DocBox(700, 500, 900, 600, {"REV A"}), q01::Marker(30, 40, 3)}),
                Cat({q01::Header(0), q01::ComponentRecord(u1New), q01::ComponentRecord(u7New),
                     q01::ComponentRecord(r3New), r4New, q01::Annotation(50, 60, 1, "NEW NOTE"),
                     q01::DocBox(700, 500, 900, 600, {"REV B"}), q01::Junction(10, 10), q01::Header(0)}));
    EXPECT_EQ(c.Report(), (QStringList{
                              "changed R3: body",
                              "changed R4: other record bytes",
                              "changed U1: Package \"SO8\" -> \"DIP8\"",
                              "changed U1: Angle 0 -> 90",
                              "changed U1: Mirrored no -> yes",
                              QString::fromUtf8("changed U1: pin 1 \"OUT\" OUT R1 -> \"Q\u0305\" OUT R1"),
                              "changed U1: pin 2 \"IN\" IN L1 -> \"IN\" IN L1 wedge",
                              "changed U1: pin 8 removed: \"V+\" Pwr T1",
                              "changed U1: pin 10 added: \"CLK\" IN L2",
                              "changed U1: designation offset 0,-20 -> 0,-30",
                              "changed U1: pin style 0 -> 1",
                              "changed U1: body 21x21 -> 31x21",
                              "changed U7:B: position 600,300 B3 -> 610,300 B3",
                              "junctions: 1 added",
                              "annotations: added \"NEW NOTE\" at 50,60",
                              "annotations: removed \"OLD NOTE\" at 50,60",
                              "document boxes: 1 added, 1 removed",
                              "markers: 1 removed",
                              "headers: 1 added",
                          }));
}

TEST_F(ComparisonTest, PagesOfDifferentSizesGiveAPictureOfTheLargerAndAPageLine)
{
    const TComparison c = Compare(q01::Header(0), q01::Header(1));
    EXPECT_EQ(c.Report(), QStringList{"page: A4 -> A3"});
    const QImage& p = c.Picture();
    ASSERT_EQ(p.size(), QSize(1550, 1110));
    EXPECT_EQ(p.pixel(5, 5), grey);         // both frames
    EXPECT_EQ(p.pixel(500, 715), red);      // the A4 frame's bottom edge lies inside the A3 page
    EXPECT_EQ(p.pixel(1540, 1100), green);  // the A3 frame's corner
    EXPECT_EQ(p.pixel(1300, 500), white);

    TDrawing unnamed, none;
    Load(unnamed, q01::Header(10));
    EXPECT_EQ(TComparison::Differences(a, unnamed), QStringList{"page: A4 -> 4500x3200"});
    EXPECT_EQ(TComparison::Differences(none, a), QStringList{"page: none -> A4"});
}

// ----------------------------------------------------------- the command

// Runs with no display: the command needs none.
class DiffCommandTest : public ProgramRunTest {
protected:
    RunResult Run(const QStringList& args) { return ProgramRunTest::Run(args, WithoutDisplay); }
};

TEST_F(DiffCommandTest, WritesThePictureAndPrintsTheChangesWithTheStatusOfCmp)
{
    const q01::Bytes drawing = Cat({q01::Header(0), Part({}), q01::Line(100, 400, 300, 400, 1)});
    Write("old.q01", drawing);
    Write("copy.q01", drawing);
    RunResult r = Run({"--diff", "old.q01", "copy.q01", "same.png"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    const QImage same(Path("same.png"));
    ASSERT_EQ(same.size(), QSize(1110, 720));
    int greys = 0;
    for (int y = 0; y < same.height(); ++y)
        for (int x = 0; x < same.width(); ++x) {
            const QRgb pixel = same.pixel(x, y);
            ASSERT_TRUE(pixel == white || pixel == grey) << x << "," << y;
            greys += pixel == grey;
        }
    EXPECT_GT(greys, 5000);

    Write("new.q01", Cat({q01::Header(0), Part({.value = "12k"}), q01::Line(100, 410, 300, 410, 1)}));
    r = Run({"--Diff", "old.q01", "new.q01", "changes.png"});
    EXPECT_EQ(r.status, 1) << r.err.toStdString();
    EXPECT_EQ(r.out, "changed R1: Value \"10k\" -> \"12k\"\nlines: 1 added, 1 removed\n");
    const QImage changes(Path("changes.png"));
    EXPECT_EQ(changes.pixel(200, 400), red);
    EXPECT_EQ(changes.pixel(200, 410), green);
    EXPECT_FALSE(QFileInfo::exists(Path("tracery.ini")));  // the settings file is read, never written
}

TEST_F(DiffCommandTest, UnreadableDrawingsAnUnwritablePictureAndWrongArgumentsExitTwo)
{
    Write("a.q01", q01::Header(0));
    q01::Bytes unknown(16, 0);
    unknown[0] = 0x99;
    Write("typed.q01", Cat({q01::Header(0), unknown}));
    Write("short.q01", Cat({q01::Header(0), q01::Blank(0x30, 16)}));
    QDir(dir.path()).mkdir("folder");
    const struct {
        QStringList args;
        QString err;
    } cases[] = {
        {{"--diff", "a.q01", "missing.q01", "out.png"}, "File 'missing.q01' not found\n"},
        {{"--diff", "folder", "a.q01", "out.png"}, "File 'folder' is not a regular file\n"},
        {{"--diff", "typed.q01", "a.q01", "out.png"},
         "File 'typed.q01' cannot be read to its end: 00000010 : Type 99\n"},
        {{"--diff", "a.q01", "short.q01", "out.png"},
         "File 'short.q01' cannot be read to its end: the record at 00000010 (type 30) is cut short by the end of the "
         "file\n"},
        {{"--diff", "a.q01", "a.q01", "folder"}, "Cannot create file folder\n"},
        {{"--diff", "a.q01", "a.q01"}, "usage: tracery --diff OLD.q01 NEW.q01 OUT.png\n"},
        {{"--diff", "a.q01", "a.q01", "out.png", "--png"}, "usage: tracery --diff OLD.q01 NEW.q01 OUT.png\n"},
    };
    for (const auto& c : cases) {
        const RunResult r = Run(c.args);
        EXPECT_EQ(r.status, 2) << c.args.join(' ').toStdString();
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "");
    }
    EXPECT_FALSE(QFileInfo::exists(Path("out.png")));
}

// ------------------------------------------------------------ the window

class CompareWindowTest : public MainWindowTest {
protected:
    void TearDown() override
    {
        form.reset();
        DestroyOtherWindows();
        MainWindowTest::TearDown();
    }
};

TEST_F(CompareWindowTest, CompareWithShowsThePictureOverTheViewAndTheChangesUntilEscapeOrTheNextLoad)
{
    const QString older =
        Write("old.q01", Cat({q01::Header(0), q01::Line(100, 400, 300, 400, 1), Part({.x = 600, .y = 300})}));
    const QString newer =
        Write("new.q01", Cat({q01::Header(1), q01::Line(100, 410, 300, 410, 1), Part({.x = 620, .y = 300})}));
    TForm1& f = Start({older});
    CreateOtherWindows();
    f.RepaintPage();
    const QImage page = f.Image1->Surface().Image().copy();
    const auto* file = qobject_cast<QMenu*>(f.MenuAction("miFileOpen")->parent());
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->actions().value(1)->text(), "Compare &With…");
    dialogs.OpenFiles.push_back(newer);
    f.MenuAction("miFileCompare")->trigger();
    EXPECT_EQ(dialogs.OpenFilters.last(), "Quorvid File (*.q01)");
    ASSERT_TRUE(f.Comparing());
    EXPECT_FALSE(f.ComparePanel1->isHidden());
    EXPECT_EQ(f.ComparePanel1->Lines(), (QStringList{"changed R1: position 600,300 B3 -> 620,300 B2",
                                                     "lines: 1 added, 1 removed", "page: A4 -> A3"}));
    // A change with a place is outlined on the view.
    emit f.ComparePanel1->lvChanges->itemClicked(f.ComparePanel1->lvChanges->item(0));
    EXPECT_EQ(f.Image1->Highlight(), QRect(QPoint(600, 300), QPoint(640, 320)));
    emit f.ComparePanel1->lvChanges->itemClicked(f.ComparePanel1->lvChanges->item(1));
    EXPECT_EQ(f.Image1->Highlight(), QRect(QPoint(600, 300), QPoint(640, 320)));

    // The view shows the picture, at actual size and reduced; the page itself is untouched.
    const QImage& overlay = f.Image1->Overlay();
    EXPECT_EQ(overlay.size(), QSize(1550, 1110));
    EXPECT_EQ(f.Image1->size(), QSize(1550, 1110));
    QImage view = f.Image1->grab(QRect(150, 395, 10, 20)).toImage();
    EXPECT_EQ(view.pixel(5, 5), red);
    EXPECT_EQ(view.pixel(5, 15), green);
    f.ScrollBox1->ZoomTo(50 * TPageImage::Percent);
    view = f.Image1->grab().toImage();
    EXPECT_EQ(view.size(), QSize(775, 555));
    EXPECT_EQ(view.pixel(770, 550), green);  // the A3 frame's corner, reduced
    EXPECT_EQ(view.pixel(2, 2), grey);
    EXPECT_EQ(f.Image1->Surface().Image(), page);

    // Escape leaves the comparison.
    QTest::keyClick(f.ScrollBox1, Qt::Key_Escape);
    EXPECT_FALSE(f.Comparing());
    EXPECT_TRUE(f.ComparePanel1->isHidden());
    EXPECT_TRUE(f.Image1->Overlay().isNull());
    EXPECT_EQ(f.Image1->size(), QSize(555, 360));

    // Against itself: no differences; the panel's close button, and loading
    // a drawing, leave it too.
    dialogs.OpenFiles.push_back(older);
    f.miFileCompareClick();
    EXPECT_EQ(f.ComparePanel1->Lines(), QStringList{"No differences"});
    f.ComparePanel1->btnClose->click();
    EXPECT_FALSE(f.Comparing());
    dialogs.OpenFiles.push_back(newer);
    f.miFileCompareClick();
    ASSERT_TRUE(f.Comparing());
    f.LoadDrawing(newer);
    EXPECT_FALSE(f.Comparing());
    EXPECT_TRUE(f.ComparePanel1->isHidden());
    EXPECT_TRUE(f.Image1->Overlay().isNull());

    // A drawing that cannot be read is not compared with.
    dialogs.OpenFiles.push_back(Path("missing.q01"));
    f.miFileCompareClick();
    EXPECT_FALSE(f.Comparing());
    EXPECT_EQ(dialogs.Messages.last(), "File '" + Path("missing.q01") + "' not found");
}
