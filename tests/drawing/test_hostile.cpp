// Hostile drawings: counts that claim far more than the file holds, files
// that ask for more raster memory than the budget, very large and tiny files,
// and the inputs that fuzzing found (tests/regressions/).
#include "AppFixture.h"
#include "app/Surface.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMenu>
#include <QWidget>
#include <cstdio>
#include <iostream>

#include "Q01Component.h"
#include "app/Recentfiles.h"
#include "app/Startup.h"
#include "drawing/Bitmap.h"
#include "drawing/Docbox.h"
#include "drawing/Header.h"
#include "drawing/Objectsettings.h"
#include "settings/Bitmapwin.h"
#include "settings/Junctionwin.h"
#include "settings/Quorvcolour.h"
#include "settings/Quorvfont.h"
#include "settings/Quorvline.h"
#include "settings/Valwin.h"

namespace {

using q01::Bytes;
using q01::Component;
using q01::ComponentPart;
using q01::operator+=;

// Resident memory of this process in KiB (0 where /proc is missing).
long ResidentKiB(const char* field = "VmRSS:")
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field)) return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLong();
    return 0;
}

// A component of the largest body (255 x 255 units: a 2631 x 2631 raster)
// without a picture: 80 bytes in the file.
Bytes LargestComponent(std::uint16_t x, std::uint16_t y)
{
    Component c;
    c.anchorX = x;
    c.anchorY = y;
    c.parts = {ComponentPart{0, 255, 255}};
    return q01::ComponentRecord(c);
}

constexpr std::uint64_t largestRaster = 4ull * 2631 * 2631;

// Lowers the raster budget for one test.
struct BudgetScope {
    explicit BudgetScope(std::uint64_t bytes) { Bitmap::SetRasterBudget(bytes); }
    ~BudgetScope() { Bitmap::SetRasterBudget(Bitmap::defaultRasterBudget); }
};

class HostileTest : public MainWindowTest {
protected:
    // The main window with every settings window, and no drawing yet.
    TForm1& StartWithWindows()
    {
        CreateOtherWindows();
        return Start({});
    }
    void TearDown() override
    {
        MainWindowTest::TearDown();
        DestroyOtherWindows();
    }
    QString Offset(std::size_t offset) { return QStringLiteral("%1").arg(offset, 8, 16, QLatin1Char('0')).toUpper(); }
};

}  // namespace

// ---------------------------------------------------------------------------
// Counts at their maximum

TEST_F(HostileTest, ComponentClaimingMaximumCountsInA64ByteRecordIsReportedAndNotRead)
{
    Bytes rec = q01::ComponentRecord(Component{});
    rec.resize(64);
    rec[44] = 255;  // parts
    rec[49] = 255;  // pins
    q01::PutU16(rec, 28, 65535);
    q01::PutU16(rec, 30, 65535);
    const QString path = Write("short.q01", Cat({q01::Header(0), rec}));
    TForm1& f = StartWithWindows();
    dialogs.Messages.clear();
    f.LoadDrawing(path);
    EXPECT_EQ(f.Objects.size(), 1u);  // the header
    EXPECT_EQ(dialogs.Messages,
              QStringList{"The record at 00000010 (type 70) is cut short by the end of the file; the drawing is "
                          "shown up to it."});
}

TEST(HostileRecords, ComponentClaimingMaximumCountsReadsOnlyWhatTheDataHolds)
{
    Bytes data = q01::ComponentRecord(Component{});
    data.resize(64 + 16);
    data[43] = 100;  // part 100 of 255
    data[44] = 255;
    data[49] = 255;
    q01::PutU16(data, 28, 65535);
    q01::PutU16(data, 30, 65535);
    const std::uint8_t* pos = data.data();
    Bitmap b(pos, data.data() + data.size());
    EXPECT_EQ(pos, data.data() + data.size());  // stopped at the end of the data
    EXPECT_EQ(b.GetPinCount(), 255);
    QStringList pins;
    b.ListPins(pins);
    ASSERT_EQ(pins.size(), 255);
    EXPECT_EQ(pins.first(), "L0       ''         IN");  // missing pin records read as zeros
    EXPECT_EQ(b.GetName(), "U1:\xA4");                  // 'A' + 99
    // Part 100's descriptor lies beyond the data: a one-pixel body.
    EXPECT_EQ(b.GetBodyImage().Width(), 81);
    EXPECT_FALSE(b.IsSimplified());
}

