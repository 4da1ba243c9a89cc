#pragma once
// A drawing: the objects built from the records of a drawing file, in file
// order, and its page (size, rectangle, background).
//
// Loading walks a file image once, record by record (the record kinds and
// their lengths: drawing/Recordkind.h), and can copy every record, byte for
// byte, into one split file per object kind; then it renders the component
// bodies, on as many threads as there are cores. It shows nothing: what happened
// comes back as a TLoadResult, which the window turns into messages. Painting
// hands the target a paint of every object with the settings it is given
// (TDrawingPaint), so a drawing can be loaded, drawn and exported without any
// window; what the target makes of the paint is its own.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "drawing/Header.h"
#include "drawing/Quorvidobject.h"
#include "render/Drawtarget.h"

class Bitmap;
struct TObjectSettings;

// Something the walk met that the user is told about, at its record's offset.
struct TLoadEvent {
    enum class TKind {
        Skipped,      // a record of type 0x40, skipped
        UnknownType,  // a type byte that names no record; the walk ends there
        CutShort,     // a record that runs past the end of the data; the walk ends there
    };
    TKind Kind;
    std::uint64_t Offset;  // of the record's first byte
    std::uint8_t Type;
};

struct TLoadResult {
    // The walk reached the end of the data.
    bool Complete = true;
    // In file order; only the last can end the walk.
    std::vector<TLoadEvent> Events;
    // Components drawn as outlines because their rasters would exceed the
    // memory budget.
    int Simplified = 0;
    // The page size table index of the last header, if there was one.
    std::optional<int> PageIndex;
    // Memory ran out: the walk ended there, with the objects built so far.
    bool OutOfMemory = false;
    // A split file could not be written ("Unable to write to ..."): the walk
    // ended after the record it could not take.
    std::optional<QString> SplitError;
};

// The message for an event: "0x40", "00000030 : Type 15", "The record at
// 00000020 (type 30) is cut short by the end of the file; the drawing is shown
// up to it."
QString LoadEventText(const TLoadEvent& event);

class TDrawing {
public:
    using TObjectList = std::vector<std::unique_ptr<QuorvidObject>>;

    TDrawing() = default;
    TDrawing(const TDrawing&) = delete;
    TDrawing& operator=(const TDrawing&) = delete;

    // The objects in file order, which is the painting and hit-test order.
    TObjectList& Objects() { return objects_; }
    const TObjectList& Objects() const { return objects_; }
    // The drawing's page. It outlives loads: a drawing without a header keeps
    // the page size it had.
    TPageState& Page() { return page_; }
    const TPageState& Page() const { return page_; }

    // Replaces the objects with those of the records in data[0, size). Each
    // header makes its page size current (a code whose index lies outside the
    // table keeps it) and the background white. With splitDir, every record
    // also goes to its split files in that existing directory; a split file
    // that cannot be opened raises EFileError before the walk (the drawing is
    // then empty); one that cannot be written ends the walk (SplitError).
    TLoadResult Load(const std::uint8_t* data, std::size_t size, const std::optional<QString>& splitDir = {});
    TLoadResult Load(const QByteArray& data, const std::optional<QString>& splitDir = {});
    // Destroys the objects, first to last.
    void Clear();

    // Paints the drawing on the target with these settings: hands the
    // target the paint (TDrawingPaint) as it begins, draws every object in
    // list order from the drawing state every paint starts from (within the
    // paint the state one object leaves carries over to the next), and ends
    // the paint.
    void Paint(TDrawTarget& target, const TObjectSettings& settings);
    // What the objects get to draw with.
    TDrawContext Context(const TObjectSettings& settings) const;

    // The components, in list order.
    std::vector<const Bitmap*> Components() const;

    // How many threads render component bodies after a walk and build a
    // drawing's nets: 0 (the start value) for one per core, 1 for the calling
    // thread alone. The bodies and the nets are the same whatever the number.
    static void SetRenderThreads(int threads);
    static int RenderThreads();

private:
    // Renders the bodies the walk left for later; a body that runs out of
    // memory ends the drawing before its component, as it would have ended
    // the walk there (true then).
    bool RenderBodies();
    // The runs of the components' bodies in list order, each body rendered
    // first, as drawing them will ask for them.
    std::vector<const TRasterRuns*> BodyRuns();

    // Objects before the last header are painted over by it when the target
    // is the page: they are drawn on a stand-in only for the drawing state
    // they leave. Returns the index of the first object to draw for real.
    std::size_t DrawCovered(TDrawTarget& target, const TDrawContext& context);

    friend class TDrawingPaint;
    TObjectList objects_;
    TPageState page_;
    bool lookedAhead_ = false;  // since the last load
};

// A paint of a drawing with settings, as its targets are handed it: the
// objects, and whether a target has looked ahead at them since the load.
class TDrawingPaint final : public TPaintSource {
public:
    TDrawingPaint(TDrawing& drawing, const TObjectSettings& settings) : drawing_(drawing), settings_(settings) {}
    void Draw(TDrawTarget& target) override;
    bool FirstLookAhead() override;

private:
    TDrawing& drawing_;
    const TObjectSettings& settings_;
};
