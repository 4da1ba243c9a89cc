// The recent-files submenu: order, limits, the "Recent Files" section, clicks.
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <memory>

#include "app/Recentfiles.h"
#include "settings/Inifile.h"
#include "ui/Dialogs.h"

namespace {

class RecordingDialogs : public TBatchDialogs {
public:
    void ShowError(const QString& text) override { errors << text; }
    QStringList errors;
};

// A fresh settings file in a temporary folder and an empty submenu.
class RecentFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        path_ = dir_.filePath(QStringLiteral("tracery.ini"));
        savedName_ = SettingsFileName();
        SetSettingsFileName(path_);
        menu_ = std::make_unique<QMenu>(QStringLiteral("Recent Files"));
    }

    void TearDown() override { SetSettingsFileName(savedName_); }

    void Put(const QByteArray& bytes)
    {
        QFile f(path_);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QByteArray Get() const
    {
        QFile f(path_);
        if (!f.open(QIODevice::ReadOnly)) return QByteArray("<missing>");
        return f.readAll();
    }

    QStringList Captions() const
    {
        QStringList list;
        for (QAction* a : menu_->actions()) list << a->text();
        return list;
    }

    QStringList Hints() const
    {
        QStringList list;
        for (QAction* a : menu_->actions()) list << TRecentFiles::Hint(a);
        return list;
    }

    bool MenuEnabled() const { return menu_->menuAction()->isEnabled(); }

    QTemporaryDir dir_;
    QString path_;
    QString savedName_;
    std::unique_ptr<QMenu> menu_;
};

}  // namespace

TEST_F(RecentFilesTest, NoSettingsFileLeavesTheSubmenuEmptyAndDisabled)
{
    {
        TRecentFiles recent(menu_.get());
        EXPECT_EQ(recent.Section, "Recent Files");
        EXPECT_EQ(recent.IniFileName, path_);
        EXPECT_TRUE(menu_->actions().isEmpty());
        EXPECT_FALSE(MenuEnabled());
        EXPECT_FALSE(recent.Modified);
    }
    EXPECT_EQ(Get(), "<missing>");
}

TEST_F(RecentFilesTest, EntryShowsTheFileNameAndHoldsTheFullPath)
{
    TRecentFiles recent(menu_.get());
    recent.AddFile("/data/drawings/amp.q01");
    recent.AddFile("/data/R&D/a&b.q01");
    ASSERT_EQ(menu_->actions().size(), 2);
    QAction* top = menu_->actions()[0];
    EXPECT_EQ(top->text(), "a&&b.q01");
    EXPECT_EQ(top->toolTip(), "/data/R&D/a&b.q01");
    EXPECT_EQ(TRecentFiles::Hint(top), "/data/R&D/a&b.q01");
    EXPECT_EQ(menu_->actions()[1]->text(), "amp.q01");
    EXPECT_TRUE(MenuEnabled());
    recent.Modified = false;  // keep the settings file out of this test
}

TEST_F(RecentFilesTest, TwoLoadsAndExitListTheLastDrawingFirst)
{
    {
        TRecentFiles recent(menu_.get());
        recent.AddFile("/d/a.q01");  // a is closed when b is loaded
        EXPECT_EQ(Captions(), QStringList({"a.q01"}));
        recent.AddFile("/d/b.q01");  // b is closed at exit
        EXPECT_EQ(Captions(), QStringList({"b.q01", "a.q01"}));
        EXPECT_EQ(Get(), "<missing>");  // written only when destroyed
    }
    EXPECT_EQ(Get(), "[Recent Files]\nFile1=/d/b.q01\nFile2=/d/a.q01\n");
}

TEST_F(RecentFilesTest, ListedPathKeepsItsPlace)
{
    Put("[Recent Files]\nFile1=/d/a.q01\nFile2=/d/b.q01\n");
    const QByteArray before = Get();
    {
        TRecentFiles recent(menu_.get());
        recent.AddFile("/d/b.q01");
        EXPECT_EQ(Hints(), QStringList({"/d/a.q01", "/d/b.q01"}));
        EXPECT_FALSE(recent.Modified);
    }
    EXPECT_EQ(Get(), before);
}

