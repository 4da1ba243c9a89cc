#include "drawing/Drawing.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <new>
#include <typeinfo>

#include "app/Surface.h"
#include "base/Errors.h"
#include "base/Parallel.h"
#include "drawing/Bitmap.h"
#include "drawing/Objectsettings.h"
#include "drawing/Recordkind.h"

namespace {

QString Hex(std::uint64_t value, int digits)
{
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

// The split files of one load, open from the first record to the last.
class TSplitWriter {
public:
    explicit TSplitWriter(const QString& directory)
    {
        for (const TSplitFile& kind : SplitFiles()) {
            const QString name = directory + QDir::separator() + QLatin1String(kind.Name) + QStringLiteral(".q01");
            const bool existed = QFileInfo::exists(name);
            auto file = std::make_unique<QFile>(name);
            // Opened from its first byte and cut to what this load writes.
            if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate))
                throw EFileError(
                    (existed ? QStringLiteral("Cannot open file ") : QStringLiteral("Cannot create file ")) +
                    QDir::toNativeSeparators(name));
            files_.push_back({std::move(file), kind.Type});
        }
    }

    void Write(const TRecordKind& kind, const std::uint8_t* record, std::int64_t length)
    {
        if (kind.Split == TRecordKind::TSplit::None) return;
        for (Entry& entry : files_) {
            if (kind.Split == TRecordKind::TSplit::Own && entry.Type != kind.Type) continue;
            if (entry.File->write(reinterpret_cast<const char*>(record), length) != length)
                throw EFileError(QStringLiteral("Unable to write to ") +
                                 QDir::toNativeSeparators(entry.File->fileName()));
        }
    }

private:
    struct Entry {
        std::unique_ptr<QFile> File;
        std::uint8_t Type;
    };
    std::vector<Entry> files_;
};

}  // namespace

QString LoadEventText(const TLoadEvent& event)
{
    switch (event.Kind) {
    case TLoadEvent::TKind::Skipped: return QStringLiteral("0x40");
    case TLoadEvent::TKind::UnknownType:
        return QStringLiteral("%1 : Type %2").arg(Hex(event.Offset, 8), Hex(event.Type, 2));
    case TLoadEvent::TKind::CutShort:
        return QStringLiteral(
                   "The record at %1 (type %2) is cut short by the end of the file; "
                   "the drawing is shown up to it.")
            .arg(Hex(event.Offset, 8), Hex(event.Type, 2));
    }
    return QString();
}

TLoadResult TDrawing::Load(const QByteArray& data, const std::optional<QString>& splitDir)
{
    return Load(reinterpret_cast<const std::uint8_t*>(data.constData()), std::size_t(data.size()), splitDir);
}

TLoadResult TDrawing::Load(const std::uint8_t* data, std::size_t size, const std::optional<QString>& splitDir)
{
    Clear();
    std::optional<TSplitWriter> split;
    if (splitDir) split.emplace(*splitDir);

    TLoadResult result;
    Bitmap::ResetSimplifiedCount();
    const std::uint8_t* const end = data + size;
    const std::uint8_t* pos = data;
    try {
        while (pos < end) {
            const std::uint8_t* const record = pos;
            const std::uint8_t type = *pos;
            const auto available = std::size_t(end - pos);
            const std::uint64_t offset = std::uint64_t(record - data);
            const TRecordKind* kind = FindRecordKind(type);
            if (kind == nullptr) {
                result.Events.push_back({TLoadEvent::TKind::UnknownType, offset, type});
                result.Complete = false;
                break;
            }
            const std::int64_t length = kind->Length(record, available);
            if (std::uint64_t(length) > available) {
                result.Events.push_back({TLoadEvent::TKind::CutShort, offset, type});
                result.Complete = false;
                break;
            }
            if (kind->Make == nullptr) {
                result.Events.push_back({TLoadEvent::TKind::Skipped, offset, type});
                pos = record + length;
                continue;
            }
            std::unique_ptr<QuorvidObject> object = kind->Make(pos, end, &page_);
            pos = record + length;  // every record is exactly its framed length
            if (auto* header = dynamic_cast<Header*>(object.get())) {
                const int index = header->GetPageIndex();
                result.PageIndex = index;
                const QSize pageSize = GetPageSize(index);
                if (!pageSize.isEmpty()) page_.SetSize(pageSize);
                page_.Background = clWhite;
            }
            objects_.push_back(std::move(object));
            if (split) split->Write(*kind, record, length);
        }
    } catch (const EFileError& e) {
        result.SplitError = e.Message();
        result.Complete = false;
    } catch (const std::bad_alloc&) {
        result.OutOfMemory = true;
        result.Complete = false;
    }
    if (RenderBodies()) {
        result.OutOfMemory = true;
        result.Complete = false;
    }
    result.Simplified = Bitmap::SimplifiedCount();
    return result;
}

namespace {
int renderThreads = 0;
}

void TDrawing::SetRenderThreads(int threads) { renderThreads = std::max(threads, 0); }
int TDrawing::RenderThreads() { return renderThreads; }

