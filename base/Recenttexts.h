#pragma once
// Values last kept for texts, one for each slot of a cheap hash of the text:
// a front to a table, for the few texts a paint asks for again and again
// (pin numbers and names, designations), found without the table's hashing.
#include <QByteArray>

#include "base/Ownedbytes.h"
#include <array>
#include <cstddef>
#include <cstdint>

template <typename T, std::size_t slotCount>
class TRecentTexts {
public:
    // The value kept for the text, or null.
    const T* Find(const QByteArray& text) const
    {
        const Slot& slot = slots_[SlotOf(text)];
        return slot.Kept && slot.Text == text ? &slot.Value : nullptr;
    }
    // Keeps a value for the text, in place of the one its slot held.
    void Keep(const QByteArray& text, const T& value) { slots_[SlotOf(text)] = {OwnedBytes(text), value, true}; }
    void Clear() { slots_.fill({}); }

private:
    struct Slot {
        QByteArray Text;
        T Value{};
        bool Kept = false;
    };
    static std::size_t SlotOf(const QByteArray& text)
    {
        std::uint32_t h = 2166136261u;  // FNV-1a
        for (const char c : text) h = (h ^ std::uint8_t(c)) * 16777619u;
        return (h ^ (h >> 16)) % slotCount;
    }
    std::array<Slot, slotCount> slots_{};
};
