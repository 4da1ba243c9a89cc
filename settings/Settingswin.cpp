#include "settings/Settingswin.h"

#include <QCloseEvent>
#include <QPushButton>
#include <QShowEvent>

#include "settings/Valwin.h"
#include "ui/Dialogs.h"

TSettingsWindow::TSettingsWindow(QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags)
{
    ValWin1 = new TValWin(this);
    ValWin1->setObjectName(QStringLiteral("ValWin1"));
    ValWin1->SetOnScreen(false);
    ValWin1->SetTimeout(0);
}

void TSettingsWindow::FormShow() { ValWin1->open(); }

void TSettingsWindow::FormClose() { ValWin1->close(); }

void TSettingsWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TSettingsWindow::closeEvent(QCloseEvent* event)
{
    Guarded([this] { FormClose(); });
    event->accept();
}

QPushButton* TSettingsWindow::Button(const QString& name, const QString& caption, QWidget* parent,
                                     const QRect& geometry)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    return button;
}
