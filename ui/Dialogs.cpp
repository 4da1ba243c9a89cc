#include "ui/Dialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <cstdio>

#include "ui/Fontdialog.h"

namespace {
TStandardDialogs standardDialogs;
TDialogs* installed = nullptr;

QWidget* ActiveParent() { return QApplication::activeWindow(); }
}  // namespace

TDialogs& Dialogs() { return installed ? *installed : standardDialogs; }
void SetDialogs(TDialogs* dialogs) { installed = dialogs; }

void TStandardDialogs::ShowMessage(const QString& text)
{
    QMessageBox::information(ActiveParent(), QApplication::applicationDisplayName(), text);
}

void TStandardDialogs::ShowError(const QString& text)
{
    QMessageBox::critical(ActiveParent(), QApplication::applicationDisplayName(), text);
}

bool TStandardDialogs::AskYesNo(const QString& text)
{
    return QMessageBox::warning(ActiveParent(), QApplication::applicationDisplayName(), text,
                                QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

std::optional<QString> TStandardDialogs::OpenFile(const QString& filter, const QString& initialDir)
{
    QString path = QFileDialog::getOpenFileName(ActiveParent(), QString(), initialDir, filter);
    if (path.isEmpty()) return std::nullopt;
    return path;
}

std::optional<QString> TStandardDialogs::SaveFile(const QString& initialDir)
{
    // The overwrite question is the program's own, so the dialog does not ask.
    QString path = QFileDialog::getSaveFileName(ActiveParent(), QString(), initialDir, QString(), nullptr,
                                                QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty()) return std::nullopt;
    return path;
}

std::optional<QString> TDialogs::SaveFileAs(const QString&, const QString& suggested)
{
    return SaveFile(QFileInfo(suggested).absolutePath());
}

std::optional<QString> TStandardDialogs::SaveFileAs(const QString& filters, const QString& suggested)
{
    QString chosenFilter;
    QString path = QFileDialog::getSaveFileName(ActiveParent(), QString(), suggested, filters, &chosenFilter,
                                                QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty()) return std::nullopt;
    if (QFileInfo(path).suffix().isEmpty()) {
        // "PNG picture (*.png)" gives ".png".
        const qsizetype star = chosenFilter.indexOf(QLatin1String("*."));
        const qsizetype end = chosenFilter.indexOf(QLatin1Char(')'), star);
        if (star >= 0 && end > star) path += chosenFilter.mid(star + 1, end - star - 1);
    }
    return path;
}

std::optional<TFont> TStandardDialogs::ChooseFont(const TFont& preset)
{
    TFontDialog dialog(preset, ActiveParent());
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Font();
}

std::optional<TColor> TStandardDialogs::ChooseColour(TColor preset)
{
    QColor chosen = QColorDialog::getColor(QColor::fromRgb(ColourToRgb(preset)), ActiveParent());
    if (!chosen.isValid()) return std::nullopt;
    return RgbToColour(chosen.rgb());
}

bool TStandardDialogs::Print(QPrinter& printer)
{
    QPrintDialog dialog(&printer, ActiveParent());
    return dialog.exec() == QDialog::Accepted;
}

void TStandardDialogs::PrinterSetup(QPrinter& printer)
{
    QPageSetupDialog dialog(&printer, ActiveParent());
    dialog.exec();
}

int TStandardDialogs::ExecModal(QDialog& dialog) { return dialog.exec(); }

void TBatchDialogs::ShowMessage(const QString& text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

void TBatchDialogs::ShowError(const QString& text) { ShowMessage(text); }
bool TBatchDialogs::AskYesNo(const QString& text)
{
    ShowMessage(text);
    return false;
}
std::optional<QString> TBatchDialogs::OpenFile(const QString&, const QString&) { return std::nullopt; }
std::optional<QString> TBatchDialogs::SaveFile(const QString&) { return std::nullopt; }
std::optional<TFont> TBatchDialogs::ChooseFont(const TFont&) { return std::nullopt; }
std::optional<TColor> TBatchDialogs::ChooseColour(TColor) { return std::nullopt; }
bool TBatchDialogs::Print(QPrinter&) { return false; }
void TBatchDialogs::PrinterSetup(QPrinter&) {}
int TBatchDialogs::ExecModal(QDialog&) { return QDialog::Rejected; }
