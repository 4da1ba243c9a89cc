// The command line: options, their order and letter case, drawing paths.
#include "AppFixture.h"

#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTableWidget>

#include <QCoreApplication>

#include "app/Help.h"
#include "app/Options.h"
#include "app/Recentfiles.h"
#include "app/Startup.h"

using CommandLineTest = MainWindowTest;

TEST_F(CommandLineTest, ExportBeforeAPathSplitsItAndAfterItDoesNot)
{
    const QString amp = Write("amp.q01", q01::Header(0));
    const QString two = Write("two.q01", q01::Header(0));
    Start({two, "--EXPORT", amp});
    EXPECT_TRUE(QFileInfo(Path("amp")).isDir());
    EXPECT_FALSE(QFileInfo::exists(Path("two")));
}

TEST_F(CommandLineTest, ExportAfterThePathSplitsOnlyDrawingsOpenedLater)
{
    const QString amp = Write("amp.q01", q01::Header(0));
    const QString later = Write("later.q01", q01::Header(0));
    TForm1& f = Start({amp, "--export"});
    EXPECT_FALSE(QFileInfo::exists(Path("amp")));
    EXPECT_EQ(dialogs.OpenFilters.size(), 0);
    dialogs.OpenFiles.push_back(later);
    f.miFileOpenClick();
    EXPECT_TRUE(QFileInfo(Path("later")).isDir());
}

TEST_F(CommandLineTest, ExportAloneShowsTheOpenDialogAndSplitsTheChosenDrawing)
{
    const QString amp = Write("amp.q01", q01::Header(0));
    dialogs.OpenFiles.push_back(amp);
    Start({"--export"});
    EXPECT_EQ(dialogs.OpenFilters.size(), 1);
    EXPECT_EQ(dialogs.OpenFilters.last(), "Quorvid File (*.q01)");
    EXPECT_TRUE(QFileInfo(Path("amp")).isDir());
}

TEST_F(CommandLineTest, HelpShowsTheHelpWindowModallyAndEndsTheProgram)
{
    QString caption, commandLine;
    dialogs.OnModal = [&](QDialog& d) {
        caption = d.windowTitle();
        d.show();  // a modal showing runs the show handler
        commandLine = d.findChild<QLineEdit*>("leCmdLine")->text();
        d.reject();
    };
    TForm1& f = Start({"--Help"});
    EXPECT_EQ(dialogs.ModalRuns, 1);
    EXPECT_EQ(caption, "Tracery - Command Line Error");
    EXPECT_EQ(commandLine, "tracery --Help");
    EXPECT_TRUE(f.TerminateRequested);
    EXPECT_EQ(dialogs.OpenFilters.size(), 0);
}

TEST_F(CommandLineTest, UnknownOptionsAreReportedAndTheOpenDialogFollows)
{
    Start({"--", "--exports", "--BATCHX"});
    EXPECT_EQ(dialogs.Messages, (QStringList{"Parameter '' not recognised", "Parameter 'exports' not recognised",
                                             "Parameter 'BATCHX' not recognised"}));
    EXPECT_EQ(dialogs.OpenFilters.size(), 1);
}

TEST_F(CommandLineTest, OneDashIsADrawingPathAndCountsAsNamed)
{
    Start({"-export"});
    EXPECT_EQ(dialogs.Messages, QStringList{"File '-export' not found"});
    EXPECT_EQ(dialogs.OpenFilters.size(), 0);
}

TEST_F(CommandLineTest, SeveralDrawingsAreLoadedInTurnAndTheLastIsShown)
{
    const QString a = Write("a.q01", q01::Header(0));
    const QString b = Write("b.q01", q01::Header(1));  // A3
    TForm1& f = Start({a, b});
    EXPECT_EQ(f.windowTitle(), "b.q01");
    EXPECT_EQ(f.Image1->width(), 1550);
    EXPECT_EQ(f.RecentFiles->Files(), QStringList{a});
}

TEST_F(CommandLineTest, NoArgumentsShowTheOpenDialogAndCancelLeavesForm1)
{
    TForm1& f = Start({});
    EXPECT_EQ(dialogs.OpenFilters.size(), 1);
    EXPECT_EQ(f.windowTitle(), "Form1");
    EXPECT_TRUE(f.Objects.empty());
}

TEST_F(CommandLineTest, ChosenDrawingIsRememberedAndTheNextOpenDialogStartsBesideIt)
{
    QDir(dir.path()).mkdir("sub");
    const QString amp = Write("sub/amp.q01", q01::Header(0));
    dialogs.OpenFiles.push_back(amp);
    Start({});
    EXPECT_EQ(TIniFile(IniPath()).ReadString("Main", "File", ""), amp);
    form.reset();
    Start({});
    EXPECT_EQ(dialogs.OpenDirs.last(), Path("sub"));
}

