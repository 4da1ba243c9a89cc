#include "app/Preview.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QScrollArea>
#include <QShowEvent>
#include <algorithm>

#include "settings/Valwin.h"
#include "ui/Dialogs.h"

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

    // The preview scrolls where it is larger than the window.
    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setFrameShape(QFrame::NoFrame);
    ScrollBox1->setGeometry(rect());
    Image1 = new QLabel;
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ScrollBox1->setWidget(Image1);

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
    picture_ = PreviewImage(page);
    Image1->setPixmap(QPixmap::fromImage(picture_.Image()));
    Image1->resize(picture_.Width(), picture_.Height());
    // The client area takes the preview's size, W / 2 x H / 2, within the
    // work area of the window's screen, frame included.
    const QSize client(page.Width() / 2, page.Height() / 2);
    const QScreen* screen = this->screen();
    if (!screen) {
        resize(client);
        return;
    }
    const QRect work = screen->availableGeometry();
    resize(client.boundedTo(work.size() - (frameGeometry().size() - size())));
    // and lies in it where it can.
    const QRect outer = frameGeometry();
    const int x = std::max(std::min(outer.left(), work.right() + 1 - outer.width()), work.left());
    const int y = std::max(std::min(outer.top(), work.bottom() + 1 - outer.height()), work.top());
    if (x != outer.left() || y != outer.top()) move(x, y);
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

void TfrmPreview::keyPressEvent(QKeyEvent* event)
{
    // Escape and the platform's Close keys (Ctrl+W) close the window.
    if (event->key() == Qt::Key_Escape || event->matches(QKeySequence::Close) ||
        event->keyCombination() == QKeyCombination(Qt::ControlModifier, Qt::Key_W)) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TfrmPreview::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    ScrollBox1->setGeometry(rect());
}

TfrmPreview* ShowPreview(QWidget* owner, const TSurface& page)
{
    delete frmPreview;
    auto* preview = new TfrmPreview(owner);
    preview->ShowPage(page);
    return preview;
}
