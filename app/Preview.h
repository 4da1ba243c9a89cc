#pragma once
// TfrmPreview: a half-size snapshot of the page image in a window of its own.
// The main window owns it; each View > Preview replaces it (ShowPreview).
// Showing restores its saved position (kept on the desktop), closing stores
// it; closing (also with Escape or Ctrl+W) only hides the window. A preview
// larger than the screen's work area scrolls.

#include <QWidget>

#include "app/Surface.h"

class QCloseEvent;
class QLabel;
class QScrollArea;
class QShowEvent;
class TValWin;

// The preview of a W x H page image: W / 2 x H / 2 pixels, rounded down.
// Preview pixel (x / 2, y / 2) takes the last pixel that is not white of the
// page's 2 x 2 block (x, y), (x, y + 1), (x + 1, y), (x + 1, y + 1), in that
// order; an all-white block stays white. With an odd width or height the
// page's last column or row has no preview pixel of its own and is left out.
TSurface PreviewImage(const TSurface& page);

class TfrmPreview : public QWidget {
    Q_OBJECT

public:
    // Creates the window and shows it at once.
    explicit TfrmPreview(QWidget* owner = nullptr);
    ~TfrmPreview() override;

    // The preview's image, in a scroll area that fills the client area.
    QScrollArea* ScrollBox1 = nullptr;
    QLabel* Image1 = nullptr;
    TValWin* ValWin1 = nullptr;  // placement, owned by the window

    // Sizes the client area to half the page and shows the page's preview.
    void ShowPage(const TSurface& page);
    // The preview shown.
    const TSurface& Picture() const { return picture_; }

    // Handlers.
    void FormShow();
    void FormClose();  // throws EFileError

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    TSurface picture_;
};

// View > Preview: destroys the current preview window, creates a new one
// owned by owner and shows the page's preview in it.
TfrmPreview* ShowPreview(QWidget* owner, const TSurface& page);

// The current preview window, none before the first View > Preview.
extern TfrmPreview* frmPreview;
