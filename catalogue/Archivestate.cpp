#include "catalogue/Archivestate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "catalogue/Archivewalk.h"
#include "catalogue/Drawingconversion.h"

namespace {
// A record is a few kilobytes, a dense sheet's a megabyte or two.
constexpr qint64 maxRecordBytes = qint64(64) << 20;

// A file name a record may name: a plain name in the drawing's folder.
bool PlainName(const QString& name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.startsWith(QLatin1Char('.'));
}
}  // namespace

void TArchiveState::Read(const QString& site)
{
    site_ = site;
    records_.clear();
    static const QRegularExpression id(QStringLiteral("^[0-9a-f]{16}$"));
    const QDir drawings(site + QStringLiteral("/drawings"));
    for (const QString& name : drawings.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        if (!id.match(name).hasMatch()) continue;
        QFile file(site + QLatin1Char('/') + TDrawingConversion::RecordOf(name));
        if (!file.open(QIODevice::ReadOnly)) continue;
        std::optional<TDrawingFacts> record = TDrawingFacts::FromJson(file.read(maxRecordBytes));
        if (!record || record->Id != name || record->Id != TArchiveWalk::DrawingId(record->Path)) continue;
        records_.emplace(name, std::move(*record));
    }
}

std::optional<TDrawingFacts> TArchiveState::TakeUpToDate(const QString& path, const QString& hash,
                                                         const QString& conditions)
{
    const auto it = records_.find(TArchiveWalk::DrawingId(path));
    if (it == records_.end()) return std::nullopt;
    const TDrawingFacts& record = it->second;
    if (record.Path != path || record.Hash != hash || record.Conditions != conditions || hash.isEmpty() ||
        record.Status == TDrawingFacts::TStatus::Unreadable || record.File(QStringLiteral("page")).isEmpty())
        return std::nullopt;
    const QString folder = site_ + QLatin1Char('/') + TDrawingConversion::FolderOf(record.Id) + QLatin1Char('/');
    for (const auto& file : record.Files)
        if (!PlainName(file.second) || !QFileInfo(folder + file.second).isFile()) return std::nullopt;
    std::optional<TDrawingFacts> taken(std::move(it->second));
    records_.erase(it);
    return taken;
}

int TArchiveState::RemoveGone(const std::set<QString>& found, int shardIndex, int shardCount)
{
    int removed = 0;
    for (auto it = records_.begin(); it != records_.end();) {
        const TDrawingFacts& record = it->second;
        if (found.count(record.Id) || !TArchiveWalk::InShard(record.Path, shardIndex, shardCount)) {
            ++it;
            continue;
        }
        const QString folder = site_ + QLatin1Char('/') + TDrawingConversion::FolderOf(record.Id);
        for (const auto& file : record.Files)
            if (PlainName(file.second)) QFile::remove(folder + QLatin1Char('/') + file.second);
        QFile::remove(site_ + QLatin1Char('/') + TDrawingConversion::RecordOf(record.Id));
        QDir().rmdir(folder);  // only when nothing else is left in it
        ++removed;
        it = records_.erase(it);
    }
    return removed;
}