TEST(HostileRecords, DocBoxClaiming255BlocksInOneBlockKeepsItsHead)
{
    Bytes data = q01::DocBox(1, 2, 300, 200, {});
    data.resize(16);
    data[12] = 255;
    EXPECT_EQ(RecordLength(data.data(), data.size()), 16 + 16 * 255);
    const std::uint8_t* pos = data.data();
    DocBox box(pos, data.data() + data.size());
    EXPECT_EQ(pos, data.data() + 16);
    EXPECT_EQ(box.X2(), 300);
}

// ---------------------------------------------------------------------------
// The raster budget

TEST_F(HostileTest, ThousandLargestComponentsStayWithinTheBudgetAndSayHowManyWereSimplified)
{
    ASSERT_EQ(Bitmap::RasterBudget(), 1ull << 30);
    Bytes file = q01::Header(0);
    for (int i = 0; i < 1000; ++i) file += LargestComponent(std::uint16_t(100 + i), 100);
    ASSERT_EQ(file.size(), 16u + 1000 * 80);
    const QString path = Write("large.q01", file);
    TForm1& f = StartWithWindows();
    dialogs.Messages.clear();
    const long before = ResidentKiB();
    f.LoadDrawing(path);
    const long after = ResidentKiB();
    std::cout << "[ note ] 1000 largest components: resident memory " << before / 1024 << " MiB before the load, "
              << after / 1024 << " MiB after it (peak " << ResidentKiB("VmHWM:") / 1024 << " MiB)\n";

    const int full = int((1ull << 30) / largestRaster);  // 38
    ASSERT_EQ(f.Objects.size(), 1001u);
    EXPECT_EQ(Bitmap::RasterBytesInUse(), std::uint64_t(full) * largestRaster);
    EXPECT_EQ(dialogs.Messages, QStringList{QString::number(1000 - full) +
                                            " components were too large to draw in full and are shown as outlines."});
    auto* first = static_cast<Bitmap*>(f.Objects[1].get());
    auto* last = static_cast<Bitmap*>(f.Objects[1000].get());
    EXPECT_FALSE(first->IsSimplified());
    EXPECT_TRUE(last->IsSimplified());
    EXPECT_EQ(last->GetBodyImage().Width(), 0);
    EXPECT_EQ(last->GetImageWidth(), 2631);
    EXPECT_EQ(last->GetImageHeight(), 2631);
    // Placement and queries are those of a full component.
    bool valid = false;
    EXPECT_EQ(last->GetRect(valid), (TRect{1099, 100, 1099 + 2551, 100 + 2551}));
    EXPECT_TRUE(valid);
    f.FormMouseMove(1100, 101);
    EXPECT_EQ(f.CurrentBitmap, first);

    // Closing the drawing gives the memory back; the next load counts afresh.
    f.LoadDrawing(Write("one.q01", Cat({q01::Header(0), LargestComponent(10, 10)})));
    EXPECT_EQ(Bitmap::RasterBytesInUse(), largestRaster);
    EXPECT_EQ(dialogs.Messages.size(), 1);
}

TEST_F(HostileTest, OneSimplifiedComponentIsToldInTheSingular)
{
    BudgetScope budget(largestRaster + 1000);
    const QString path = Write("two.q01", Cat({q01::Header(0), LargestComponent(10, 10), LargestComponent(20, 20)}));
    TForm1& f = StartWithWindows();
    dialogs.Messages.clear();
    f.LoadDrawing(path);
    EXPECT_EQ(dialogs.Messages, QStringList{"1 component was too large to draw in full and is shown as an outline."});
}

TEST_F(HostileTest, RealisticDrawingNeverReachesTheBudget)
{
    TForm1& f = StartWithWindows();
    dialogs.Messages.clear();
    f.LoadDrawing(QStringLiteral(TRACERY_SOURCE_DIR "/samples/amp.q01"));
    EXPECT_GT(f.Objects.size(), 10u);
    EXPECT_TRUE(dialogs.Messages.isEmpty());
    EXPECT_LT(Bitmap::RasterBytesInUse(), Bitmap::RasterBudget() / 100);
}

namespace {
class FakeSettings : public IBitmapSettings {
public:
    bool MasterVisible() const override { return true; }
    bool DesigVisible() const override { return true; }
    bool ValueVisible() const override { return false; }
    bool PinNumVisible() const override { return true; }
    bool PinStrVisible() const override { return true; }
    TFont DesigFont() const override { return TFont{QStringLiteral("DejaVu Sans"), 10, clBlack}; }
    TFont ValueFont() const override { return DesigFont(); }
    TFont PinNumFont() const override { return DesigFont(); }
    TFont PinStrFont() const override { return DesigFont(); }
};
}  // namespace

