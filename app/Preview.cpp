#include "app/Preview.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPixmap>
#include <QShowEvent>

#include "ui/Dialogs.h"
#include "settings/Valwin.h"

TfrmPreview* frmPreview = nullptr;

TSurface PreviewImage(const TSurface& page)
{
    // The last non-white pixel of each 2 x 2 block wins; an odd last column
    // or row has no preview pixel of its own.
    return page.HalfSample(clWhite);
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
