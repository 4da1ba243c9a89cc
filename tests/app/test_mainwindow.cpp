// The main window: page sizes, the View menu, painting, pointer tracking and
// the recent-files entries.
#include "AppFixture.h"
#include "app/Surface.h"
#include "settings/Settingsmodel.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QStatusBar>
#include <QTest>

#include "Q01Component.h"
#include "app/Recentfiles.h"
#include "app/Startup.h"
#include "drawing/Header.h"

namespace {
q01::Bytes Part(std::uint16_t x, std::uint16_t y, int rotation, bool flip, const std::string& name = "U1",
                std::uint8_t w = 2, std::uint8_t h = 3)
{
    q01::Component c;
    c.designation = name;
    c.valueText = "VAL";
    c.packageText = "PKG";
    c.anchorX = x, c.anchorY = y;
    c.rotation = std::uint8_t(rotation);
    c.hFlip = flip;
    c.parts = {{0, w, h}};
    return q01::ComponentRecord(c);
}
}  // namespace

using MainViewTest = MainWindowTest;

TEST_F(MainViewTest, PageMenuSizesThePageImageAndAIsLeftAlone)
{
    TForm1& f = Start({Write("a.q01", q01::Header(0))});
    f.miViewPageClick(f.MenuAction("miPageA0"));
    EXPECT_EQ(f.Image1->Surface().Width(), 4460);
    EXPECT_EQ(f.Image1->height(), 3150);
    f.miViewPageClick(f.MenuAction("miPageA4"));
    EXPECT_EQ(f.Image1->width(), 1110);
    f.miViewPageClick(f.MenuAction("miPageA"));
    EXPECT_EQ(f.Image1->width(), 1110);
    EXPECT_EQ(f.Drawing.Page().Size, QSize(1110, 720));
}

TEST_F(MainViewTest, PageMenuEntriesAreInTheirOrder)
{
    TForm1& f = Start({Write("a.q01", {})});
    QStringList captions;
    for (QAction* a : f.MenuAction("miViewPage")->menu()->actions()) captions << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(captions, (QStringList{"A0", "A1", "A2", "A3", "A4", "-", "A", "B", "C", "D", "E"}));
}

TEST_F(MainViewTest, BackgroundIsPaintedAtOnceAndTheNextDrawingIsWhiteAgain)
{
    const QString a = Write("a.q01", q01::Header(0));
    TForm1& f = Start({a});
    dialogs.Colours.push_back(std::nullopt);
    f.miBackgroundClick();
    EXPECT_EQ(f.Image1->Surface().Pixel(500, 300), clWhite);
    dialogs.Colours.push_back(TColor(0x00FF00));
    f.miBackgroundClick();
    EXPECT_EQ(dialogs.ColourPresets.back(), clWhite);
    EXPECT_EQ(f.Image1->Surface().Pixel(500, 300), TColor(0x00FF00));
    f.LoadDrawing(a);
    EXPECT_EQ(f.Image1->Surface().Pixel(500, 300), clWhite);
}

TEST_F(MainViewTest, FontDialogIsPresetWithTheWindowCanvasFontAndKeepsItOnCancel)
{
    TForm1& f = Start({Write("a.q01", q01::Header(0))});
    const TFont before = f.CanvasFont;
    f.miFontClick();
    EXPECT_EQ(dialogs.FontPresets.back(), before);
    EXPECT_EQ(f.CanvasFont, before);
    dialogs.Fonts.push_back(MakeFont("Arial", 20, clRed));
    f.miFontClick();
    EXPECT_EQ(f.CanvasFont.Face, "Arial");
}

TEST_F(MainViewTest, LayoutSizeIsTheOuterSizeAndQueReportsItFrameIncluded)
{
    // The offscreen platform gives windows a frame of two pixels on each side.
    TForm1& f = Start({});
    f.show();
    QCoreApplication::processEvents();
    ASSERT_NE(f.frameGeometry().size(), f.size()) << "no frame to take into account";
    f.que1Click();
    EXPECT_EQ(dialogs.Messages, QStringList{"1117, 813"});
    // Fitted to a page, the window reports its new outer size.
    f.LoadDrawing(Write("a.q01", q01::Header(0)));
    f.que1Click();
    EXPECT_EQ(dialogs.Messages.last(),
              QString("%1, %2").arg(f.frameGeometry().width()).arg(f.frameGeometry().height()));
    EXPECT_NE(dialogs.Messages.last(), "1117, 813");
}

