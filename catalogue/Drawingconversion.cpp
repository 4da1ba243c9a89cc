#include "catalogue/Drawingconversion.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <new>

#include "app/Surface.h"
#include "base/Errors.h"
#include "catalogue/Sitepages.h"
#include "drawing/Annotate.h"
#include "drawing/Bitmap.h"
#include "drawing/Connectivity.h"
#include "drawing/Docbox.h"
#include "drawing/Drawing.h"
#include "drawing/Drawingcheck.h"
#include "drawing/Fileimage.h"
#include "drawing/Header.h"
#include "drawing/Linedata.h"
#include "drawing/Naturalorder.h"
#include "drawing/Objectsettings.h"
#include "exports/Drawingoutputs.h"
#include "exports/Netlist.h"
#include "exports/Schematicsheet.h"
#include "render/Vectortarget.h"

namespace {
// The page of a drawing that names none: the page a drawing is shown on
// before any header is read.
constexpr QSize unnamedPage(1090, 713);

// What a conversion makes of a drawing: counted up whenever its pages or
// files change, so that drawings converted before are converted again.
constexpr int conversionRevision = 3;

QString Hex(std::uint64_t value, int digits)
{
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

// Why a file was not read at all.
QString UnreadableText(const QString& path, const TFileImage& image)
{
    switch (image.Status) {
    case TFileImage::TStatus::Missing: return QStringLiteral("File '%1' not found").arg(path);
    case TFileImage::TStatus::NotAFile:
    case TFileImage::TStatus::TooLarge: return NotADrawingFileText(path, image);
    case TFileImage::TStatus::CannotRead: return CannotReadText(path, image);
    case TFileImage::TStatus::OutOfMemory: return QStringLiteral("There is not enough memory to read '%1'.").arg(path);
    case TFileImage::TStatus::Read: break;
    }
    return QString();
}

// Why a drawing was read only in part.
QString DamageText(const TLoadResult& result)
{
    if (result.OutOfMemory)
        return QStringLiteral(
            "There is not enough memory for all of the drawing; it is shown up to where "
            "memory ran out.");
    if (result.Events.empty()) return QStringLiteral("The drawing is not read to its end.");
    const TLoadEvent& last = result.Events.back();
    if (last.Kind == TLoadEvent::TKind::CutShort) return LoadEventText(last);
    return QStringLiteral("The record at %1 has the unknown type %2; the drawing is shown up to it.")
        .arg(Hex(last.Offset, 8), Hex(last.Type, 2));
}

QString Latin1(const QByteArray& bytes) { return QString::fromLatin1(bytes); }

// NAME: the file name without its extension, or "drawing" when that leaves
// nothing (".q01").
QString BaseName(const QString& fileName)
{
    const QString name = QFileInfo(fileName).completeBaseName();
    return name.isEmpty() || name.count(QLatin1Char('.')) == name.size() ? QStringLiteral("drawing") : name;
}

void Describe(QByteArray& text, const TPen& pen)
{
    text += QByteArray::number(ColourToRgb(pen.Colour), 16) + ',' + QByteArray::number(pen.Style) + ',' +
            QByteArray::number(pen.Width) + ',' + QByteArray::number(pen.Mode) + ';';
}

void Describe(QByteArray& text, const TFont& font)
{
    text += font.Face.toUtf8() + ',' + QByteArray::number(font.Size) + ',' +
            QByteArray::number(ColourToRgb(font.Colour), 16) + ',' + QByteArray::number(font.Bold) +
            QByteArray::number(font.Italic) + QByteArray::number(font.Underline) + QByteArray::number(font.StrikeOut) +
            ',' + QByteArray::number(font.Charset) + ';';
}

void Describe(QByteArray& text, bool value) { text += value ? "1;" : "0;"; }

// The parts, in designation order (R2 before R10), then by part number.
std::vector<TPartFacts> PartsOf(TDrawing& drawing, QSize page)
{
    struct Entry {
        QByteArray Designation;
        int Part;
        TPartFacts Facts;
    };
    std::vector<Entry> entries;
    const QString bitmapClass = QStringLiteral("Bitmap");
    for (const auto& object : drawing.Objects()) {
        if (!object->IsClass(bitmapClass)) continue;
        auto& component = static_cast<Bitmap&>(*object);
        bool valid = false;
        const TRect r = component.GetRect(valid);
        TPartFacts facts{Latin1(component.GetName()), Latin1(component.GetValue()), Latin1(component.GetPackage()),
                         SheetZone(component.GetAnchor(), page),
                         QRect(QPoint(r.Left, r.Top), QPoint(r.Right, r.Bottom))};
        entries.push_back({component.GetDesignation(), component.GetPartNumber(), facts});
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        const int order = NaturalCompare(a.Designation, b.Designation);
        return order != 0 ? order < 0 : a.Part < b.Part;
    });
    std::vector<TPartFacts> parts;
    parts.reserve(entries.size());
    for (Entry& e : entries) parts.push_back(std::move(e.Facts));
    return parts;
}

// The nets that join pins, in the order the connectivity gives them (named
// ones first); a pin alone and wires alone are no nets of the page.
std::vector<TNetFacts> NetsOf(const TConnectivity& connectivity)
{
    std::vector<TNetFacts> nets;
    for (const TNet& net : connectivity.Nets()) {
        if (net.Pins.empty() || net.Unconnected) continue;
        TNetFacts facts;
        facts.Name = net.Name;
        facts.Named = net.Named;
        for (const TNetPin& pin : net.Pins) {
            facts.Pins << pin.Text();
            facts.Points.push_back(pin.End);
        }
        for (const LineData* wire : net.Wires) facts.Wires.emplace_back(wire->X1(), wire->Y1(), wire->X2(), wire->Y2());
        nets.push_back(std::move(facts));
    }
    return nets;
}

// The annotations' texts and the document boxes' lines, in file order.
QStringList TextsOf(const TDrawing& drawing)
{
    QStringList texts;
    for (const auto& object : drawing.Objects()) {
        if (const auto* annotation = dynamic_cast<const Annotate*>(object.get())) {
            const QByteArray text = annotation->Text().AsText().trimmed();
            if (!text.isEmpty()) texts << Latin1(text);
        } else if (const auto* box = dynamic_cast<const DocBox*>(object.get())) {
            for (const QByteArray& line : box->Lines())
                if (!line.trimmed().isEmpty()) texts << Latin1(line.trimmed());
        }
    }
    return texts;
}
}  // namespace

