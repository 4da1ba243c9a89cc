#pragma once
// The one seam for every modal interaction of the program: message boxes, the
// error box, questions, and the open, save, font, colour and print dialogs,
// and showing a window modally. The program talks to whatever TDialogs is
// installed; the default shows Qt's standard dialogs, batch runs print
// messages to standard error, and tests install scripted answers.

#include <QString>
#include <optional>

#include "app/Drawstyle.h"
#include "base/Errors.h"

class QDialog;
class QPrinter;

class TDialogs {
public:
    virtual ~TDialogs() = default;

    // A plain message box with an OK button.
    virtual void ShowMessage(const QString& text) = 0;
    // The toolkit's standard error box.
    virtual void ShowError(const QString& text) = 0;
    // A warning with the buttons Yes and No; true for Yes.
    virtual bool AskYesNo(const QString& text) = 0;

    // The open dialog; an empty result means cancelled.
    virtual std::optional<QString> OpenFile(const QString& filter, const QString& initialDir) = 0;
    // The save dialog (no filter, no default extension).
    virtual std::optional<QString> SaveFile(const QString& initialDir) = 0;
    // The save dialog with a choice of file types ("PNG picture (*.png);;..."),
    // starting at a suggested file; a name without an extension takes the
    // chosen type's. Unless a face says otherwise, the plain save dialog in
    // the suggested file's folder.
    virtual std::optional<QString> SaveFileAs(const QString& filters, const QString& suggested);
    virtual std::optional<TFont> ChooseFont(const TFont& preset) = 0;
    virtual std::optional<TColor> ChooseColour(TColor preset) = 0;
    // The print dialog and the printer set-up dialog, on the program's printer.
    virtual bool Print(QPrinter& printer) = 0;
    virtual void PrinterSetup(QPrinter& printer) = 0;
    // Shows a window modally and returns when it is closed.
    virtual int ExecModal(QDialog& dialog) = 0;
};

// The installed seam. Setting it takes no ownership; passing nullptr restores
// the standard dialogs.
TDialogs& Dialogs();
void SetDialogs(TDialogs* dialogs);

// Qt's standard dialogs.
class TStandardDialogs : public TDialogs {
public:
    void ShowMessage(const QString& text) override;
    void ShowError(const QString& text) override;
    bool AskYesNo(const QString& text) override;
    std::optional<QString> OpenFile(const QString& filter, const QString& initialDir) override;
    std::optional<QString> SaveFile(const QString& initialDir) override;
    std::optional<QString> SaveFileAs(const QString& filters, const QString& suggested) override;
    std::optional<TFont> ChooseFont(const TFont& preset) override;
    std::optional<TColor> ChooseColour(TColor preset) override;
    bool Print(QPrinter& printer) override;
    void PrinterSetup(QPrinter& printer) override;
    int ExecModal(QDialog& dialog) override;
};

// Batch runs: no dialog waits. Messages go to standard error, one line each;
// every question and dialog is answered as cancelled.
class TBatchDialogs : public TDialogs {
public:
    void ShowMessage(const QString& text) override;
    void ShowError(const QString& text) override;
    bool AskYesNo(const QString& text) override;
    std::optional<QString> OpenFile(const QString& filter, const QString& initialDir) override;
    std::optional<QString> SaveFile(const QString& initialDir) override;
    std::optional<TFont> ChooseFont(const TFont& preset) override;
    std::optional<TColor> ChooseColour(TColor preset) override;
    bool Print(QPrinter& printer) override;
    void PrinterSetup(QPrinter& printer) override;
    int ExecModal(QDialog& dialog) override;
};

// Runs a handler body; a file-system error ends it and is shown in the error box.
template <typename F>
void Guarded(F&& body)
{
    try {
        body();
    } catch (const EFileError& e) {
        Dialogs().ShowError(e.Message());
    }
}
