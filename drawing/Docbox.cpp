#include "drawing/Docbox.h"

#include <algorithm>

#include "drawing/Objectsettings.h"

DocBox::DocBox(const std::uint8_t*& pos, const std::uint8_t* end)
{
    std::size_t available = pos < end ? std::size_t(end - pos) : 0;
    const std::size_t headBytes = std::min(head_.size(), available);
    std::copy_n(pos, headBytes, head_.begin());
    pos += headBytes;
    available -= headBytes;

    const std::size_t textBytes = std::min(std::size_t(16) * head_[12], available);
    text_.assign(pos, pos + textBytes);
    recordText_ = text_;
    pos += textBytes;

    DecodeLines();
}

void DocBox::DecodeLines()
{
    std::size_t start = 0;
    for (std::size_t i = 0; i < text_.size(); ++i) {
        const std::uint8_t byte = text_[i];
        if (byte == 0x0A) {
            start = i + 1;
        } else if (byte == 0x0D || byte == 0x8D) {
            text_[i] = 0;
            // The line runs up to the first zero; the one just written
            // bounds it.
            const auto first = text_.begin() + std::ptrdiff_t(start);
            const auto zero = std::find(first, text_.begin() + std::ptrdiff_t(i), std::uint8_t(0));
            lines_.emplace_back(reinterpret_cast<const char*>(&*first), zero - first);
            start = i + 1;
        }
    }
}

void DocBox::Draw(TDrawTarget& canvas, const TDrawContext& context)
{
    IDocBoxSettings* settings = context.Settings ? context.Settings->DocBox : nullptr;
    if (settings != nullptr && !settings->IsVisible()) return;
    if (settings != nullptr) canvas.Pen = settings->GetPen(2);
    canvas.Brush.Style = bsClear;
    canvas.Rectangle(X1(), Y1(), X2(), Y2());
    canvas.Brush.Style = bsClear;

    int y = Y1() + 5;
    if (settings != nullptr) settings->ApplyFont(canvas.Font, 0);
    for (const QByteArray& line : lines_) {
        canvas.TextOut(X1() + 10, y, line);
        y += canvas.TextHeight(line);
    }
}