TEST_F(CommandLineTest, StartOptionsAreTakenFromTheWholeLineInAnyCase)
{
    EXPECT_TRUE(ScanStartOptions({"t", "a.q01", "--BaTcH"}).Batch);
    EXPECT_TRUE(ScanStartOptions({"t", "--PNG"}).RendersFiles);
    EXPECT_FALSE(ScanStartOptions({"t", "--pngs", "-batch"}).RendersFiles);
    EXPECT_TRUE(ScanStartOptions({"t", "a.q01", "--BATCH"}).Headless);
    EXPECT_TRUE(ScanStartOptions({"t", "--Thumbnail=a.png", "a.q01"}).Headless);
    EXPECT_TRUE(ScanStartOptions({"t", "--thumbnail"}).Headless);
    EXPECT_FALSE(ScanStartOptions({"t", "--thumbnails=1", "-batch", "--png", "a=b"}).Headless);
    // The first run of its own on the line is the one made, with its value.
    const TStartOptions alone = ScanStartOptions({"t", "--png", "--THUMBNAIL=64", "--diff", "--version"});
    ASSERT_NE(alone.Alone, nullptr);
    EXPECT_EQ(OptionCaption(*alone.Alone), "--thumbnail=SIZE");
    EXPECT_EQ(alone.AloneValue, "64");
    EXPECT_TRUE(alone.Batch && alone.Headless && alone.RendersFiles);
    const TStartOptions version = ScanStartOptions({"t", "a.q01", "--Version"});
    ASSERT_NE(version.Alone, nullptr);
    EXPECT_EQ(OptionCaption(*version.Alone), "--version");
    EXPECT_TRUE(version.Headless && !version.RendersFiles);
    EXPECT_EQ(ScanStartOptions({"t", "--out=x", "--versions", "--version=1"}).Alone, nullptr);
}

TEST(OptionTable, ArgumentsNameAnOptionWholeAndTakeTheValueAfterTheFirstEquals)
{
    QString value, name;
    ASSERT_NE(FindOption("--OUT=a=b", &value, &name), nullptr);
    EXPECT_EQ(value, "a=b");
    EXPECT_EQ(name, "OUT");
    ASSERT_EQ(FindOption("--out", &value), FindOption("--out=x"));
    EXPECT_EQ(value, "");
    EXPECT_EQ(FindOption("--Png"), FindOption("--png"));
    for (const char* notOne : {"--pngs", "--png=x", "-png", "png", "--", "--=x", "---png", "--outs=x"})
        EXPECT_EQ(FindOption(notOne), nullptr) << notOne;
}

namespace {
QString SourceText(const char* file)
{
    QFile f(QStringLiteral(TRACERY_SOURCE_DIR "/") + QLatin1String(file));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << file;
    return QString::fromUtf8(f.readAll());
}
}  // namespace

TEST(OptionTable, ManualPageDescribesEveryOptionOfTheTableAndReadmeNamesIt)
{
    // The options the manual page describes: the tags of the OPTIONS
    // section's items, such as ".B \-\-png" and ".BI \-\-out= dir".
    const QString man = SourceText("docs/tracery.1");
    const qsizetype start = man.indexOf("\n.SH OPTIONS\n");
    ASSERT_GE(start, 0);
    const QStringList lines = man.mid(start + 1, man.indexOf("\n.SH ", start + 1) - start).split('\n');
    QStringList described;
    const QRegularExpression tag(R"(^\.BI? \\-\\-([a-z]+)(=?))");
    for (qsizetype i = 1; i < lines.size(); ++i)
        if (lines[i - 1] == ".TP")
            if (const auto match = tag.match(lines[i]); match.hasMatch())
                described << match.captured(1) + match.captured(2);
    QStringList table;
    for (const TOption& option : CommandLineOptions())
        table << QLatin1String(option.Name) + QLatin1String(option.Value ? "=" : "");
    described.sort();
    table.sort();
    EXPECT_EQ(described, table);

    const QString readme = SourceText("README.md");
    for (const TOption& option : CommandLineOptions()) {
        const QRegularExpression named("`--" + QLatin1String(option.Name) + "(?![a-z])");
        EXPECT_TRUE(readme.contains(named)) << option.Name;
    }
}

// ------------------------------------------------------------- help window

using HelpWindowTest = MainWindowTest;

TEST_F(HelpWindowTest, CommandLineIsProgramBlankThenArgumentsRunTogether)
{
    EXPECT_EQ(TfrmHelp::CommandLineText({"/usr/bin/tracery", "--export", "a.q01"}), "/usr/bin/tracery --exporta.q01");
    EXPECT_EQ(TfrmHelp::CommandLineText({"/usr/bin/tracery"}), "/usr/bin/tracery ");
}

