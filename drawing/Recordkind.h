#pragma once
// The record kinds of a drawing file, in one table: the type byte, how long
// a record of that kind is, the object it becomes and the split file that
// receives it when a drawing is split by object kind.

#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "drawing/Quorvidobject.h"

struct TPageState;

struct TRecordKind {
    // Which split files receive a record of this kind.
    enum class TSplit { None, Own, Every };

    std::uint8_t Type;
    // Length in bytes of the record starting at `start`, of which `available`
    // bytes are there; counts that lie beyond them are read as absent.
    std::int64_t (*Length)(const std::uint8_t* start, std::size_t available);
    // Builds the record's object and advances pos past it; null for a kind
    // that makes no object (0x40, which is only skipped). A component is
    // built with its body left for later: the loader renders the bodies of
    // the whole drawing at once (Bitmap::RenderBody).
    std::unique_ptr<QuorvidObject> (*Make)(const std::uint8_t*& pos, const std::uint8_t* end, const TPageState* page);
    TSplit Split;
    // The split file of its own ("Line" for Line.q01), for TSplit::Own.
    const char* SplitName;
};

// The kind of a type byte, or null when the type names no record.
const TRecordKind* FindRecordKind(std::uint8_t type);

// The split files, in the order they are opened: "Bitmap", "Junction",
// "DocBox", "Line", "Annotate", with the type each receives of its own.
struct TSplitFile {
    const char* Name;
    std::uint8_t Type;
};
const std::vector<TSplitFile>& SplitFiles();