TEST_F(MainViewTest, StatusBarPanelsWriteInTheWindowsBoldBlueFont)
{
    TForm1& f = Start({});
    const QList<QLabel*> panels = f.StatusBar1->findChildren<QLabel*>();
    ASSERT_EQ(panels.size(), 14);  // the twelve, the zone and the find messages
    for (QLabel* panel : panels) {
        const QFont font = panel->font();
        EXPECT_EQ(font.family(), "MS Sans Serif");
        EXPECT_EQ(font.pixelSize(), 16);
        EXPECT_TRUE(font.bold());
        EXPECT_EQ(panel->palette().color(QPalette::WindowText), QColor(Qt::blue)) << panel->text().toStdString();
    }
}

TEST_F(MainViewTest, RepaintRequestsBeforeThePaintRunPaintOnce)
{
    TForm1& f = Start({Write("a.q01", q01::Header(0))});
    const int before = f.PaintCount();
    f.miRepaintClick();
    f.miRepaintClick();
    f.Invalidate();
    EXPECT_EQ(f.PaintCount(), before);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(f.PaintCount(), before + 1);
}

TEST_F(MainViewTest, ShowingAndScrollingThePageDoNotRedrawTheObjects)
{
    TForm1& f = Start({Write("a.q01", q01::Header(5))});  // B, larger than the window's view
    f.show();
    QCoreApplication::processEvents();
    const int before = f.PaintCount();
    f.Image1->update();
    f.Image1->repaint();
    QCoreApplication::processEvents();
    EXPECT_EQ(f.PaintCount(), before);
}

TEST_F(MainViewTest, PageLargerThanTheWorkAreaFitsTheWindowToTheWorkArea)
{
    TForm1& f = Start({Write("a0.q01", q01::Header(4))});
    const QRect work = f.screen()->availableGeometry();
    EXPECT_LE(f.width(), work.width());
    EXPECT_EQ(f.Image1->width(), 4460);
}

TEST_F(MainViewTest, WindowOfAPageLargerThanTheScreenFitsItsWorkAreaFrameAndStatusBarIncluded)
{
    for (const int code : {1, 4}) {  // A3 and A0
        TForm1 f({"tracery", Write("large.q01", q01::Header(std::uint8_t(code)))});
        f.show();
        f.FormShow();
        const QRect work = f.screen()->availableGeometry();
        // As large as the work area, and in it.
        EXPECT_EQ(f.frameGeometry(), work) << code;
        const QRect statusBar(f.StatusBar1->mapToGlobal(QPoint(0, 0)), f.StatusBar1->size());
        EXPECT_TRUE(work.contains(statusBar)) << code;
        EXPECT_EQ(f.Image1->Surface().Image().size(), code == 1 ? QSize(1550, 1110) : QSize(4460, 3150));
    }
}