TEST_F(RecentFilesTest, PathsInOtherLetterCaseAreSeparateEntries)
{
    TRecentFiles recent(menu_.get());
    recent.AddFile("/d/Amp.q01");
    recent.AddFile("/d/amp.q01");
    recent.AddFile("/D/amp.q01");
    EXPECT_EQ(Hints(), QStringList({"/D/amp.q01", "/d/amp.q01", "/d/Amp.q01"}));
    recent.Modified = false;
}

TEST_F(RecentFilesTest, SevenDrawingsClosedLeaveTheLastSix)
{
    {
        TRecentFiles recent(menu_.get());
        for (int i = 1; i <= 7; ++i) recent.AddFile(QStringLiteral("/d/%1.q01").arg(i));
        EXPECT_EQ(Captions(), QStringList({"7.q01", "6.q01", "5.q01", "4.q01", "3.q01", "2.q01"}));
        EXPECT_EQ(recent.Files().size(), 6);
    }
    EXPECT_EQ(Get(),
              "[Recent Files]\nFile1=/d/7.q01\nFile2=/d/6.q01\nFile3=/d/5.q01\n"
              "File4=/d/4.q01\nFile5=/d/3.q01\nFile6=/d/2.q01\n");
}

TEST_F(RecentFilesTest, KeysAreListedInFileOrderWhateverTheirNames)
{
    Put("[Recent Files]\nFile3=/d/three.q01\nFile1=/d/one.q01\nFile2=/d/two.q01\n");
    TRecentFiles recent(menu_.get());
    EXPECT_EQ(Captions(), QStringList({"three.q01", "one.q01", "two.q01"}));
    EXPECT_TRUE(MenuEnabled());
    EXPECT_FALSE(recent.Modified);
}

TEST_F(RecentFilesTest, EightKeysListTheFirstSixAndNothingIsWrittenBack)
{
    QByteArray content = "[Main]\nFile=/x.q01\n[recent files]\n";
    for (int i = 1; i <= 8; ++i) content += QStringLiteral("F%1=/d/%1.q01\n").arg(i).toUtf8();
    content += "[Form1]\nLeft=1\n";
    Put(content);
    {
        TRecentFiles recent(menu_.get());
        EXPECT_EQ(Captions(), QStringList({"1.q01", "2.q01", "3.q01", "4.q01", "5.q01", "6.q01"}));
        EXPECT_FALSE(recent.Modified);
    }
    EXPECT_EQ(Get(), content);
}

TEST_F(RecentFilesTest, SavingRewritesTheSectionAtTheEndOfTheFile)
{
    QByteArray content = "[Main]\nFile=/x.q01\n[Recent Files]\n";
    for (int i = 1; i <= 8; ++i) content += QStringLiteral("File%1=/d/%1.q01\n").arg(i).toUtf8();
    content += "[Form1]\nLeft=1\n";
    Put(content);
    {
        TRecentFiles recent(menu_.get());
        recent.AddFile("/d/new.q01");
    }
    EXPECT_EQ(Get(),
              "[Main]\nFile=/x.q01\n[Form1]\nLeft=1\n[Recent Files]\nFile1=/d/new.q01\n"
              "File2=/d/1.q01\nFile3=/d/2.q01\nFile4=/d/3.q01\nFile5=/d/4.q01\nFile6=/d/5.q01\n");
}

