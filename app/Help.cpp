#include "app/Help.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTreeWidget>
#include <algorithm>

#include "app/Dialogs.h"
#include "app/Tracerywin.h"
#include "settings/Valwin.h"

const std::vector<TfrmHelp::Option>& TfrmHelp::Options()
{
    static const std::vector<Option> options = {
        {"--help", "This page", "This Page"},
        {"--export",
         "Creates a subdirectory with several files containing the objects in any quorvid file seperated by "
         "their type",
         "Creates a subdirectory with several files containing the objects in any quorvid file seperated by "
         "their type."},
        {"--png", "Writes the page of every drawing loaded after it as a PNG file beside the drawing",
         "Writes the page of every drawing loaded after it as a PNG picture beside the drawing, named after "
         "it (amp.q01 gives amp.png)."},
        {"--pdf", "Prints every drawing loaded after it to a PDF file beside the drawing",
         "Prints every drawing loaded after it, without a dialog, to a PDF file beside the drawing, named after "
         "it (amp.q01 gives amp.pdf): landscape, fitted to the page, as File > Print prints it."},
        {"--batch", "Runs without windows and ends after the command line",
         "Runs without showing a window and without waiting for any dialog: messages go to standard error, "
         "and the program ends after the command line, with exit status 0 when every named drawing was found "
         "and read to its end, 1 otherwise. Put it first."},
        {"--diff", "--diff OLD.q01 NEW.q01 OUT.png: pictures and lists the changes between two drawings",
         "--diff OLD.q01 NEW.q01 OUT.png draws both drawings and writes OUT.png: ink only in OLD red, only in "
         "NEW green, in both grey. The changes go to standard output, one per line; the exit status is 0 when "
         "both hold the same objects, 1 when they differ, 2 when either cannot be read. No window is shown."},
    };
    return options;
}

QString TfrmHelp::CommandLineText(const QStringList& args)
{
    if (args.isEmpty()) return QString();
    QString text = args.first() + QLatin1Char(' ');
    for (int i = 1; i < args.size(); ++i) text += args[i];
    return text;
}

QString TfrmHelp::TerminalText(const QStringList& args)
{
    qsizetype column = 0;
    for (const Option& option : Options()) column = std::max(column, qsizetype(qstrlen(option.caption)));
    QString text = QStringLiteral("Command Line\n") + CommandLineText(args) + QStringLiteral("\n\nOptions\n");
    for (const Option& option : Options())
        text += QStringLiteral("  ") + QString::fromLatin1(option.caption).leftJustified(column + 2) +
                QLatin1String(option.purpose) + QLatin1Char('\n');
    return text;
}

TfrmHelp::TfrmHelp(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(QStringLiteral("Tracery - Command Line Error"));
    setGeometry(289, 443, 489, 208);
    TFont font;
    font.SetHeight(-16);
    font.Bold = true;
    font.Colour = clBlue;
    setFont(font.ToQFont());
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, Qt::blue);
    setPalette(pal);

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Command Line")), 0, 0, 1, 2);
    leCmdLine = new QLineEdit;
    leCmdLine->setObjectName(QStringLiteral("leCmdLine"));
    layout->addWidget(leCmdLine, 1, 0, 1, 2);
    auto* label1 = new QLabel(QStringLiteral("Options"));
    label1->setObjectName(QStringLiteral("Label1"));
    auto* label2 = new QLabel(QStringLiteral("Purpose"));
    label2->setObjectName(QStringLiteral("Label2"));
    layout->addWidget(label1, 2, 0);
    layout->addWidget(label2, 2, 1);

    lvOptions = new QTreeWidget;
    lvOptions->setObjectName(QStringLiteral("lvOptions"));
    lvOptions->setHeaderLabels({QStringLiteral("Option")});
    lvOptions->setRootIsDecorated(false);
    lvOptions->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    for (const Option& option : Options()) {
        auto* item = new QTreeWidgetItem(lvOptions, {QLatin1String(option.caption)});
        item->setData(0, Qt::UserRole, QLatin1String(option.subItem));
    }
    layout->addWidget(lvOptions, 3, 0);
    Memo1 = new QPlainTextEdit(QStringLiteral("<Select an option>"));
    Memo1->setObjectName(QStringLiteral("Memo1"));
    layout->addWidget(Memo1, 3, 1);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(3, 1);
    connect(lvOptions, &QTreeWidget::itemSelectionChanged, this, &TfrmHelp::lvOptionsSelectItem);

    ValWin1 = new TValWin(this);
    ValWin1->setObjectName(QStringLiteral("ValWin1"));
    ValWin1->SetOnScreen(false);
    ValWin1->SetTimeout(0);
}

void TfrmHelp::ShowHelpWindow()
{
    const QString exe = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    setWindowTitle(QStringLiteral("%1 Help Window").arg(exe));
    show();
}

void TfrmHelp::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TfrmHelp::FormShow()
{
    Guarded([&] { ValWin1->open(); });
    leCmdLine->setText(CommandLineText(Form1 ? Form1->Arguments() : QCoreApplication::arguments()));
}

void TfrmHelp::done(int result)
{
    // Escape, the buttons and the window's own close box all end up here.
    if (isVisible()) FormClose();
    QDialog::done(result);
}

void TfrmHelp::FormClose() { Guarded([&] { ValWin1->close(); }); }

void TfrmHelp::lvOptionsSelectItem()
{
    const auto selected = lvOptions->selectedItems();
    if (selected.isEmpty()) return;
    const int index = lvOptions->indexOfTopLevelItem(selected.first());
    if (index >= 0 && index < int(Options().size())) Memo1->setPlainText(QLatin1String(Options()[index].purpose));
}