TEST_F(MainViewTest, StatusBarLabelsShowTheirWholeTextInTheFontTheyAreShownIn)
{
    TForm1& f = Start({});
    f.show();
    QCoreApplication::processEvents();
    const int layoutWidths[] = {55, 55, 80, 55, 55, 55};
    int i = 0;
    for (const char* text : {"Name", "Value", "Package", "Angle", "H Flip", "V Flip"}) {
        QLabel* label = nullptr;
        for (QLabel* candidate : f.StatusBar1->findChildren<QLabel*>())
            if (candidate->text() == QLatin1String(text)) label = candidate;
        ASSERT_NE(label, nullptr) << text;
        // The text's ink as the font draws it on its own, and as the panel shows it.
        const auto inkColumns = [](const QImage& image) {
            int left = image.width(), right = -1;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (image.pixelColor(x, y) == QColor(Qt::blue))
                        left = std::min(left, x), right = std::max(right, x);
            return right - left + 1;
        };
        QImage alone(400, label->height(), QImage::Format_RGB32);
        alone.fill(Qt::white);
        {
            QPainter painter(&alone);
            painter.setFont(label->font());
            painter.setPen(Qt::blue);
            painter.drawText(alone.rect().adjusted(20, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, QLatin1String(text));
        }
        const QImage shown = label->grab(label->contentsRect()).toImage();
        EXPECT_EQ(inkColumns(shown), inkColumns(alone)) << text;
        // A panel its text fits keeps the layout's width.
        const int needed = label->sizeHint().width();
        EXPECT_EQ(label->width(), std::max(layoutWidths[i++], needed)) << text;
    }
}

TEST_F(MainViewTest, AboutNamesTheProgramItsVersionLicenceAndQt)
{
    TForm1& f = Start({});
    f.About1->trigger();
    EXPECT_EQ(dialogs.Messages, QStringList{QStringLiteral("Tracery " TRACERY_VERSION "\n"
                                                           "A viewer and printer for circuit drawings in Quorvid "
                                                           "drawing files (*.q01).\n"
                                                           "Free software under the MIT licence.\n"
                                                           "Qt ") +
                                            QLatin1String(qVersion())});
}

TEST_F(MainViewTest, ObjectsDrawInFileOrderOnThePage)
{
    CreateOtherWindows();
    const QString a = Write("a.q01", Cat({q01::Header(0), q01::Line(100, 100, 200, 100, 1), q01::Marker(150, 100, 6)}));
    TForm1& f = Start({a});
    // The marker's dot, drawn after the line, covers it.
    EXPECT_EQ(f.Image1->Surface().Pixel(148, 100), TColor(0x800080));
    EXPECT_EQ(f.Image1->Surface().Pixel(120, 100), clBlack);
    DestroyOtherWindows();
}

// ---------------------------------------------------------- pointer tracking

using PointerTest = MainWindowTest;

TEST_F(PointerTest, FirstComponentInFileOrderWinsAndEdgesCountAsInside)
{
    // U1 body (100, 200)..(121, 231); U2 overlaps it.
    TForm1& f =
        Start({Write("a.q01", Cat({q01::Header(0), Part(100, 200, 0, false, "U1"), Part(110, 210, 0, false, "U2")}))});
    f.FormMouseMove(115, 215);
    EXPECT_EQ(f.PanelText(1), "U1");
    f.FormMouseMove(121, 231);  // right and bottom edges
    EXPECT_EQ(f.PanelText(1), "U1");
    f.FormMouseMove(122, 231);
    EXPECT_EQ(f.PanelText(1), "U2");
    EXPECT_EQ(f.PanelText(3), "VAL");
    EXPECT_EQ(f.PanelText(5), "PKG");
    EXPECT_EQ(f.PanelText(7), "0");
    EXPECT_EQ(f.PanelText(9), "no");
    EXPECT_EQ(f.PanelText(11), "no");
    EXPECT_NE(f.CurrentBitmap, nullptr);
}

TEST_F(PointerTest, TurnedAndFlippedComponentShowsItsAngleAndFlips)
{
    TForm1& f = Start({Write("a.q01", Cat({q01::Header(0), Part(300, 300, 3, true), Part(500, 300, 2, true)}))});
    f.FormMouseMove(300, 300);
    EXPECT_EQ(f.PanelText(7), "270");
    EXPECT_EQ(f.PanelText(9), "yes");
    EXPECT_EQ(f.PanelText(11), "no");
    f.FormMouseMove(500, 300);  // a flipped half turn is kept as a top-bottom mirror
    EXPECT_EQ(f.PanelText(7), "0");
    EXPECT_EQ(f.PanelText(9), "no");
    EXPECT_EQ(f.PanelText(11), "yes");
}

TEST_F(PointerTest, AwayFromComponentsTheValuePanelsEmptyAndTheLabelsStay)
{
    TForm1& f = Start({Write("a.q01", Cat({q01::Header(0), q01::Line(0, 0, 50, 50, 1), Part(100, 200, 0, false)}))});
    f.CanvasPen = TPen{clBlue, psDot, 4, pmCopy};
    f.FormMouseMove(105, 205);
    EXPECT_EQ(f.PanelText(1), "U1");
    f.FormMouseMove(20, 20);
    for (int panel : {1, 3, 5, 7, 9, 11}) EXPECT_EQ(f.PanelText(panel), "") << panel;
    EXPECT_EQ(f.PanelText(0), "Name");
    EXPECT_EQ(f.PanelText(10), "V Flip");
    EXPECT_EQ(f.CurrentBitmap, nullptr);
    EXPECT_EQ(f.CanvasPen.Style, psSolid);
    EXPECT_EQ(f.CanvasPen.Colour, clRed);
    EXPECT_EQ(MainCanvasPen().Colour, clRed);
}

TEST_F(PointerTest, LoadingAnotherDrawingForgetsTheCurrentComponent)
{
    const QString a = Write("a.q01", Cat({q01::Header(0), Part(100, 200, 0, false)}));
    TForm1& f = Start({a});
    f.FormMouseMove(105, 205);
    ASSERT_NE(f.CurrentBitmap, nullptr);
    f.LoadDrawing(a);
    EXPECT_EQ(f.CurrentBitmap, nullptr);
}

// ------------------------------------------------------------- recent files

TEST_F(MainViewTest, ClickingARecentEntryLoadsThatDrawingWhichKeepsItsPlace)
{
    const QString a = Write("a.q01", q01::Header(0)), b = Write("b.q01", q01::Header(0)),
                  c = Write("c.q01", q01::Header(0));
    TForm1& f = Start({a, b, c});
    ASSERT_EQ(f.RecentFiles->Files(), (QStringList{b, a}));
    f.RecentFiles->Entries().at(1)->trigger();
    EXPECT_EQ(f.DrawingFileName, a);
    EXPECT_EQ(f.RecentFiles->Files(), (QStringList{c, b, a}));
}

TEST_F(MainViewTest, ExitStoresTheWindowPlacementAndTheRecentFiles)
{
    const QString a = Write("a.q01", q01::Header(0));
    TForm1& f = Start({a});
    f.move(40, 50);
    f.miFileExitClick();
    TIniFile ini(IniPath());
    EXPECT_EQ(ini.ReadString("Recent Files", "File1", ""), a);
    EXPECT_TRUE(ini.ValueExists("Form1", "Left"));
    EXPECT_TRUE(ini.ValueExists("Form1", "Top"));
}

// ------------------------------------------- inspector, preview and printing

#include <QLineEdit>
#include <QPointer>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>

#include "app/Preview.h"
#include "app/Quorvprint.h"
#include "drawing/Debugbmp.h"

class WindowsTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        CreateOtherWindows();
    }
    void TearDown() override
    {
        MainWindowTest::TearDown();
        DestroyOtherWindows();
        delete frmPreview;
    }
};

