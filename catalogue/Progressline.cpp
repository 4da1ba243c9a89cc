#include "catalogue/Progressline.h"

#include <QByteArray>
#include <cstdio>
#include <unistd.h>

namespace {
void Write(const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stderr);
    std::fflush(stderr);
}
}  // namespace

TProgressLine::TProgressLine(bool shown) : shown_(shown) {}

TProgressLine::TProgressLine() : TProgressLine(::isatty(STDERR_FILENO) == 1) {}

TProgressLine::~TProgressLine() { Finish(); }

QString TProgressLine::Text(int done, int total, int damaged)
{
    return QStringLiteral("%1/%2 drawings, %3 damaged").arg(done).arg(total).arg(damaged);
}

void TProgressLine::Show(int done, int total, int damaged)
{
    if (!shown_) return;
    const QString text = Text(done, total, damaged);
    if (text == line_) return;
    line_ = text;
    Write("\r\x1b[K" + text.toLocal8Bit());
}

void TProgressLine::Erase()
{
    if (shown_ && !line_.isEmpty()) Write("\r\x1b[K");
}

void TProgressLine::Message(const QString& text)
{
    Erase();
    Write(text.toLocal8Bit() + '\n');
    if (shown_ && !line_.isEmpty()) Write(line_.toLocal8Bit());
}

void TProgressLine::Finish()
{
    if (shown_ && !line_.isEmpty()) Write("\n");
    line_.clear();
}
