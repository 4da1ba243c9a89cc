#include "app/Comparecommand.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>

#include "app/Options.h"
#include "app/Startup.h"
#include "drawing/Bitmap.h"
#include "drawing/Drawing.h"
#include "drawing/Fileimage.h"
#include "drawing/Objectsettings.h"
#include "ui/Dialogs.h"

namespace {
QString Hex(std::uint64_t value, int digits)
{
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

const char usage[] = "usage: tracery --diff OLD.q01 NEW.q01 OUT.png";
}  // namespace

namespace {
// The bytes of a drawing file, or the message why there are none.
std::optional<QString> ReadBytes(const QString& path, QByteArray& data)
{
    TFileImage image = ReadDrawingFile(path);
    switch (image.Status) {
    case TFileImage::TStatus::Read: data = std::move(image.Bytes); return std::nullopt;
    case TFileImage::TStatus::Missing: return QStringLiteral("File '%1' not found").arg(path);
    case TFileImage::TStatus::NotAFile: return QStringLiteral("File '%1' is not a regular file").arg(path);
    case TFileImage::TStatus::TooLarge: return NotADrawingFileText(path, image);
    case TFileImage::TStatus::CannotRead: return CannotReadText(path, image);
    case TFileImage::TStatus::OutOfMemory:
        return QStringLiteral("File '%1' cannot be read to its end: there is not enough memory for it").arg(path);
    }
    return std::nullopt;
}

std::optional<QString> LoadBytes(const QString& path, const QByteArray& data, TDrawing& drawing)
{
    const TLoadResult result = drawing.Load(data);
    if (result.Simplified > 0) Dialogs().ShowMessage(SimplifiedComponentsMessage(result.Simplified));
    if (result.Complete) return std::nullopt;
    const QString broken = QStringLiteral("File '%1' cannot be read to its end: ").arg(path);
    if (result.OutOfMemory) return broken + QStringLiteral("there is not enough memory for it");
    if (result.Events.empty()) return broken.chopped(2);
    const TLoadEvent& last = result.Events.back();
    if (last.Kind == TLoadEvent::TKind::CutShort)
        return broken + QStringLiteral("the record at %1 (type %2) is cut short by the end of the file")
                            .arg(Hex(last.Offset, 8), Hex(last.Type, 2));
    return broken + LoadEventText(last);
}
}  // namespace

std::optional<QString> ReadComparedDrawing(const QString& path, TDrawing& drawing)
{
    QByteArray data;
    if (auto message = ReadBytes(path, data)) return message;
    return LoadBytes(path, data, drawing);
}

std::optional<TComparison> CompareDrawingFiles(const QString& older, const QString& newer)
{
    QByteArray oldData, newData;
    std::optional<QString> message = ReadBytes(older, oldData);
    if (!message) message = ReadBytes(newer, newData);
    TDrawing a, b;
    if (!message) message = LoadBytes(older, oldData, a);
    // Files of the same bytes hold the same drawing: it is read and drawn once.
    const bool same = !message && oldData == newData;
    if (!message && !same) message = LoadBytes(newer, newData, b);
    if (message) {
        Dialogs().ShowError(*message);
        return std::nullopt;
    }
    return TComparison(a, same ? a : b, ObjectSettings());
}

int RunDiff(const QStringList& args, const QString&)
{
    QStringList paths;
    bool other = false;
    for (int i = 1; i < args.size(); ++i) {
        if (const TOption* option = FindOption(args[i]); option && (option->Alone == RunDiff || StartsOnly(*option)))
            continue;
        if (args[i].startsWith(QLatin1String("--"))) other = true;
        paths << args[i];
    }
    if (other || paths.size() != 3) {
        Dialogs().ShowMessage(QLatin1String(usage));
        return 2;
    }
    try {
        // The settings windows give the settings both drawings are drawn with.
        CreateOtherWindows();
        const std::optional<TComparison> comparison = CompareDrawingFiles(paths[0], paths[1]);
        if (!comparison) return 2;
        if (!comparison->Picture().save(paths[2], "PNG")) {
            Dialogs().ShowError(QStringLiteral("Cannot create file ") + QDir::toNativeSeparators(paths[2]));
            return 2;
        }
        QByteArray out;
        for (const QString& line : comparison->Report()) out += line.toUtf8() + '\n';
        std::fwrite(out.constData(), 1, std::size_t(out.size()), stdout);
        std::fflush(stdout);
        return comparison->Same() ? 0 : 1;
    } catch (const EFileError& e) {
        Dialogs().ShowError(e.Message());
        return 2;
    }
}
