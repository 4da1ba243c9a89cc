// Printing: the fit-to-page arithmetic, and a real page printed to PDF
// through the print window: landscape, titled after the drawing, the picture
// filling the printable width.
#include <gtest/gtest.h>

#include <QImage>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "AppFixture.h"
#include "app/Quorvprint.h"
#include "app/Surface.h"
#include "base/Errors.h"
#include "drawing/Header.h"
#include "exports/Paper.h"

namespace {

// Output of a poppler tool, or nothing when it is not installed.
std::optional<QString> RunTool(const QString& tool, const QStringList& arguments)
{
    if (QStandardPaths::findExecutable(tool).isEmpty()) return std::nullopt;
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(-1) || process.exitCode() != 0) return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

}  // namespace

TEST(FitToPage, ImageTouchesTheFullPageHeightOrWidth)
{
    EXPECT_EQ(FitToPage(700, 1000, 9000, 6000), QRect(0, 0, 4200, 6000));  // narrower than the page
    EXPECT_EQ(FitToPage(1080, 716, 9000, 6000), QRect(0, 0, 9000, 5967));  // 5966.67 rounded
    EXPECT_EQ(FitToPage(3, 2, 300, 200), QRect(0, 0, 300, 200));           // width equal: full width
    EXPECT_EQ(FitToPage(1, 2, 100, 101), QRect(0, 0, 51, 101));            // 50.5 rounds up
    EXPECT_TRUE(FitToPage(0, 716, 9000, 6000).isEmpty());
}

TEST(PrintWindow, StartsWithA1080By716PageImage)
{
    TfrmQuorvPrint window;
    EXPECT_EQ(window.objectName(), "frmQuorvPrint");
    EXPECT_EQ(window.windowTitle(), "frmPrint");
    EXPECT_EQ(frmQuorvPrint, &window);
    EXPECT_EQ(QSize(window.Canvas().Width(), window.Canvas().Height()), QSize(1080, 716));
    EXPECT_FALSE(window.isVisible());
}

TEST(PrintWindow, PrintsOneLandscapePageFilledToThePrintableWidth)
{
    QTemporaryDir dir;
    const QString pdf = dir.filePath("amp.pdf");
    TfrmQuorvPrint window;
    window.SetPageSize(1110, 720);
    window.Canvas().Clear(clBlack);

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    ASSERT_TRUE(window.PrintDrawing("/drawings/amp.q01", printer));
    // 1110 x 720 is wider than any landscape paper: the full printable width.
    const QRect fitted = FitToPage(1110, 720, printer.width(), printer.height());
    EXPECT_EQ(fitted.width(), printer.width());

    const std::optional<QString> info = RunTool("pdfinfo", {pdf});
    if (!info) GTEST_SKIP() << "pdfinfo not installed";
    EXPECT_TRUE(info->contains(QRegularExpression("Title: +amp\\.q01\\n"))) << info->toStdString();
    EXPECT_TRUE(info->contains(QRegularExpression("Pages: +1\\n")));
    const QRegularExpressionMatch size = QRegularExpression("Page size: +([\\d.]+) x ([\\d.]+) pts").match(*info);
    ASSERT_TRUE(size.hasMatch());
    EXPECT_GT(size.captured(1).toDouble(), size.captured(2).toDouble()) << "landscape";

    // At 20 dpi the black picture spans the printable width from its left edge.
    ASSERT_TRUE(RunTool("pdftoppm", {"-r", "20", "-png", "-singlefile", pdf, dir.filePath("page")}).has_value());
    const QImage page(dir.filePath("page.png"));
    ASSERT_FALSE(page.isNull());
    int left = page.width(), right = -1, top = page.height(), bottom = -1;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (qGray(page.pixel(x, y)) < 128) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    const QRect paint = printer.pageLayout().paintRectPixels(printer.resolution());
    const double scale = 20.0 / printer.resolution();
    // Pixels the picture's edges only partly cover are rendered dark too.
    EXPECT_NEAR(left, paint.left() * scale, 1.0);
    EXPECT_NEAR(top, paint.top() * scale, 1.0);
    EXPECT_NEAR(right - left + 1, paint.width() * scale, 2.0);
    EXPECT_NEAR(bottom - top + 1, fitted.height() * scale, 2.0);
}

