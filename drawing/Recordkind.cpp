#include "drawing/Recordkind.h"

#include <array>

#include "drawing/Annotate.h"
#include "drawing/Bitmap.h"
#include "drawing/Docbox.h"
#include "drawing/Header.h"
#include "drawing/Junction.h"
#include "drawing/Linedata.h"
#include "drawing/Module_0x60.h"

namespace {

template <std::int64_t N>
std::int64_t Fixed(const std::uint8_t*, std::size_t)
{
    return N;
}

std::int64_t DocBoxLength(const std::uint8_t* start, std::size_t available)
{
    // Head block, then n text blocks; n = byte 12 of the head.
    if (available < 16) return 16;
    return 16 + 16 * std::int64_t(start[12]);
}

template <typename T>
std::unique_ptr<QuorvidObject> Make(const std::uint8_t*& pos, const std::uint8_t* end, const TPageState*)
{
    return std::make_unique<T>(pos, end);
}

// Component bodies are rendered by the loader once the walk is done, all of
// them together on every core.
std::unique_ptr<QuorvidObject> MakeBitmap(const std::uint8_t*& pos, const std::uint8_t* end, const TPageState*)
{
    return std::make_unique<Bitmap>(pos, end, Bitmap::TBody::Later);
}

std::unique_ptr<QuorvidObject> MakeHeader(const std::uint8_t*& pos, const std::uint8_t* end, const TPageState* page)
{
    return std::make_unique<Header>(pos, end, page);
}

using TSplit = TRecordKind::TSplit;
const std::array<TRecordKind, 8> kinds{{
    {0x00, Fixed<16>, MakeHeader, TSplit::Every, nullptr},
    {0x10, Fixed<16>, Make<LineData>, TSplit::Own, "Line"},
    {0x20, Fixed<16>, Make<Junction>, TSplit::Own, "Junction"},
    {0x30, Fixed<32>, Make<Annotate>, TSplit::Own, "Annotate"},
    {0x40, Fixed<16>, nullptr, TSplit::None, nullptr},
    {0x50, DocBoxLength, Make<DocBox>, TSplit::Own, "DocBox"},
    {0x60, Fixed<16>, Make<Mod0x60>, TSplit::None, nullptr},
    {0x70, Bitmap::ComponentLength, MakeBitmap, TSplit::Own, "Bitmap"},
}};

}  // namespace

const TRecordKind* FindRecordKind(std::uint8_t type)
{
    for (const TRecordKind& kind : kinds)
        if (kind.Type == type) return &kind;
    return nullptr;
}

const std::vector<TSplitFile>& SplitFiles()
{
    // Opened in this order; each file's name is the kind name of its records.
    static const std::vector<TSplitFile> files = [] {
        std::vector<TSplitFile> list;
        for (const char* name : {"Bitmap", "Junction", "DocBox", "Line", "Annotate"})
            for (const TRecordKind& kind : kinds)
                if (kind.SplitName && QString::fromLatin1(kind.SplitName) == QLatin1String(name))
                    list.push_back({kind.SplitName, kind.Type});
        return list;
    }();
    return files;
}

std::int64_t RecordLength(const std::uint8_t* start, std::size_t available)
{
    if (available == 0) return -1;
    const TRecordKind* kind = FindRecordKind(start[0]);
    return kind ? kind->Length(start, available) : -1;
}