std::vector<const TRasterRuns*> TDrawing::BodyRuns()
{
    std::vector<const TRasterRuns*> runs;
    for (const auto& object : objects_)
        if (auto* component = dynamic_cast<Bitmap*>(object.get())) {
            component->RenderBody();
            runs.push_back(&component->BodyRuns());
        }
    return runs;
}

bool TDrawing::RenderBodies()
{
    // The components in list order, by their index in the list.
    std::vector<std::pair<std::size_t, Bitmap*>> bodies;
    for (std::size_t i = 0; i < objects_.size(); ++i)
        if (auto* component = dynamic_cast<Bitmap*>(objects_[i].get())) bodies.emplace_back(i, component);
    if (bodies.empty()) return false;

    // Each thread takes the next body not taken yet. A body that runs out of
    // memory marks the first such component; bodies after it need not be
    // rendered, as they will go.
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> failed{bodies.size()};
    auto work = [&] {
        for (;;) {
            const std::size_t k = next.fetch_add(1, std::memory_order_relaxed);
            if (k >= bodies.size() || k > failed.load(std::memory_order_relaxed)) return;
            try {
                bodies[k].second->RenderBody();
            } catch (const std::bad_alloc&) {
                std::size_t seen = failed.load();
                while (k < seen && !failed.compare_exchange_weak(seen, k)) {
                }
            }
        }
    };
    // A thread costs about as much as a few small bodies: small drawings stay on this one.
    const std::size_t threads = std::min<std::size_t>(
        {std::size_t(ThreadsFor(renderThreads)), std::max<std::size_t>(1, bodies.size() / 16), 64});
    RunParts(int(threads), [&](int) { work(); });  // each takes the next body to render

    if (failed.load() == bodies.size()) return false;
    // As the walk would have: the objects before the component that did not
    // fit stay, it and everything after it go.
    objects_.erase(objects_.begin() + std::ptrdiff_t(bodies[failed.load()].first), objects_.end());
    return true;
}

void TDrawing::Clear()
{
    // First to last, as taking them one by one from the front would, without
    // moving the rest of the list each time.
    for (auto& object : objects_) object.reset();
    objects_.clear();
    lookedAhead_ = false;
}

TDrawContext TDrawing::Context(const TObjectSettings& settings) const
{
    return TDrawContext{&settings, page_.Rect, page_.Background};
}

void TDrawing::Paint(TDrawTarget& target, const TObjectSettings& settings)
{
    TDrawingPaint paint(*this, settings);
    target.BeginPaint(paint);
    try {
        if (target.PreparesRuns()) target.PrepareRuns(BodyRuns());
        paint.Draw(target);
    } catch (...) {
        target.EndPaint();
        throw;
    }
    target.EndPaint();
}

void TDrawingPaint::Draw(TDrawTarget& target)
{
    target.ResetState();
    const TDrawContext context = drawing_.Context(settings_);
    TDrawing::TObjectList& objects = drawing_.objects_;
    const std::size_t n = objects.size();
    for (std::size_t i = drawing_.DrawCovered(target, context); i < n && i < objects.size(); ++i)
        objects[i]->Draw(target, context);
}

bool TDrawingPaint::FirstLookAhead()
{
    if (drawing_.lookedAhead_) return false;
    drawing_.lookedAhead_ = true;
    return true;
}

std::size_t TDrawing::DrawCovered(TDrawTarget& target, const TDrawContext& context)
{
    const TRect page = context.PageRect;
    if (page.Left != 0 || page.Top != 0 || target.Width() != page.Right || target.Height() != page.Bottom) return 0;
    std::size_t last = 0;
    for (std::size_t i = objects_.size(); i-- > 1;) {
        // (A final class: no dynamic cast needed. Its type's info is one
        // object in the program, so the address alone tells it; were it not,
        // the objects before the header would only be painted for real.)
        const QuorvidObject& object = *objects_[i];
        if (&typeid(object) == &typeid(Header)) {
            last = i;
            break;
        }
    }
    if (last == 0) return 0;

    TSurface standIn(1, 1);
    standIn.Pen = target.Pen;
    standIn.Brush = target.Brush;
    standIn.Font = target.Font;
    standIn.MoveTo(target.PenPos.x(), target.PenPos.y());
    for (std::size_t i = 0; i < last; ++i) objects_[i]->Draw(standIn, context);
    // A one-pixel dashed pen would outline the page with gaps, through which
    // what the objects before drew would show.
    const bool dashed = standIn.Pen.Width <= 1 && standIn.Pen.Style >= psDash && standIn.Pen.Style <= psDashDotDot;
    if (dashed) return 0;
    target.Pen = standIn.Pen;
    target.Brush = standIn.Brush;
    target.Font = standIn.Font;
    target.MoveTo(standIn.PenPos.x(), standIn.PenPos.y());
    return last;
}

std::vector<const Bitmap*> TDrawing::Components() const
{
    std::vector<const Bitmap*> components;
    for (const auto& object : objects_)
        if (object->IsClass(QStringLiteral("Bitmap"))) components.push_back(static_cast<const Bitmap*>(object.get()));
    return components;
}