TEST_F(WindowsTest, ClickOverAComponentInspectsItAndElsewhereAsksForOneInTheStatusBar)
{
    TForm1& f = Start({Write("a.q01", Cat({q01::Header(0), Part(100, 200, 0, false, "U7")}))});
    QString inspected;
    dialogs.OnModal = [&](QDialog& d) { inspected = d.findChild<QLineEdit*>("leDesig")->text(); };
    f.FormMouseMove(10, 10);
    f.Image1Click();
    EXPECT_EQ(f.PanelText(TForm1::messagePanel), "Please click over a bitmap");
    f.FormMouseMove(110, 210);
    f.Image1Click();
    EXPECT_EQ(dialogs.ModalRuns, 1);
    EXPECT_EQ(inspected, "U7");
    EXPECT_EQ(f.PanelText(TForm1::messagePanel), "");
    // A drag with the left button that ends beside every component.
    QTest::mousePress(f.Image1, Qt::LeftButton, {}, QPoint(105, 205));
    QTest::mouseMove(f.Image1, QPoint(300, 400));
    QTest::mouseRelease(f.Image1, Qt::LeftButton, {}, QPoint(300, 400));
    EXPECT_EQ(f.PanelText(TForm1::messagePanel), "Please click over a bitmap");
    EXPECT_EQ(dialogs.ModalRuns, 1);
    EXPECT_TRUE(dialogs.AllTexts.isEmpty());
}

TEST_F(WindowsTest, InspectionTableIsWrittenAtExitNamedAfterTheCaption)
{
    const QString old = QDir::currentPath();
    QDir::setCurrent(dir.path());
    TForm1& f = Start({Write("amp.q01", Cat({q01::Header(0), Part(100, 200, 0, false, "U7")}))});
    dialogs.OnModal = [](QDialog& d) { d.findChild<QPushButton*>("btnOk")->click(); };
    f.FormMouseMove(110, 210);
    f.Image1Click();
    f.close();
    QDir::setCurrent(old);
    EXPECT_EQ(ReadAll(Path("amp.csv")),
              "Name,Value,Package,Strange,\"H Flip\",\"V Flip\",Angle,Rows,Columns,Comments\r\n"
              "U7,VAL,PKG,0,,,0,21,31,OK\r\n");
}

