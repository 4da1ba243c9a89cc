// The command line: options, their order and letter case, drawing paths.
#include "AppFixture.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTreeWidget>

#include <QCoreApplication>

#include "app/Help.h"
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
    ASSERT_GE(help.lvOptions->topLevelItemCount(), 2);
    EXPECT_EQ(help.lvOptions->topLevelItem(0)->text(0), "--help");
    EXPECT_EQ(help.lvOptions->topLevelItem(1)->text(0), "--export");
    help.lvOptions->topLevelItem(1)->setSelected(true);
    EXPECT_EQ(help.Memo1->toPlainText(),
              "Creates a subdirectory with several files containing the objects in any quorvid file seperated by "
              "their type.");
    EXPECT_FALSE(help.lvOptions->topLevelItem(1)->data(0, Qt::UserRole).toString().endsWith('.'));
    help.lvOptions->clearSelection();
    EXPECT_TRUE(help.Memo1->toPlainText().endsWith("their type."));
    help.lvOptions->topLevelItem(0)->setSelected(true);
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