TEST(HostileRecords, SimplifiedComponentDrawsItsTextAndBodyOutlineOnly)
{
    FakeSettings settings;
    ObjectSettings().Bitmap = &settings;
    Component c;
    c.designation = "U9";
    c.anchorX = 100;
    c.anchorY = 60;
    c.designationX = 10;
    c.designationY = 10;
    c.rotation = 1;
    c.parts = {ComponentPart{0, 3, 2}};  // 31 x 21, turned: 21 wide, 31 high on the page
    q01::ComponentPin pin;
    pin.number = "1";
    pin.name = "IN";
    c.pins = {pin};
    const Bytes data = q01::ComponentRecord(c);

    auto build = [&] {
        const std::uint8_t* pos = data.data();
        return std::make_unique<Bitmap>(pos, data.data() + data.size());
    };
    const auto full = build();
    std::unique_ptr<Bitmap> simple;
    {
        BudgetScope none(0);
        simple = build();
    }
    ASSERT_TRUE(simple->IsSimplified());
    bool valid = false;
    EXPECT_EQ(simple->GetRect(valid), full->GetRect(valid));
    EXPECT_EQ(simple->GetRotation(), 1);

    TSurface page(300, 200);
    page.Clear(clWhite);
    page.Pen = TPen{clRed, psDash, 3, pmCopy};
    simple->Draw(page);
    EXPECT_EQ(page.Pen, (TPen{clRed, psDash, 3, pmCopy}));  // the drawing state goes on unchanged

    // Exactly the designation and the one-pixel body border.
    TSurface expected(300, 200);
    expected.Clear(clWhite);
    expected.Font = settings.DesigFont();
    expected.Brush.Style = bsClear;
    expected.TextOut(10, 10, "U9");
    const TRect r = full->GetRect(valid);
    expected.Pen = TPen{Bitmap::inkColour, psSolid, 1, pmCopy};
    expected.Rectangle(r.Left, r.Top, r.Right, r.Bottom);
    EXPECT_TRUE(page.Image() == expected.Image());
    EXPECT_EQ(page.Pixel(r.Left, r.Top), Bitmap::inkColour);
    EXPECT_EQ(page.Pixel(r.Right - 1, r.Bottom - 1), Bitmap::inkColour);
    EXPECT_EQ(r.Right - r.Left, 21);
    ObjectSettings().Bitmap = nullptr;
}

// ---------------------------------------------------------------------------
// Large and tiny files

TEST_F(HostileTest, FiftyMegabytesOfLineRecordsLoad)
{
    constexpr std::size_t count = 50u * 1024 * 1024 / 16;
    Bytes file;
    file.reserve(16 * count + 16);
    file += q01::Header(1);
    for (std::size_t i = 0; i < count; ++i) {
        const auto x = std::uint16_t(20 + i % 1000), y = std::uint16_t(20 + (i / 1000) % 650);
        file += q01::Line(x, y, std::uint16_t(x + 8), std::uint16_t(y + 3), std::uint8_t(1 + i % 5));
    }
    const QString path = Write("lines.q01", file);
    file = Bytes();
    TForm1& f = StartWithWindows();
    dialogs.Messages.clear();
    QElapsedTimer timer;
    timer.start();
    f.LoadDrawing(path);
    std::cout << "[ note ] 50 MB of line records (" << count << "): loaded and painted in " << timer.elapsed()
              << " ms, resident memory " << ResidentKiB() / 1024 << " MiB\n";
    EXPECT_EQ(f.Objects.size(), count + 1);
    EXPECT_TRUE(dialogs.Messages.isEmpty());
    EXPECT_EQ(f.Image1->width(), 1550);  // the header's A3 page
    f.ClearObjects();                    // in one pass: erasing from the front one by one would not finish
}