TEST_F(WindowsTest, PreviewIsHalfThePageImage)
{
    TForm1& f = Start({Write("a.q01", q01::Header(0))});
    f.miPreviewClick();
    ASSERT_NE(frmPreview, nullptr);
    EXPECT_EQ(frmPreview->Picture().Width(), 555);
    EXPECT_EQ(frmPreview->Picture().Height(), 360);
    QPointer<TfrmPreview> first = frmPreview;
    f.miPreviewClick();
    EXPECT_TRUE(first.isNull());  // the second preview replaced the first
    EXPECT_NE(frmPreview, nullptr);
}

TEST_F(WindowsTest, PrintGoesLandscapeToThePrinterChosenInThePrintDialog)
{
    TForm1& f = Start({Write("amp.q01", q01::Header(0))});
    f.miFilePrintClick();  // cancelled: nothing printed
    const QString pdf = Path("out.pdf");
    f.Printer().setOutputFormat(QPrinter::PdfFormat);
    f.Printer().setOutputFileName(pdf);
    EXPECT_FALSE(QFileInfo::exists(pdf));
    dialogs.PrintAnswers.push_back(true);
    f.miFilePrintClick();
    ASSERT_TRUE(QFileInfo::exists(pdf));
    EXPECT_EQ(frmQuorvPrint->Canvas().Width(), 1110);
    QProcess info;
    info.start("pdfinfo", {pdf});
    ASSERT_TRUE(info.waitForFinished(30000));
    const QString text = QString::fromLatin1(info.readAllStandardOutput());
    EXPECT_TRUE(text.contains(QRegularExpression("Title:\\s+amp.q01"))) << text.toStdString();
    const auto size = QRegularExpression("Page size:\\s+([\\d.]+) x ([\\d.]+)").match(text);
    ASSERT_TRUE(size.hasMatch()) << text.toStdString();
    EXPECT_GT(size.captured(1).toDouble(), size.captured(2).toDouble()) << "landscape";
}

#include <QCheckBox>
#include <QSpinBox>

#include "settings/Annotatewin.h"
#include "settings/Bitmapwin.h"
#include "settings/Junctionwin.h"
#include "settings/Linechioce.h"
#include "settings/Linedatawin.h"
#include "settings/Quorvline.h"

TEST_F(WindowsTest, SettingsChangesShowInThePageAtOnce)
{
    TForm1& f = Start({Write("a.q01", Cat({q01::Header(0), q01::Line(100, 100, 200, 100, 1), q01::Junction(300, 300),
                                           Part(500, 300, 0, false)}))});
    TSurface& page = f.Image1->Surface();
    EXPECT_EQ(page.Pixel(150, 100), clBlack);

    // A new width for line type 1 redraws the line at once.
    frmLineData->fraLine1->lcTypeClick(frmLineData->fraLine1->lcType1);
    frmLineData->fraLine1->udWidth->setValue(5);
    EXPECT_EQ(page.Pixel(150, 102), clBlack);

    // Visible switches hide their kind at once.
    frmLineData->cbVisible->setChecked(false);
    EXPECT_EQ(page.Pixel(150, 100), clWhite);
    frmBitmap->cbMaster->setChecked(false);
    EXPECT_EQ(page.Pixel(500, 300), clWhite);
    frmBitmap->cbMaster->setChecked(true);
    EXPECT_NE(page.Pixel(500, 300), clWhite);

    // A larger junction diameter shows at once.
    frmJunction->udDiameter->setValue(10);
    EXPECT_NE(page.Pixel(292, 300), clWhite);
}

#include <QRadioButton>
#include <QTest>

namespace {
// Counts the paint events a widget receives.
class TPaintCounter : public QObject {
public:
    explicit TPaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int Count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) ++Count;
        return false;
    }
};
}  // namespace

