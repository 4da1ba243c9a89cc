#pragma once
// The command-line help window: the command line the program was started
// with, the list of options and the purpose of the selected one.

#include <QDialog>
#include <QStringList>

class QLineEdit;
class QPlainTextEdit;
class QLabel;
class QTableWidget;
class TValWin;

class TfrmHelp : public QDialog {
    Q_OBJECT
public:
    // commandLine: the command line the program was started with, argument 0
    // being the program itself.
    TfrmHelp(QWidget* owner, const QStringList& commandLine);

    // Help ▸ Help: shown as a help page, not modal.
    void ShowHelpWindow();

    void FormShow();
    void FormClose();
    void lvOptionsSelectItem();

    // The command line as shown: argument 0, a blank, then the other
    // arguments one after another.
    static QString CommandLineText(const QStringList& args);
    // The help page as text for a terminal: "Command Line", the command line
    // as the window shows it, then "Options" and one line per option of the
    // table (app/Options.h): the option, padded to a common column, and its
    // purpose.
    static QString TerminalText(const QStringList& args);
    // Help ▸ About: "Tracery VERSION", what it is, its licence and the
    // version of Qt it runs on.
    static QString AboutText();

    QLineEdit* leCmdLine = nullptr;
    QTableWidget* lvOptions = nullptr;  // report style with grid lines, one column "Option"
    QPlainTextEdit* Memo1 = nullptr;
    TValWin* ValWin1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QStringList commandLine_;
    QLabel* cmdLineLabel_ = nullptr;  // "Command Line", above leCmdLine
};