TEST_F(HostileTest, EmptyFileAndEveryOneByteFileLoadWithoutObjects)
{
    TForm1& f = StartWithWindows();
    dialogs.Messages.clear();
    f.LoadDrawing(Write("empty.q01", {}));
    EXPECT_TRUE(f.Objects.empty());
    EXPECT_TRUE(dialogs.Messages.isEmpty());
    EXPECT_EQ(ApplicationTitle(), "empty.q01");

    for (int type = 0; type < 256; ++type) {
        dialogs.Messages.clear();
        f.LoadDrawing(Write("one.q01", Bytes{std::uint8_t(type)}));
        EXPECT_TRUE(f.Objects.empty()) << type;
        const QString hex = QStringLiteral("%1").arg(type, 2, 16, QLatin1Char('0')).toUpper();
        const bool record = type % 16 == 0 && type <= 0x70;
        EXPECT_EQ(dialogs.Messages, QStringList{record ? "The record at 00000000 (type " + hex +
                                                             ") is cut short by the end of the file; the drawing "
                                                             "is shown up to it."
                                                       : "00000000 : Type " + hex})
            << type;
    }
}

// ---------------------------------------------------------------------------
// Inputs found by fuzzing: each loads, draws and exports without a fault.

TEST_F(HostileTest, FuzzingRegressionsLoadDrawAndExport)
{
    TForm1& f = StartWithWindows();
    f.ExportMode = true;
    BudgetScope budget(64u << 20);  // as the fuzz target runs
    int files = 0;
    QDirIterator it(QStringLiteral(TRACERY_SOURCE_DIR "/tests/regressions/drawing"), QDir::Files);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString path = Path("r.q01");
        QFile::remove(path);
        ASSERT_TRUE(QFile::copy(source, path));
        Guarded([&] { f.LoadDrawing(path); });
        for (const auto& object : f.Objects) {
            if (!object->IsClass("Bitmap")) continue;
            auto* b = static_cast<Bitmap*>(object.get());
            QStringList pins;
            b->ListPins(pins);
            EXPECT_EQ(pins.size(), b->GetPinCount()) << source.toStdString();
        }
        ++files;
    }
    EXPECT_GT(files, 0);
}

TEST_F(HostileTest, WindowPlacedFarBeyondTheDesktopKeepsAWorkingGeometry)
{
    WriteIni("[frmLineData]\nLeft=2147483647\nTop=-2147483648\nWidth=300\nHeight=200\n");
    QWidget owner;
    owner.setObjectName("frmLineData");
    auto* placement = new TValWin(&owner);
    placement->SetOnScreen(false);
    placement->SetRestoreSize(true);
    placement->open();
    // Off every screen: brought back onto one, at its edge.
    const QRect screen = TValWin::ScreenAreas().front();
    EXPECT_EQ(owner.pos(), QPoint(screen.left() + screen.width() - 300, screen.top()));
    EXPECT_EQ(owner.size(), QSize(300, 200));
    placement->close();
    EXPECT_TRUE(IniText().contains(QStringLiteral("Left=%1\nTop=%2\nWidth=300\nHeight=200\n")
                                       .arg(owner.pos().x())
                                       .arg(owner.pos().y())
                                       .toLatin1()));

    // Kept on the desktop, the same window lands at its right edge.
    placement->SetOnScreen(true);
    placement->open();
    EXPECT_EQ(owner.pos().x(), TValWin::iDesktopWidth - owner.frameGeometry().width());
    EXPECT_EQ(owner.pos().y(), 0);
}

TEST_F(HostileTest, FuzzingRegressionSettingsFilesReadWriteAndReadAgain)
{
    int files = 0;
    QDirIterator it(QStringLiteral(TRACERY_SOURCE_DIR "/tests/regressions/settings"), QDir::Files);
    while (it.hasNext()) {
        const QString source = it.next();
        QFile::remove(IniPath());
        ASSERT_TRUE(QFile::copy(source, IniPath()));
        QFile(IniPath()).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        for (int round = 0; round < 2; ++round) {
            QWidget owner, preview;
            owner.setObjectName("frmLineData");
            preview.setObjectName("frmPreview");
            auto* kept = new TValWin(&owner);
            auto* onScreen = new TValWin(&preview);
            kept->SetOnScreen(false);
            for (TValWin* v : {kept, onScreen}) {
                v->SetRestoreSize(true);
                v->open();
            }
            TfraFont fonts;
            fonts.SetSectionName("Font");
            TfraColour palette;
            palette.LoadSettings();
            TfraLine lines;
            lines.LoadSettings();
            TfrmJunction junction;
            TfrmBitmap bitmap;
            QMenu menu;
            TRecentFiles recent(&menu);
            Guarded([&] {
                fonts.SaveSettings();
                lines.SaveSettings();
                junction.SaveSettings();
                bitmap.btnSaveClick();
                recent.Save();
                kept->close();
                onScreen->close();
            });
        }
        EXPECT_TRUE(dialogs.Errors.isEmpty()) << source.toStdString();
        ++files;
    }
    EXPECT_GT(files, 0);
}