TEST_F(WindowsTest, SettingsChangeReachesThePageImageOnTheScreen)
{
    TForm1& f = Start({Write("a.q01", Cat({q01::Header(0), q01::Line(100, 100, 200, 100, 1)}))});
    f.show();
    QCoreApplication::processEvents();
    const TPaintCounter counter(f.Image1);
    TfraLine& line = *frmLineData->fraLine1;
    line.lcTypeClick(line.lcType1);
    // A click on a line style redraws the page at once: "Clear" hides the line.
    line.lcStyle5->rb->click();
    EXPECT_EQ(f.Image1->Surface().Pixel(150, 100), clWhite);
    line.lcStyle0->rb->click();
    EXPECT_EQ(f.Image1->Surface().Pixel(150, 100), clBlack);
    // ... and the widget shows it.
    QCoreApplication::processEvents();
    EXPECT_GE(counter.Count, 1);
    EXPECT_EQ(f.Image1->grab().toImage().convertToFormat(QImage::Format_RGB32), f.Image1->Surface().Image());
}

TEST_F(WindowsTest, LeftButtonReleasedOverAComponentInspectsItAndRightClicksAreIgnored)
{
    TForm1& f = Start({Write("a.q01", Cat({q01::Header(0), Part(100, 200, 0, false, "U7")}))});
    f.show();
    QCoreApplication::processEvents();
    QString inspected;
    dialogs.OnModal = [&](QDialog& d) { inspected = d.findChild<QLineEdit*>("leDesig")->text(); };
    QTest::mouseMove(f.Image1, QPoint(110, 210));
    ASSERT_NE(f.CurrentBitmap, nullptr);
    QTest::mouseClick(f.Image1, Qt::RightButton, {}, QPoint(110, 210));
    EXPECT_EQ(dialogs.ModalRuns, 0);
    EXPECT_TRUE(dialogs.Messages.isEmpty());
    QTest::mouseClick(f.Image1, Qt::LeftButton, {}, QPoint(110, 210));
    EXPECT_EQ(dialogs.ModalRuns, 1);
    EXPECT_EQ(inspected, "U7");
}

TEST_F(WindowsTest, LineFromBeyondX32767ReachesThePage)
{
    // Coordinates are unsigned: x = 60000 is far right of the page, not left of it.
    TForm1& f = Start({Write("a.q01", Cat({q01::Header(0), q01::Line(60000, 300, 0, 300, 1)}))});
    const TSurface& page = f.Image1->Surface();
    for (int x = 1; x < 1110; ++x) EXPECT_EQ(page.Pixel(x, 300), clBlack) << x;
    EXPECT_NE(page.Pixel(0, 300), clBlack);  // the end pixel is left out
    for (int x = 0; x < 1110; ++x) {
        EXPECT_NE(page.Pixel(x, 299), clBlack) << x;
        EXPECT_NE(page.Pixel(x, 301), clBlack) << x;
    }
}

TEST_F(MainViewTest, ExportSavesThePageByTheChosenTypeAndAsksBeforeOverwriting)
{
    TForm1& f = Start({Write("a.q01", q01::Header(0))});
    dialogs.SaveFiles = {Path("page.svg"), Path("page.png"), Path("page.txt"), Path("page.png")};
    dialogs.YesNo = {false};
    f.miFileExportClick();
    f.miFileExportClick();
    const QByteArray svg = ReadAll(Path("page.svg"));
    EXPECT_TRUE(svg.contains("<svg ") && svg.contains("viewBox=\"0 0 1110 720\"")) << svg.left(300).toStdString();
    EXPECT_TRUE(QImage(Path("page.png")).convertToFormat(QImage::Format_RGB32) ==
                f.Image1->Surface().Image().convertToFormat(QImage::Format_RGB32));
    f.miFileExportClick();  // not a type it writes
    const QByteArray png = ReadAll(Path("page.png"));
    f.miFileExportClick();  // the existing picture is kept
    EXPECT_EQ(ReadAll(Path("page.png")), png);
    EXPECT_EQ(
        dialogs.AllTexts,
        (QStringList{QStringLiteral("'%1' is not the name of a .png, .svg, .pdf, .kicad_sch or .sch file; nothing was "
                                    "exported.")
                         .arg(Path("page.txt")),
                     QStringLiteral("Overwrite existing file '%1' ?").arg(Path("page.png"))}));
}
