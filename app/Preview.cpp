#include "app/Preview.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPixmap>
#include <QShowEvent>

#include "app/Dialogs.h"
#include "settings/Valwin.h"

TfrmPreview* frmPreview = nullptr;

TSurface PreviewImage(const TSurface& page)
{
    QImage source = page.Image();
    if (!source.isNull() && source.format() != QImage::Format_RGB32)
        source = source.convertToFormat(QImage::Format_RGB32);
    const int width = page.Width() / 2;
    const int height = page.Height() / 2;
    TSurface preview(width, height);
    constexpr QRgb white = 0xFFFFFF;

    // Within the preview every block lies wholly inside the page: for
    // px < W / 2, page column 2 px + 1 <= W - 1 (rows alike).
    QImage& target = preview.Image();
    for (int py = 0; py < height; ++py) {
        const auto* upper = reinterpret_cast<const QRgb*>(source.constScanLine(2 * py));
        const auto* lower = reinterpret_cast<const QRgb*>(source.constScanLine(2 * py + 1));
        auto* out = reinterpret_cast<QRgb*>(target.scanLine(py));
        for (int px = 0; px < width; ++px) {
            const int x = 2 * px;
            QRgb shown = out[px];
            for (QRgb pixel : {upper[x], lower[x], upper[x + 1], lower[x + 1]})
                if ((pixel & 0xFFFFFF) != white) shown = pixel;
            out[px] = shown;
        }
    }
    return preview;
}

TfrmPreview::TfrmPreview(QWidget* owner) : QWidget(owner, Qt::Window)
{
    setObjectName(QStringLiteral("frmPreview"));
    setWindowTitle(QStringLiteral("frmPreview"));
    setGeometry(1920, 173, 1088, 750);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setGeometry(rect());

    ValWin1 = new TValWin(this);
    ValWin1->setObjectName(QStringLiteral("ValWin1"));
    ValWin1->SetTimeout(0);

    frmPreview = this;
    show();
}

TfrmPreview::~TfrmPreview()
{
    if (frmPreview == this) frmPreview = nullptr;
}

void TfrmPreview::ShowPage(const TSurface& page)
{
    resize(page.Width() / 2, page.Height() / 2);
    picture_ = PreviewImage(page);
    Image1->setPixmap(QPixmap::fromImage(picture_.Image()));
}

void TfrmPreview::FormShow() { ValWin1->open(); }

void TfrmPreview::FormClose() { ValWin1->close(); }

void TfrmPreview::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TfrmPreview::closeEvent(QCloseEvent* event)
{
    Guarded([this] { FormClose(); });
    event->accept();
}

void TfrmPreview::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Image1->setGeometry(rect());
}

TfrmPreview* ShowPreview(QWidget* owner, const TSurface& page)
{
    delete frmPreview;
    auto* preview = new TfrmPreview(owner);
    preview->ShowPage(page);
    return preview;
}
