#include "app/Help.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QTableWidget>
#include <algorithm>

#include "ui/Dialogs.h"
#include "app/Tracerywin.h"
#include "settings/Quorvfont.h"
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
        {"--svg", "Writes the page of every drawing loaded after it as an SVG drawing beside the drawing",
         "Writes the page of every drawing loaded after it as a vector SVG drawing beside the drawing, named "
         "after it (amp.q01 gives amp.svg): sharp at any size, one SVG pixel per page pixel, every text as "
         "text."},
        {"--pdf", "Writes every drawing loaded after it as a vector PDF page beside the drawing",
         "Writes every drawing loaded after it, without a dialog, as a vector PDF file beside the drawing, "
         "named after it (amp.q01 gives amp.pdf): one landscape page, fitted to the paper as File > Print "
         "fits it, sharp at any size, with text that can be searched and copied."},
        {"--bom", "Writes the bill of materials of every drawing loaded after it beside the drawing",
         "Writes the bill of materials of every drawing loaded after it beside the drawing, named after it "
         "(amp.q01 gives amp-bom.csv): one CSV row per placed part, in designation order."},
        {"--out=DIR", "Writes the files of the options above into DIR instead",
         "Every file that --png, --svg, --pdf, --bom and --export write for the drawings loaded after it goes into "
         "the folder DIR instead of beside the drawing, with the same names; DIR is created if it is missing."},
        {"--batch", "Runs without windows and ends after the command line",
         "Runs without showing a window and without waiting for any dialog: messages go to standard error, "
         "nothing is written to the settings file, and the program ends after the command line, with exit "
         "status 0 when every named drawing was found and read to its end and every file was written, 1 "
         "otherwise. Put it first."},
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

namespace {
// The window's designed client size; the controls that stretch grow with it.
constexpr QSize kDesignSize(489, 208);
const QRect kCmdLine(8, 24, 463, 28);
constexpr int kCmdLineLabelGap = 3;  // the label's bottom stands this far above the edit
const QPoint kLabel1(8, 64), kLabel2(112, 64);
const QRect kOptions(8, 88, 96, 76);
const QRect kMemo(112, 88, 356, 75);
}  // namespace

TfrmHelp::TfrmHelp(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(QStringLiteral("Tracery - Command Line Error"));
    setGeometry(QRect(QPoint(289, 443), kDesignSize));
    // "MS Sans Serif", 16 pixels high, bold, blue, for every control.
    TFont font;
    font.SetHeight(-16);
    font.Bold = true;
    font.Colour = clBlue;
    ShowFontOn(this, font);

    leCmdLine = new QLineEdit(this);
    leCmdLine->setObjectName(QStringLiteral("leCmdLine"));
    leCmdLine->setGeometry(kCmdLine);
    cmdLineLabel_ = new QLabel(QStringLiteral("Command Line"), this);
    cmdLineLabel_->adjustSize();
    cmdLineLabel_->move(kCmdLine.left(), kCmdLine.top() - kCmdLineLabelGap - cmdLineLabel_->height());
    cmdLineLabel_->setBuddy(leCmdLine);

    auto* label1 = new QLabel(QStringLiteral("Options"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->adjustSize();
    label1->move(kLabel1);
    auto* label2 = new QLabel(QStringLiteral("Purpose"), this);
    label2->setObjectName(QStringLiteral("Label2"));
    label2->adjustSize();
    label2->move(kLabel2);

    // A list in report style with grid lines: one column "Option", sized to
    // its contents.
    lvOptions = new QTableWidget(int(Options().size()), 1, this);
    lvOptions->setObjectName(QStringLiteral("lvOptions"));
    lvOptions->setGeometry(kOptions);
    lvOptions->setHorizontalHeaderLabels({QStringLiteral("Option")});
    lvOptions->verticalHeader()->hide();
    lvOptions->setShowGrid(true);
    lvOptions->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvOptions->setSelectionMode(QAbstractItemView::SingleSelection);
    lvOptions->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvOptions->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    for (int row = 0; row < int(Options().size()); ++row) {
        auto* item = new QTableWidgetItem(QLatin1String(Options()[std::size_t(row)].caption));
        item->setData(Qt::UserRole, QLatin1String(Options()[std::size_t(row)].subItem));
        lvOptions->setItem(row, 0, item);
    }
    lvOptions->resizeRowsToContents();

    Memo1 = new QPlainTextEdit(QStringLiteral("<Select an option>"), this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(kMemo);
    connect(lvOptions, &QTableWidget::itemSelectionChanged, this, &TfrmHelp::lvOptionsSelectItem);

    ValWin1 = new TValWin(this);
    ValWin1->setObjectName(QStringLiteral("ValWin1"));
    ValWin1->SetOnScreen(false);
    ValWin1->SetTimeout(0);
}

void TfrmHelp::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (!Memo1) return;
    // The command line stretches with the width, the list with the height,
    // the purpose text both ways.
    const int dw = width() - kDesignSize.width(), dh = height() - kDesignSize.height();
    leCmdLine->resize(std::max(0, kCmdLine.width() + dw), kCmdLine.height());
    lvOptions->resize(kOptions.width(), std::max(0, kOptions.height() + dh));
    Memo1->resize(std::max(0, kMemo.width() + dw), std::max(0, kMemo.height() + dh));
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
    const int index = lvOptions->row(selected.first());
    if (index >= 0 && index < int(Options().size())) Memo1->setPlainText(QLatin1String(Options()[index].purpose));
}
