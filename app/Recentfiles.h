#pragma once
// TRecentFiles: the File > "Recent Files" submenu, up to six drawing paths,
// most recently added at the top, kept in the settings file section
// "Recent Files" under the keys "File1" (top) to "File6".
//
// Each entry is an action of the submenu: its text is the file name part of
// the path ("&" doubled so it shows as itself), its data and tool tip hold the
// full path (the entry's hint). Paths compare exactly, letter case included.
// The list is read from the settings file on construction and written back on
// destruction, only if an entry was added meanwhile. Writing keeps what
// another instance of the program added to the file since: the entries
// added here come first, then the file's list as it is then, six in all.

#include <QAction>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>

class TIniFile;

class TRecentFiles : public QObject {
    Q_OBJECT

public:
    static constexpr int MaxEntries = 6;

    // Takes the submenu whose entries it manages, reads them from the
    // settings file, and starts unmodified.
    explicit TRecentFiles(QMenu* menuItem, QObject* parent = nullptr);
    // Saves the list if it was modified; a refused write is shown in the
    // error box. The entries stay with their submenu.
    ~TRecentFiles() override;

    QMenu* MenuItem() const { return menuItem_; }
    QString Section;      // "Recent Files"
    QString IniFileName;  // the settings file
    bool Modified = false;
    // Bound by the main window; called with this list as sender when an entry
    // is clicked.
    std::function<void(TRecentFiles* sender)> OnClick;

    // Puts a path at the top unless it is listed already; at most six remain.
    void AddFile(const QString& path);
    void Load();
    void Save();
    void LoadFromIni(TIniFile& ini);
    void SaveToIni(TIniFile& ini);

    // Click handler of every entry.
    void ItemClick(QAction* sender);
    QAction* ClickedItem() const { return clickedItem_; }
    // The full path of the entry clicked last (empty if none).
    QString ClickedFileName() const;

    // The listed paths, top first, and the entry actions in the same order.
    const QStringList& Files() const { return files_; }
    QList<QAction*> Entries() const;
    // The full path an entry stands for.
    static QString Hint(const QAction* entry);

private:
    void RemoveEntry(qsizetype index);

    QPointer<QMenu> menuItem_;
    QStringList files_;
    // The entries as the settings file was last read or written.
    QStringList read_;
    QList<QPointer<QAction>> entries_;
    QPointer<QAction> clickedItem_;
    QString clickedFileName_;
};