TEST(PrintWindow, PrintsThePagePictureWithoutLoss)
{
    // Five colours in stripes and a box outline: a lossy picture would
    // hold many more.
    QTemporaryDir dir;
    const QString pdf = dir.filePath("amp.pdf");
    TfrmQuorvPrint window;
    window.SetPageSize(1110, 720);
    TSurface& page = window.Canvas();
    page.Clear(clWhite);
    const TColor colours[] = {0x0000FF, 0x00FF00, 0xFF0000, 0x808000};
    for (int k = 0; k < 40; ++k) {
        page.Brush.Colour = colours[k % 4];
        page.Brush.Style = bsSolid;
        page.FillRect(20 + 25 * k, 30, 30 + 25 * k, 690);
    }
    page.Pen.Colour = clBlack;
    page.Brush.Style = bsClear;
    page.Rectangle(5, 5, 1105, 715);

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    ASSERT_TRUE(window.PrintDrawing("/drawings/amp.q01", printer));
    const std::optional<QString> list = RunTool("pdfimages", {"-list", pdf});
    if (!list) GTEST_SKIP() << "pdfimages not installed";
    EXPECT_FALSE(list->contains("jpeg")) << list->toStdString();
    ASSERT_TRUE(RunTool("pdfimages", {"-png", pdf, dir.filePath("picture")}).has_value());
    const QImage printed(dir.filePath("picture-000.png"));
    ASSERT_EQ(printed.size(), QSize(1110, 720));
    EXPECT_TRUE(printed.convertToFormat(QImage::Format_RGB32) == page.Image().convertToFormat(QImage::Format_RGB32));
}

using PrintMenuTest = MainWindowTest;

TEST_F(PrintMenuTest, PrintThatCannotStartShowsTheErrorBox)
{
    const QString amp = Write("amp.q01", q01::Header(0));
    TForm1& f = Start({amp});
    TfrmQuorvPrint window;
    f.Printer().setOutputFormat(QPrinter::PdfFormat);
    f.Printer().setOutputFileName(amp + "/amp.pdf");  // below a file: cannot be opened
    dialogs.PrintAnswers.push_back(true);
    f.miFilePrintClick();
    EXPECT_EQ(dialogs.Errors,
              QStringList{"Cannot print 'amp.q01': the print file '" + amp + "/amp.pdf' cannot be written."});
}

TEST(Paper, EachPageSizeGoesOnThePaperItIsNamedAfterCentredOnWholePagePixels)
{
    QStringList papers;
    for (int index = 0; index < PageSizeCount; ++index) {
        const TPaper paper = PaperFor(GetPageSize(index));
        papers << QStringLiteral("%1 %2 x %3 at %4, %5")
                      .arg(paper.Name.isEmpty() ? QStringLiteral("own") : paper.Name)
                      .arg(paper.Points.width(), 0, 'f', 2)
                      .arg(paper.Points.height(), 0, 'f', 2)
                      .arg(paper.PageCorner.x(), 0, 'f', 2)
                      .arg(paper.PageCorner.y(), 0, 'f', 2);
    }
    // ISO A in millimetres, ANSI B to E in inches; the page at 0.72 point a
    // pixel (A0: 4460 x 3150 pixels, 3211.2 x 2268 points).
    EXPECT_EQ(papers, (QStringList{"own 576.00 x 432.00 at 0.00, 0.00", "A4 841.89 x 595.28 at 21.60, 38.16",
                                   "A3 1190.55 x 841.89 at 37.44, 21.60", "A2 1683.78 x 1190.55 at 38.88, 30.24",
                                   "A1 2383.94 x 1683.78 at 58.32, 38.88", "A0 3370.39 x 2383.94 at 79.92, 58.32",
                                   "own 576.00 x 432.00 at 0.00, 0.00", "B 1224.00 x 792.00 at 270.00, 126.00",
                                   "C 1584.00 x 1224.00 at 252.00, 270.00", "D 2448.00 x 1584.00 at 504.00, 252.00",
                                   "E 3168.00 x 2448.00 at 432.00, 504.00", "own 3240.00 x 2304.00 at 0.00, 0.00"}))
        << papers.join(u'\n').toStdString();
}