TEST_F(HelpWindowTest, SelectingAnOptionShowsItsPurpose)
{
    dialogs.OpenFiles.push_back(std::nullopt);
    TForm1& f = Start({});
    TfrmHelp& help = *f.frmHelp;
    EXPECT_EQ(help.Memo1->toPlainText(), "<Select an option>");
    ASSERT_GE(help.lvOptions->rowCount(), 2);
    EXPECT_EQ(help.lvOptions->item(0, 0)->text(), "--help");
    EXPECT_EQ(help.lvOptions->item(1, 0)->text(), "--export");
    help.lvOptions->selectRow(1);
    EXPECT_EQ(help.Memo1->toPlainText(),
              "Creates a subdirectory with several files containing the objects in any quorvid file seperated by "
              "their type.");
    EXPECT_FALSE(help.lvOptions->item(1, 0)->data(Qt::UserRole).toString().endsWith('.'));
    help.lvOptions->clearSelection();
    EXPECT_TRUE(help.Memo1->toPlainText().endsWith("their type."));
    help.lvOptions->selectRow(0);
    EXPECT_EQ(help.Memo1->toPlainText(), "This Page");
}

TEST_F(HelpWindowTest, HelpMenuShowsTheHelpPageNamedAfterTheProgram)
{
    TForm1& f = Start({"--export", "a.q01"});
    f.Help2Click();
    const QString exe = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    EXPECT_EQ(f.frmHelp->windowTitle(), exe + " Help Window");
    EXPECT_TRUE(f.frmHelp->isVisible());
    EXPECT_EQ(f.frmHelp->leCmdLine->text(), "tracery --exporta.q01");
    f.frmHelp->close();
    // Closing stores the window's placement.
    EXPECT_TRUE(TIniFile(IniPath()).SectionExists("frmHelp"));
}

TEST_F(HelpWindowTest, ControlsStandWhereTheLayoutPutsThemInTheWindowsBoldBlueFont)
{
    dialogs.OpenFiles.push_back(std::nullopt);
    TfrmHelp& help = *Start({}).frmHelp;
    EXPECT_EQ(help.size(), QSize(489, 208));
    EXPECT_EQ(help.leCmdLine->geometry(), QRect(8, 24, 463, 28));
    QLabel* cmdLabel = nullptr;
    for (QLabel* label : help.findChildren<QLabel*>())
        if (label->text() == "Command Line") cmdLabel = label;
    ASSERT_NE(cmdLabel, nullptr);
    EXPECT_EQ(cmdLabel->x(), 8);
    EXPECT_EQ(cmdLabel->geometry().bottom() + 1 + 3, 24);  // 3 pixels above the edit
    auto* label1 = help.findChild<QLabel*>("Label1");
    auto* label2 = help.findChild<QLabel*>("Label2");
    ASSERT_TRUE(label1 && label2);
    EXPECT_EQ(label1->text(), "Options");
    EXPECT_EQ(label1->pos(), QPoint(8, 64));
    EXPECT_EQ(label2->text(), "Purpose");
    EXPECT_EQ(label2->pos(), QPoint(112, 64));
    EXPECT_EQ(help.lvOptions->geometry(), QRect(8, 88, 96, 76));
    EXPECT_EQ(help.Memo1->geometry(), QRect(112, 88, 356, 75));
    // Report style with grid lines and the one column "Option".
    EXPECT_TRUE(help.lvOptions->showGrid());
    EXPECT_EQ(help.lvOptions->columnCount(), 1);
    EXPECT_EQ(help.lvOptions->horizontalHeaderItem(0)->text(), "Option");
    EXPECT_FALSE(help.lvOptions->verticalHeader()->isVisible());

    for (QWidget* w :
         std::initializer_list<QWidget*>{cmdLabel, label1, label2, help.leCmdLine, help.lvOptions, help.Memo1}) {
        EXPECT_EQ(w->font().family(), "MS Sans Serif") << w->objectName().toStdString();
        EXPECT_EQ(w->font().pixelSize(), 16);
        EXPECT_TRUE(w->font().bold());
    }
    EXPECT_EQ(label1->palette().color(QPalette::WindowText), QColor(Qt::blue));
    EXPECT_EQ(help.leCmdLine->palette().color(QPalette::Text), QColor(Qt::blue));
    EXPECT_EQ(help.Memo1->palette().color(QPalette::Text), QColor(Qt::blue));
    EXPECT_EQ(help.lvOptions->palette().color(QPalette::Text), QColor(Qt::blue));

    // The command line stretches with the width, the list with the height,
    // the purpose text both ways.
    help.show();
    help.resize(589, 308);
    ASSERT_EQ(help.size(), QSize(589, 308));
    EXPECT_EQ(help.leCmdLine->geometry(), QRect(8, 24, 563, 28));
    EXPECT_EQ(help.lvOptions->geometry(), QRect(8, 88, 96, 176));
    EXPECT_EQ(help.Memo1->geometry(), QRect(112, 88, 456, 175));
}
