#pragma once
// What every settings window has in common: a top-level window whose
// placement (ValWin1) is restored each time it is shown and stored when it is
// closed through its close box. Hiding it (the windows' own Close buttons)
// stores nothing.

#include <QRect>
#include <QWidget>

class QPushButton;
class TValWin;

class TSettingsWindow : public QWidget {
    Q_OBJECT
public:
    TSettingsWindow(QWidget* parent, Qt::WindowFlags flags);

    TValWin* ValWin1;  // placement, owned by the window

    // Show and close handlers: restore and store the placement.
    void FormShow();
    void FormClose();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    // A push button with its control name, caption and place.
    static QPushButton* Button(const QString& name, const QString& caption, QWidget* parent, const QRect& geometry);
};

// Frame of the windows with a system menu only (title and close box).
constexpr Qt::WindowFlags SystemMenuOnly =
    Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