TDrawingConversion::TDrawingConversion(const QString& site, const TObjectSettings& settings)
    : site_(site),
      settings_(settings),
      conditions_(Conditions(settings))
{
}

QString TDrawingConversion::Conditions(const TObjectSettings& settings)
{
    QByteArray text = "tracery " TRACERY_VERSION ";" + QByteArray::number(conversionRevision) + ';';
    if (ILineSettings* line = settings.LineData) {
        Describe(text, line->IsVisible());
        for (int type = 1; type <= 5; ++type) Describe(text, line->GetPen(type));
    }
    text += '|';
    if (const IJunctionSettings* junction = settings.Junction) {
        Describe(text, junction->IsVisible());
        text += QByteArray::number(junction->GetDiameter()) + ',' +
                QByteArray::number(ColourToRgb(junction->GetColour()), 16) + ';';
    }
    text += '|';
    if (IDocBoxSettings* box = settings.DocBox) {
        Describe(text, box->IsVisible());
        for (int type = 1; type <= 5; ++type) Describe(text, box->GetPen(type));
        for (int n = 0; n < 5; ++n) {
            TFont font;
            box->ApplyFont(font, n);
            Describe(text, font);
        }
    }
    text += '|';
    if (const IAnnotateSettings* annotate = settings.Annotate) {
        Describe(text, annotate->IsVisible());
        for (int n = 0; n < 5; ++n) {
            TFont font;
            annotate->ApplyFont(font, n);
            Describe(text, font);
        }
    }
    text += '|';
    if (const IBitmapSettings* bitmap = settings.Bitmap) {
        for (bool visible : {bitmap->MasterVisible(), bitmap->DesigVisible(), bitmap->ValueVisible(),
                             bitmap->PinNumVisible(), bitmap->PinStrVisible()})
            Describe(text, visible);
        for (const TFont& font : {bitmap->DesigFont(), bitmap->ValueFont(), bitmap->PinNumFont(), bitmap->PinStrFont()})
            Describe(text, font);
    }
    return QStringLiteral(TRACERY_VERSION "/") +
           QString::fromLatin1(QCryptographicHash::hash(text, QCryptographicHash::Sha1).toHex().left(16));
}

QString TDrawingConversion::HashOf(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex());
}

void TDrawingConversion::SaveIfChanged(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly) && file.size() == bytes.size() && file.readAll() == bytes) return;
    file.close();
    TDrawingOutputs::SaveWhole(path, bytes);
}

QString TDrawingConversion::FolderOf(const QString& id) { return QStringLiteral("drawings/") + id; }

QString TDrawingConversion::RecordOf(const QString& id) { return FolderOf(id) + QStringLiteral("/record.json"); }

