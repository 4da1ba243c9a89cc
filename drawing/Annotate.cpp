#include "drawing/Annotate.h"

#include <algorithm>

#include "drawing/Objectsettings.h"

namespace {
constexpr int MaxChars = 22;
}

Annotate::Annotate(const std::uint8_t*& pos, const std::uint8_t* end)
{
    const std::size_t available = pos < end ? std::size_t(end - pos) : 0;
    const std::size_t n = std::min(rec_.size(), available);
    std::copy_n(pos, n, rec_.begin());
    pos += n;

    // The text runs from byte 9 across the block boundary; a text longer than
    // seven characters takes one byte more (byte 16), which is dropped again.
    const int length = std::min<int>(rec_[8], MaxChars);
    const int taken = length > 7 ? length + 1 : length;
    std::array<std::uint8_t, 1 + MaxChars + 1> field{};
    field[0] = std::uint8_t(taken);
    std::copy_n(rec_.begin() + 9, taken, field.begin() + 1);
    text_.Assign(field.data());
    text_.Delete(8, 1);
}

void Annotate::Draw(TDrawTarget& canvas, const TDrawContext& context)
{
    IAnnotateSettings* settings = context.Settings ? context.Settings->Annotate : nullptr;
    if (settings != nullptr && !settings->IsVisible()) return;
    if (settings != nullptr) settings->ApplyFont(canvas.Font, FontChoice());

    canvas.Brush.Colour = canvas.Font.Colour == clBlack ? clWhite : clBlack;
    canvas.Brush.Style = bsClear;

    const QByteArray text = text_.AsText();
    const int h = canvas.TextHeight(text);
    canvas.TextOut(X() + 10, Y() - h, text);
}
