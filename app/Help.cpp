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

#include "app/Options.h"
#include "settings/Quorvfont.h"
#include "settings/Valwin.h"
#include "ui/Dialogs.h"

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
    for (const TOption& option : CommandLineOptions()) column = std::max(column, OptionCaption(option).size());
    QString text = QStringLiteral("Command Line\n") + CommandLineText(args) + QStringLiteral("\n\nOptions\n");
    for (const TOption& option : CommandLineOptions())
        text += QStringLiteral("  ") + OptionCaption(option).leftJustified(column + 2) + QLatin1String(option.Purpose) +
                QLatin1Char('\n');
    return text;
}

QString TfrmHelp::AboutText()
{
    return QStringLiteral("Tracery " TRACERY_VERSION
                          "\n"
                          "A viewer and printer for circuit drawings in Quorvid drawing files (*.q01).\n"
                          "Free software under the MIT licence.\n"
                          "Qt %1")
        .arg(QLatin1String(qVersion()));
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

TfrmHelp::TfrmHelp(QWidget* owner, const QStringList& commandLine) : QDialog(owner), commandLine_(commandLine)
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
    const std::vector<TOption>& options = CommandLineOptions();
    lvOptions = new QTableWidget(int(options.size()), 1, this);
    lvOptions->setObjectName(QStringLiteral("lvOptions"));
    lvOptions->setGeometry(kOptions);
    lvOptions->setHorizontalHeaderLabels({QStringLiteral("Option")});
    lvOptions->verticalHeader()->hide();
    lvOptions->setShowGrid(true);
    lvOptions->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvOptions->setSelectionMode(QAbstractItemView::SingleSelection);
    lvOptions->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvOptions->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    for (int row = 0; row < int(options.size()); ++row) {
        auto* item = new QTableWidgetItem(OptionCaption(options[std::size_t(row)]));
        item->setData(Qt::UserRole, QLatin1String(options[std::size_t(row)].Summary));
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
    leCmdLine->setText(CommandLineText(commandLine_));
}

void TfrmHelp::done(int result)
{
    // Escape, the buttons and the window's own close box all end up here.
    if (isVisible()) FormClose();
    QDialog::done(result);
}

void TfrmHelp::FormClose()
{
    Guarded([&] { ValWin1->close(); });
}

void TfrmHelp::lvOptionsSelectItem()
{
    const auto selected = lvOptions->selectedItems();
    if (selected.isEmpty()) return;
    const int index = lvOptions->row(selected.first());
    const std::vector<TOption>& options = CommandLineOptions();
    if (index >= 0 && index < int(options.size()))
        Memo1->setPlainText(QLatin1String(options[std::size_t(index)].Purpose));
}
