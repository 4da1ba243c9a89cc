#pragma once
// The drawings of an archive: every file whose name ends in ".q01" (in any
// letter case) below the named folders, and every named file whatever its
// name, in the order they were named, each folder's entries in name order.
//
// Symbolic links are followed, each folder and each file only once: a
// folder reached again (through a link, or a link that leads round to a
// folder above it) is not walked again, and a file reached again is not
// listed again. Names that start with a dot (hidden files and folders) are
// passed over below a named folder.
//
// A drawing's path is the named path followed by the names below it, cleaned
// ("archive/2019/amp.q01" below "archive/"); it names the drawing on every
// machine that walks the same command line, so it is what the drawing's id
// and shard are made from.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <set>
#include <vector>

struct TFoundDrawing {
    QString Path;    // as walked: "archive/2019/amp.q01"
    QString Folder;  // the folder part of Path: "archive/2019" ("." for none)
    QString Name;    // the file name: "amp.q01"
    // The time of its last change, in milliseconds since 1970 (UTC); 0 when
    // it is not known (a named path where nothing is).
    std::int64_t Modified = 0;
};

class TArchiveWalk {
public:
    // Walks the named paths. A named path where nothing is, or that cannot
    // be looked at, is listed as it is (its conversion says why it cannot be
    // read); a folder below that cannot be read adds its message to
    // Problems().
    void Walk(const QStringList& paths);

    const std::vector<TFoundDrawing>& Drawings() const { return drawings_; }
    // "Folder 'archive/locked' cannot be read: Permission denied", one for
    // each folder that could not be listed.
    const QStringList& Problems() const { return problems_; }

    // The 64-bit FNV-1a hash of a path's UTF-8 bytes: the same on every
    // machine and in every run.
    static std::uint64_t PathHash(const QString& path);
    // The drawing's id: PathHash as 16 hexadecimal digits.
    static QString DrawingId(const QString& path);
    // Whether the drawing at path belongs to part `index` (0-based) of
    // `count` parts of the archive.
    static bool InShard(const QString& path, int index, int count);

private:
    void WalkFolder(const QString& shown, int depth);
    void Add(const QString& shown, bool named);
    std::vector<TFoundDrawing> drawings_;
    QStringList problems_;
    std::set<QString> visitedFolders_;  // canonical paths
    std::set<QString> visitedFiles_;
};