TDrawingFacts TDrawingConversion::Convert(const TFoundDrawing& drawing, QStringList& failures)
{
    TDrawingFacts facts;
    facts.Id = TArchiveWalk::DrawingId(drawing.Path);
    facts.Path = drawing.Path;
    facts.Folder = drawing.Folder;
    facts.Name = drawing.Name;
    facts.Conditions = conditions_;

    const QString folder = site_ + QLatin1Char('/') + FolderOf(facts.Id);
    const QString recordPath = site_ + QLatin1Char('/') + RecordOf(facts.Id);
    // The files of an earlier conversion, removed at the end when this one
    // does not write them again.
    QStringList earlier;
    {
        QFile old(recordPath);
        if (old.open(QIODevice::ReadOnly))
            if (const auto before = TDrawingFacts::FromJson(old.read(qint64(16) << 20)))
                for (const auto& file : before->Files) earlier << file.second;
    }
    if (!QDir().mkpath(folder)) {
        failures << QStringLiteral("Cannot create the folder '%1'").arg(QDir::toNativeSeparators(folder));
        return facts;
    }
    const auto attempt = [&](const QString& kind, const QString& name, auto&& write) {
        try {
            write(folder + QLatin1Char('/') + name);
            facts.Files.emplace_back(kind, name);
        } catch (const EFileError& e) {
            failures << e.Message();
        } catch (const std::bad_alloc&) {
            failures << TDrawingOutputs::CannotWrite(folder + QLatin1Char('/') + name,
                                                     QStringLiteral("there is not enough memory"));
        }
    };

    TFileImage image = ReadDrawingFile(drawing.Path);
    if (!image.IsRead()) {
        facts.Status = TDrawingFacts::TStatus::Unreadable;
        facts.Message = UnreadableText(drawing.Path, image);
    } else {
        facts.Hash = HashOf(image.Bytes);
        TDrawing loaded;
        const TLoadResult result = loaded.Load(image.Bytes);
        image = TFileImage();
        if (!result.Complete) {
            facts.Status = TDrawingFacts::TStatus::Damaged;
            facts.Message = DamageText(result);
        }
        if (result.PageIndex && !GetPageSize(*result.PageIndex).isEmpty())
            facts.PageName = PageSizeNames().value(*result.PageIndex);
        facts.PageSize = loaded.Page().Size.isEmpty() ? unnamedPage : loaded.Page().Size;
        facts.Parts = PartsOf(loaded, facts.PageSize);
        facts.Texts = TextsOf(loaded);
        const TConnectivity connectivity(loaded);
        facts.ConnectivityKnown = true;
        facts.Nets = NetsOf(connectivity);
        const TDrawingCheck check(loaded, connectivity);
        facts.Checked = true;
        for (const TCheckFinding& finding : check.Findings())
            facts.Findings.push_back(
                {SheetZone(finding.At, facts.PageSize), finding.Kind, finding.Message, finding.At});

        const QString name = BaseName(drawing.Name);
        {
            TSurface page(facts.PageSize.width(), facts.PageSize.height());
            loaded.Paint(page, settings_);
            attempt(QStringLiteral("png"), name + QStringLiteral(".png"),
                    [&](const QString& path) { TDrawingOutputs::WritePng(path, page.Image()); });
            attempt(QStringLiteral("thumbnail"), name + QStringLiteral("-thumb.png"),
                    [&](const QString& path) { TDrawingOutputs::WriteThumbnail(path, page.Image(), ThumbnailSize); });
        }
        {
            const TVectorTarget vector = TDrawingOutputs::VectorPage(loaded, settings_, facts.PageSize);
            attempt(QStringLiteral("svg"), name + QStringLiteral(".svg"),
                    [&](const QString& path) { TDrawingOutputs::WriteSvg(path, vector); });
            attempt(QStringLiteral("pdf"), name + QStringLiteral(".pdf"),
                    [&](const QString& path) { TDrawingOutputs::WritePdf(path, drawing.Path, vector); });
        }
        attempt(QStringLiteral("netlist"), name + QStringLiteral(".net"), [&](const QString& path) {
            TDrawingOutputs::SaveWhole(path,
                                       KicadNetlist(loaded, connectivity, QDir::toNativeSeparators(drawing.Path)));
        });
        attempt(QStringLiteral("kicad"), name + QStringLiteral(".kicad_sch"), [&](const QString& path) {
            const TSchematicSheet sheet(loaded, connectivity, settings_, facts.PageSize);
            TDrawingOutputs::WriteKicad(path, drawing.Path, sheet);
        });
        // The page comes last of the files it links to.
        facts.Files.emplace_back(QStringLiteral("page"), name + QStringLiteral(".html"));
        const QByteArray html = TSitePages::DrawingPage(facts);
        facts.Files.pop_back();
        attempt(QStringLiteral("page"), name + QStringLiteral(".html"),
                [&](const QString& path) { SaveIfChanged(path, html); });
    }
    if (!failures.isEmpty()) return facts;
    try {
        SaveIfChanged(recordPath, facts.ToJson());
    } catch (const EFileError& e) {
        failures << e.Message();
        return facts;
    }
    // (Only plain names of the folder's own files: a record names nothing
    // elsewhere.)
    for (const QString& file : earlier)
        if (!file.contains(QLatin1Char('/')) && !file.startsWith(QLatin1Char('.')) &&
            file != QLatin1String("record.json") &&
            std::none_of(facts.Files.begin(), facts.Files.end(), [&](const auto& f) { return f.second == file; }))
            QFile::remove(folder + QLatin1Char('/') + file);
    return facts;
}