TEST_F(RecentFilesTest, EntriesAnotherInstanceAddedMeanwhileAreKept)
{
    Put("[Recent Files]\nFile1=/d/x.q01\n");
    auto first = std::make_unique<TRecentFiles>(menu_.get());
    QMenu otherMenu;
    auto second = std::make_unique<TRecentFiles>(&otherMenu);
    second->AddFile("/d/b.q01");
    second.reset();  // the second instance ends first
    EXPECT_EQ(Get(), "[Recent Files]\nFile1=/d/b.q01\nFile2=/d/x.q01\n");
    first->AddFile("/d/a.q01");
    first.reset();
    EXPECT_EQ(Get(), "[Recent Files]\nFile1=/d/a.q01\nFile2=/d/b.q01\nFile3=/d/x.q01\n");
}

TEST_F(RecentFilesTest, SectionWithoutKeysLeavesTheSubmenuDisabled)
{
    Put("[Recent Files]\n[Main]\nFile=x\n");
    TRecentFiles recent(menu_.get());
    EXPECT_TRUE(menu_->actions().isEmpty());
    EXPECT_FALSE(MenuEnabled());
}

TEST_F(RecentFilesTest, ClickingAnEntryReportsItsPath)
{
    Put("[Recent Files]\nFile1=/d/a.q01\nFile2=/d/b.q01\n");
    TRecentFiles recent(menu_.get());
    TRecentFiles* sender = nullptr;
    QString loaded;
    recent.OnClick = [&](TRecentFiles* s) {
        sender = s;
        loaded = s->ClickedFileName();
    };
    EXPECT_EQ(recent.ClickedFileName(), "");
    menu_->actions()[1]->trigger();
    EXPECT_EQ(sender, &recent);
    EXPECT_EQ(loaded, "/d/b.q01");
    EXPECT_EQ(recent.ClickedItem(), recent.Entries()[1]);
    EXPECT_EQ(Hints(), QStringList({"/d/a.q01", "/d/b.q01"}));  // the entry does not move
}

TEST_F(RecentFilesTest, ClickedBottomEntryPushedOffByTheClosedDrawing)
{
    QByteArray content = "[Recent Files]\n";
    for (int i = 1; i <= 6; ++i) content += QStringLiteral("File%1=/d/%1.q01\n").arg(i).toUtf8();
    Put(content);
    TRecentFiles recent(menu_.get());
    QStringList loads;
    // The main window closes the shown drawing before loading the clicked one.
    recent.OnClick = [&](TRecentFiles* s) {
        const QString path = s->ClickedFileName();
        s->AddFile("/d/shown.q01");
        loads << path << s->ClickedFileName();
    };
    menu_->actions()[5]->trigger();
    EXPECT_EQ(loads, QStringList({"/d/6.q01", "/d/6.q01"}));
    EXPECT_EQ(Hints(), QStringList({"/d/shown.q01", "/d/1.q01", "/d/2.q01", "/d/3.q01", "/d/4.q01", "/d/5.q01"}));
    recent.AddFile("/d/6.q01");  // closed again: back at the top
    EXPECT_EQ(Hints().front(), "/d/6.q01");
    EXPECT_EQ(Hints().size(), 6);
    recent.Modified = false;
}

TEST_F(RecentFilesTest, RefusedSaveAtDestructionIsShownInTheErrorBox)
{
    RecordingDialogs dialogs;
    SetDialogs(&dialogs);
    const QString blocked = path_ + "/x.ini";
    Put("");
    {
        TRecentFiles recent(menu_.get());
        recent.IniFileName = blocked;
        recent.AddFile("/d/a.q01");
    }
    SetDialogs(nullptr);
    EXPECT_EQ(dialogs.errors, QStringList({"Unable to write to " + blocked}));
}

TEST_F(RecentFilesTest, DamagedSettingsFileStillLoads)
{
    Put(QByteArray("\x01\x02garbage\r\n[Recent Files]\r\nFile1=\"/d/quoted.q01\"\r\n\xff\xfe\r\nFile2=  /d/b.q01  "));
    TRecentFiles recent(menu_.get());
    EXPECT_EQ(Hints(), QStringList({"/d/quoted.q01", "/d/b.q01"}));
}
