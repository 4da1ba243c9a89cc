#include "catalogue/Archivewalk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace {
// Deeper than this a walk goes no further: a chain of folders that deep is
// no archive.
constexpr int maxDepth = 64;

QString Canonical(const QString& path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QFileInfo(path).absoluteFilePath() : canonical;
}

std::int64_t ModifiedOf(const struct stat& info)
{
    return std::int64_t(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000;
}

QString Joined(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}
}  // namespace

void TArchiveWalk::Walk(const QStringList& paths)
{
    for (const QString& named : paths) {
        const QString shown = QDir::cleanPath(named);
        struct stat info {};
        if (::stat(QFile::encodeName(shown).constData(), &info) == 0 && S_ISDIR(info.st_mode)) {
            if (visitedFolders_.insert(Canonical(shown)).second) WalkFolder(shown, 0);
        } else {
            Add(shown, true);
        }
    }
}

void TArchiveWalk::WalkFolder(const QString& shown, int depth)
{
    const QByteArray encoded = QFile::encodeName(shown);
    DIR* folder = ::opendir(encoded.constData());
    if (!folder) {
        problems_ << QStringLiteral("Folder '%1' cannot be read: %2")
                         .arg(QDir::toNativeSeparators(shown), QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    QStringList names;
    while (const dirent* entry = ::readdir(folder)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (!name.startsWith(QLatin1Char('.'))) names << name;
    }
    ::closedir(folder);
    std::sort(names.begin(), names.end());
    QStringList folders;
    for (const QString& name : names) {
        const QString path = Joined(shown, name);
        struct stat info {};
        // Links are followed: what counts is where they lead.
        if (::stat(QFile::encodeName(path).constData(), &info) != 0) continue;
        if (S_ISDIR(info.st_mode))
            folders << path;
        else if (S_ISREG(info.st_mode) && name.endsWith(QLatin1String(".q01"), Qt::CaseInsensitive))
            Add(path, false);
    }
    if (depth >= maxDepth) return;
    for (const QString& path : folders)
        if (visitedFolders_.insert(Canonical(path)).second) WalkFolder(path, depth + 1);
}

void TArchiveWalk::Add(const QString& shown, bool named)
{
    struct stat info {};
    const bool exists = ::stat(QFile::encodeName(shown).constData(), &info) == 0;
    // A file reached again through a link is listed once; a named path
    // where nothing is, is listed as named.
    if (exists && !visitedFiles_.insert(Canonical(shown)).second) return;
    if (!exists && !named) return;
    TFoundDrawing found;
    found.Path = shown;
    const qsizetype slash = shown.lastIndexOf(QLatin1Char('/'));
    found.Folder = slash < 0 ? QStringLiteral(".") : slash == 0 ? QStringLiteral("/") : shown.left(slash);
    found.Name = shown.mid(slash + 1);
    found.Modified = exists ? ModifiedOf(info) : 0;
    drawings_.push_back(found);
}

std::uint64_t TArchiveWalk::PathHash(const QString& path)
{
    std::uint64_t hash = 14695981039346656037ull;
    for (const char byte : path.toUtf8()) {
        hash ^= std::uint8_t(byte);
        hash *= 1099511628211ull;
    }
    return hash;
}

QString TArchiveWalk::DrawingId(const QString& path)
{
    return QStringLiteral("%1").arg(PathHash(path), 16, 16, QLatin1Char('0'));
}

bool TArchiveWalk::InShard(const QString& path, int index, int count)
{
    return count <= 1 || PathHash(path) % std::uint64_t(count) == std::uint64_t(index);
}
