#pragma once
// What a site already holds: the record of every drawing converted into it
// (drawings/ID/record.json), read at the start of a run, so that a drawing
// whose bytes and conditions have not changed since is not converted again,
// and a drawing that is gone from the archive leaves the site.

#include <QString>
#include <map>
#include <optional>
#include <set>

#include "catalogue/Drawingfacts.h"

class TArchiveState {
public:
    // Reads the records of the site at `site`; folders without a record of
    // ours are passed over.
    void Read(const QString& site);

    // The record of the drawing at `path`, taken out of the state, when it
    // is up to date: of these bytes (hash), converted under these
    // conditions, read at all, and every file it names still in the site.
    std::optional<TDrawingFacts> TakeUpToDate(const QString& path, const QString& hash, const QString& conditions);

    // Removes from the site every drawing whose id is not in `found`: the
    // files its record names, the record and its folder. With a shard
    // (index of count), only the drawings of that shard. Returns how many
    // were removed.
    int RemoveGone(const std::set<QString>& found, int shardIndex, int shardCount);

private:
    QString site_;
    std::map<QString, TDrawingFacts> records_;
};
