#include "app/Recentfiles.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>

#include "settings/Inifile.h"
#include "ui/Dialogs.h"

TRecentFiles::TRecentFiles(QMenu* menuItem, QObject* parent)
    : QObject(parent),
      Section(QStringLiteral("Recent Files")),
      IniFileName(SettingsFileName()),
      menuItem_(menuItem)
{
    if (menuItem_) menuItem_->setToolTipsVisible(true);
    Load();
    Modified = false;
}

TRecentFiles::~TRecentFiles()
{
    if (Modified) Guarded([this] { Save(); });
}

void TRecentFiles::AddFile(const QString& path)
{
    if (files_.contains(path, Qt::CaseSensitive)) return;

    QString caption = QFileInfo(path).fileName();
    caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
    QAction* entry = new QAction(caption, menuItem_ ? static_cast<QObject*>(menuItem_.data()) : this);
    entry->setData(path);
    entry->setToolTip(path);
    connect(entry, &QAction::triggered, this, [this, entry] { Guarded([this, entry] { ItemClick(entry); }); });

    if (menuItem_) {
        const QList<QAction*> actions = menuItem_->actions();
        if (actions.isEmpty())
            menuItem_->addAction(entry);
        else
            menuItem_->insertAction(actions.front(), entry);
        menuItem_->menuAction()->setEnabled(true);
    }
    files_.prepend(path);
    entries_.prepend(entry);
    Modified = true;

    while (files_.size() > MaxEntries) RemoveEntry(MaxEntries);
}

void TRecentFiles::RemoveEntry(qsizetype index)
{
    QPointer<QAction> entry = entries_.takeAt(index);
    files_.removeAt(index);
    if (!entry) return;
    if (menuItem_) menuItem_->removeAction(entry);
    // The entry may be the one whose click is being handled right now.
    entry->deleteLater();
}

void TRecentFiles::Load()
{
    TIniFile ini(IniFileName);
    LoadFromIni(ini);
}

void TRecentFiles::Save()
{
    TIniFile ini(IniFileName);
    SaveToIni(ini);
}

void TRecentFiles::LoadFromIni(TIniFile& ini)
{
    bool any = false;
    if (ini.SectionExists(Section)) {
        const QStringList keys = ini.ReadSection(Section);
        any = !keys.isEmpty();
        // From the last key to the first, each to the top: file order results.
        for (qsizetype k = keys.size() - 1; k >= 0; --k) AddFile(ini.ReadString(Section, keys[k], QString()));
    }
    read_ = files_;
    if (menuItem_) menuItem_->menuAction()->setEnabled(any);
}

void TRecentFiles::SaveToIni(TIniFile& ini)
{
    // The entries added here since the file was read, then the list as the
    // file has it now: what another instance of the program wrote since
    // this one read the file stays listed.
    QStringList list;
    for (const QString& path : files_)
        if (!read_.contains(path, Qt::CaseSensitive)) list << path;
    for (const QString& key : ini.ReadSection(Section)) {
        const QString path = ini.ReadString(Section, key, QString());
        if (!list.contains(path, Qt::CaseSensitive)) list << path;
    }
    list = list.mid(0, MaxEntries);

    ini.EraseSection(Section);
    for (qsizetype i = 0; i < list.size(); ++i) ini.WriteString(Section, QStringLiteral("File%1").arg(i + 1), list[i]);
    read_ = list;
}

void TRecentFiles::ItemClick(QAction* sender)
{
    clickedItem_ = sender;
    clickedFileName_ = Hint(sender);
    if (OnClick) OnClick(this);
}

QString TRecentFiles::ClickedFileName() const { return clickedItem_ ? Hint(clickedItem_) : clickedFileName_; }

QList<QAction*> TRecentFiles::Entries() const
{
    QList<QAction*> list;
    for (const QPointer<QAction>& entry : entries_) list << entry.data();
    return list;
}

QString TRecentFiles::Hint(const QAction* entry) { return entry ? entry->data().toString() : QString(); }
