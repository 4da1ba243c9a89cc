// The preview: the half-size sampling of the page image, and the preview
// window that shows it.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include "FreshSettings.h"
#include "app/Preview.h"
#include "app/Surface.h"

namespace {

constexpr TColor Grey = 0x808080;
constexpr TColor Green = 0x00FF00;

QSize SizeOf(const TSurface& s) { return QSize(s.Width(), s.Height()); }

class PreviewWindow : public TFreshSettings {};

}  // namespace

TEST(PreviewImage, LastNonWhitePixelOfEachBlockWins)
{
    TSurface page(8, 2);
    page.SetPixel(1, 0, clBlack);  // block 0: only (x + 1, y)
    page.SetPixel(2, 0, clRed);    // block 1: (x, y) red, (x + 1, y + 1) black
    page.SetPixel(3, 1, clBlack);
    page.SetPixel(4, 1, clBlue);  // block 2: (x, y + 1) comes before (x + 1, y)
    page.SetPixel(5, 0, Green);
    const TSurface preview = PreviewImage(page);  // block 3 all white
    ASSERT_EQ(SizeOf(preview), QSize(4, 1));
    EXPECT_EQ(preview.Pixel(0, 0), clBlack);
    EXPECT_EQ(preview.Pixel(1, 0), clBlack);
    EXPECT_EQ(preview.Pixel(2, 0), Green);
    EXPECT_EQ(preview.Pixel(3, 0), clWhite);
}

TEST(PreviewImage, NonWhiteBackgroundIsCopied)
{
    TSurface page(1110, 720);
    page.Clear(Grey);
    page.SetPixel(1109, 719, clBlack);
    const TSurface preview = PreviewImage(page);
    ASSERT_EQ(SizeOf(preview), QSize(555, 360));
    for (int y = 0; y < 360; ++y)
        for (int x = 0; x < 555; ++x)
            ASSERT_EQ(preview.Pixel(x, y), x == 554 && y == 359 ? clBlack : Grey) << x << "," << y;
}

TEST(PreviewImage, OddSizesLeaveTheLastColumnAndRowOut)
{
    TSurface page(5, 3);
    page.SetPixel(4, 0, clBlack);  // last column
    page.SetPixel(0, 2, clBlack);  // last row
    page.SetPixel(3, 1, clRed);
    const TSurface preview = PreviewImage(page);
    ASSERT_EQ(SizeOf(preview), QSize(2, 1));
    EXPECT_EQ(preview.Pixel(0, 0), clWhite);
    EXPECT_EQ(preview.Pixel(1, 0), clRed);
    EXPECT_EQ(SizeOf(PreviewImage(TSurface(1, 7))), QSize(0, 0));
    EXPECT_EQ(SizeOf(PreviewImage(TSurface())), QSize(0, 0));
}

TEST_F(PreviewWindow, EachPreviewReplacesTheLastAndStoresItsPlacementOnClose)
{
    TSurface page(1110, 720);
    page.SetPixel(0, 0, clBlack);
    QPointer<TfrmPreview> first = ShowPreview(nullptr, page);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->objectName(), "frmPreview");
    EXPECT_EQ(first->windowTitle(), "frmPreview");
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->size(), QSize(555, 360));
    EXPECT_EQ(first->Picture().Pixel(0, 0), clBlack);

    std::unique_ptr<TfrmPreview> second(ShowPreview(nullptr, TSurface(40, 30)));
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(frmPreview, second.get());
    EXPECT_EQ(second->size(), QSize(20, 15));

    second->close();
    EXPECT_FALSE(second->isVisible());
    const QByteArray ini = IniText();
    EXPECT_TRUE(ini.contains("[frmPreview]\nLeft=")) << ini.toStdString();
    EXPECT_TRUE(ini.contains("\nTop="));
}

TEST_F(PreviewWindow, PreviewLargerThanTheScreenScrollsInItsWorkAreaAndEscapeOrCtrlWCloseIt)
{
    std::unique_ptr<TfrmPreview> preview(ShowPreview(nullptr, TSurface(4460, 3150)));  // an A0 page
    const QRect work = preview->screen()->availableGeometry();
    EXPECT_EQ(preview->frameGeometry(), work);
    EXPECT_EQ(preview->Image1->size(), QSize(2230, 1575));
    const QSize view = preview->ScrollBox1->viewport()->size();
    EXPECT_EQ(preview->ScrollBox1->horizontalScrollBar()->maximum(), 2230 - view.width());
    EXPECT_EQ(preview->ScrollBox1->verticalScrollBar()->maximum(), 1575 - view.height());
    QTest::keyClick(preview.get(), Qt::Key_Escape);
    EXPECT_FALSE(preview->isVisible());
    preview->show();
    QTest::keyClick(preview->ScrollBox1, Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(preview->isVisible());
}