// ---------------------------------------------------------------------------
// Many headers: each paints the whole page, the last one over all before it.

namespace {
// Strokes the page's border with its own pen: shows whether anything before
// the last header leaks through.
class BorderObject : public QuorvidObject {
public:
    explicit BorderObject(TPen pen) : pen_(pen) {}
    using QuorvidObject::Draw;
    void Draw(TDrawTarget& canvas, const TDrawContext&) override
    {
        canvas.Pen = pen_;
        canvas.Brush = TBrush{clRed, bsSolid};
        canvas.Rectangle(0, 0, canvas.Width(), canvas.Height());
        canvas.MoveTo(5, 7);
    }

private:
    TPen pen_;
};

std::unique_ptr<QuorvidObject> HeaderObject(std::uint8_t code)
{
    const Bytes record = q01::Header(code);
    const std::uint8_t* pos = record.data();
    return std::make_unique<Header>(pos, record.data() + record.size());
}
}  // namespace

TEST(HostileRecords, ObjectsBeforeTheLastHeaderLeaveOnlyTheirDrawingState)
{
    for (const TPen before :
         {TPen{clBlue, psSolid, 1}, TPen{clBlue, psDash, 1}, TPen{clBlue, psDot, 3}, TPen{clBlue, psClear, 1}}) {
        TDrawing drawing;
        auto& objects = drawing.Objects();
        objects.push_back(HeaderObject(0));
        objects.push_back(std::make_unique<BorderObject>(TPen{clRed, psDashDot, 1}));
        objects.push_back(HeaderObject(0));
        objects.push_back(std::make_unique<BorderObject>(before));
        objects.push_back(HeaderObject(0));
        objects.push_back(std::make_unique<BorderObject>(TPen{clBlack, psDash, 1}));
        drawing.Page().SetSize(QSize(1110, 720));  // the page: 1110 x 720

        TSurface all(1110, 720), skipping(1110, 720);
        const TDrawContext context = drawing.Context(ObjectSettings());
        for (auto& object : objects) object->Draw(all, context);
        skipping.StepByStep = true;  // the same without caches
        drawing.Paint(skipping, ObjectSettings());
        const TSurface cached = skipping;
        skipping.StepByStep = false;
        drawing.Paint(skipping, ObjectSettings());

        EXPECT_TRUE(skipping.Image() == all.Image()) << before.Style;
        EXPECT_TRUE(cached.Image() == all.Image()) << before.Style;
        EXPECT_EQ(skipping.Pen, all.Pen);
        EXPECT_EQ(skipping.Brush, all.Brush);
        EXPECT_EQ(skipping.Font, all.Font);
        EXPECT_EQ(skipping.PenPos, all.PenPos);
    }
}

TEST_F(HostileTest, TenThousandLargestPageHeadersPaintAsOnePage)
{
    Bytes file;
    for (int i = 0; i < 10000; ++i) file += q01::Header(4);  // A0, 4460 x 3150
    const QString path = Write("headers.q01", file);
    TForm1& f = StartWithWindows();
    QElapsedTimer timer;
    timer.start();
    f.LoadDrawing(path);
    std::cout << "[ note ] 10000 A0 headers: loaded and painted in " << timer.elapsed() << " ms\n";
    EXPECT_EQ(f.Objects.size(), 10000u);
    EXPECT_EQ(f.Image1->width(), 4460);
}

TEST(HostileRecords, LinesRunningFarOffThePageStopWhereTheyLeaveItWithTheSamePixels)
{
    for (const TPen pen : {TPen{clBlack, psSolid, 1}, TPen{clBlack, psDashDot, 1}, TPen{clBlack, psSolid, 7}}) {
        TSurface small(100, 80), large(700, 500);
        for (TSurface* s : {&small, &large}) {
            s->Clear(clWhite);
            s->Pen = pen;
            s->Polyline({QPoint(10, 10), QPoint(650, 470), QPoint(90, 5), QPoint(-600, 70), QPoint(40, 60)});
        }
        EXPECT_TRUE(small.Image() == large.Image().copy(0, 0, 100, 80)) << pen.Style << " " << pen.Width;
    }
}
