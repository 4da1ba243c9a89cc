#include "exports/Drawingoutputs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <new>
#include <system_error>

#include "app/Surface.h"
#include "base/Errors.h"
#include "base/Parallel.h"
#include "base/Savefile.h"
#include "drawing/Billofmaterials.h"
#include "drawing/Connectivity.h"
#include "drawing/Drawing.h"
#include "exports/Kicadschematic.h"
#include "exports/Leptonschematic.h"
#include "exports/Netlist.h"
#include "exports/Paper.h"
#include "exports/Printedpage.h"
#include "exports/Schematicsheet.h"
#include "render/Areareduction.h"
#include "render/Pdfwriter.h"
#include "render/Pngwriter.h"

namespace {

QString Shown(const QString& path) { return QDir::toNativeSeparators(path); }

// NAME: the file name without its extension.
QString DrawingName(const QString& drawingPath) { return QFileInfo(drawingPath).completeBaseName(); }

}  // namespace

QString TDrawingOutputs::CannotWrite(const QString& path, const QString& reason)
{
    return QStringLiteral("Cannot write '%1': %2").arg(Shown(path), reason);
}

void TDrawingOutputs::SetFolder(const QString& dir)
{
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(QFile::encodeName(dir).constData()), error);
    if (error || !QFileInfo(dir).isDir()) {
        heldBack_ = true;
        const QString reason =
            error ? QString::fromLocal8Bit(error.message().c_str()) : QStringLiteral("Not a directory");
        throw EFileError(QStringLiteral("Cannot create the folder '%1': %2").arg(Shown(dir), reason));
    }
    folder_ = dir;
    heldBack_ = false;
}

QString TDrawingOutputs::OutputPath(const QString& drawingPath, const QString& suffix) const
{
    const QString folder = folder_.isEmpty() ? QFileInfo(drawingPath).path() : folder_;
    return QDir::cleanPath(folder + QLatin1Char('/') + DrawingName(drawingPath) + suffix);
}

QString TDrawingOutputs::PngPath(const QString& drawingPath) const
{
    return OutputPath(drawingPath, QStringLiteral(".png"));
}

QString TDrawingOutputs::SvgPath(const QString& drawingPath) const
{
    return OutputPath(drawingPath, QStringLiteral(".svg"));
}

QString TDrawingOutputs::PdfPath(const QString& drawingPath) const
{
    return OutputPath(drawingPath, QStringLiteral(".pdf"));
}

QString TDrawingOutputs::BomPath(const QString& drawingPath) const
{
    return OutputPath(drawingPath, QStringLiteral("-bom.csv"));
}

QString TDrawingOutputs::NetlistPath(const QString& drawingPath) const
{
    return OutputPath(drawingPath, QStringLiteral(".net"));
}

QString TDrawingOutputs::KicadPath(const QString& drawingPath) const
{
    return OutputPath(drawingPath, QStringLiteral(".kicad_sch"));
}

QString TDrawingOutputs::LeptonPath(const QString& drawingPath) const
{
    return OutputPath(drawingPath, QStringLiteral(".sch"));
}

namespace {
// One name for the file or folder at a path, whatever way the path takes to
// it: the canonical path of its folder, and its own name.
QString OutputKey(const QString& path)
{
    const QFileInfo info(path);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return (folder.isEmpty() ? info.absolutePath() : folder) + QLatin1Char('/') + info.fileName();
}
}  // namespace

QString TDrawingOutputs::WrittenFor(const QString& path, const QString& drawingPath) const
{
    const auto earlier = written_.find(OutputKey(path));
    if (earlier == written_.end() || earlier->second.File == QFileInfo(drawingPath).absoluteFilePath())
        return QString();
    return QStringLiteral("Cannot write '%1' for '%2': it holds the output of '%3', written earlier in this run")
        .arg(Shown(path), Shown(drawingPath), Shown(earlier->second.Named));
}

void TDrawingOutputs::Written(const QString& path, const QString& drawingPath)
{
    written_[OutputKey(path)] = {QFileInfo(drawingPath).absoluteFilePath(), drawingPath};
}

QString TDrawingOutputs::ClaimSplitDir(const QString& drawingPath)
{
    const std::optional<QString> dir = SplitDir(drawingPath);
    if (!dir) return QString();
    const QString taken = WrittenFor(*dir, drawingPath);
    if (taken.isEmpty()) Written(*dir, drawingPath);
    return taken;
}

std::optional<QString> TDrawingOutputs::SplitDir(const QString& drawingPath) const
{
    const QString name = DrawingName(drawingPath);
    if (name.isEmpty() || name.count(QLatin1Char('.')) == name.size()) return std::nullopt;
    return OutputPath(drawingPath, QString());
}

QStringList TDrawingOutputs::Write(const QString& drawingPath, TDrawing& drawing, const TObjectSettings& settings,
                                   const TSurface& page)
{
    QStringList failures;
    if (heldBack_) return failures;
    const auto attempt = [&](const QString& path, auto&& write) {
        if (const QString taken = WrittenFor(path, drawingPath); !taken.isEmpty()) {
            failures << taken;
            return;
        }
        try {
            write(path);
            Written(path, drawingPath);
        } catch (const EFileError& e) {
            failures << e.Message();
        } catch (const std::bad_alloc&) {
            failures << CannotWrite(path, QStringLiteral("there is not enough memory"));
        }
    };
    if (Png) attempt(PngPath(drawingPath), [&](const QString& path) { WritePng(path, page.Image()); });
    if (Svg || Pdf) {
        const TVectorTarget vector = VectorPage(drawing, settings, page.Image().size());
        if (Svg) attempt(SvgPath(drawingPath), [&](const QString& path) { WriteSvg(path, vector); });
        if (Pdf) attempt(PdfPath(drawingPath), [&](const QString& path) { WritePdf(path, drawingPath, vector); });
    }
    if (Bom) attempt(BomPath(drawingPath), [&](const QString& path) { WriteBom(path, drawing, page); });
    // The schematics and the netlist use none of the buffers kept for page
    // pictures and paints: they go first, so that the circuit is read in
    // the memory they held.
    if (Netlist || Kicad || Lepton) ReleaseLargeBuffers();
    if (Netlist)
        attempt(NetlistPath(drawingPath), [&](const QString& path) { WriteNetlist(path, drawingPath, drawing); });
    if (Kicad || Lepton) {
        // The circuit is read once for both schematics.
        std::unique_ptr<TConnectivity> connectivity;
        std::unique_ptr<TSchematicSheet> sheet;
        try {
            connectivity = std::make_unique<TConnectivity>(drawing);
            const QSize size = drawing.Page().Size.isEmpty() ? page.Image().size() : drawing.Page().Size;
            sheet = std::make_unique<TSchematicSheet>(drawing, *connectivity, settings, size);
        } catch (const std::bad_alloc&) {
        }
        const auto schematic = [&](const QString& path, auto&& write) {
            if (!sheet) throw EFileError(CannotWrite(path, QStringLiteral("there is not enough memory")));
            write(path);
        };
        if (Kicad)
            attempt(KicadPath(drawingPath), [&](const QString& path) {
                schematic(path, [&](const QString& p) { WriteKicad(p, drawingPath, *sheet); });
            });
        if (Lepton)
            attempt(LeptonPath(drawingPath),
                    [&](const QString& path) { schematic(path, [&](const QString& p) { WriteLepton(p, *sheet); }); });
    }
    // Nothing the outputs kept goes on to the next drawing.
    ReleaseLargeBuffers();
    return failures;
}

void TDrawingOutputs::WritePng(const QString& path, const QImage& image)
{
    if (image.isNull()) throw EFileError(CannotWrite(path, QStringLiteral("the picture is empty")));
    // Written chunk by chunk into the file; a picture that cannot be
    // written says why.
    SaveThrough(path, [&](QIODevice& file) { return TPngWriter::Write(image, file); });
}

TVectorTarget TDrawingOutputs::VectorPage(TDrawing& drawing, const TObjectSettings& settings, QSize size)
{
    TVectorTarget vector(size.width(), size.height());
    drawing.Paint(vector, settings);
    return vector;
}

void TDrawingOutputs::WriteSvg(const QString& path, const TVectorTarget& page)
{
    SaveThrough(path, [&](QIODevice& file) { return page.WriteSvg(file); });
}

void TDrawingOutputs::WritePdf(const QString& path, const QString& drawingPath, const TVectorTarget& page)
{
    const TPaper paper = PaperFor(QSize(page.Width(), page.Height()));
    TPdfPlacement placement;
    placement.PaperWidth = std::max(1.0, paper.Points.width());
    placement.PaperHeight = std::max(1.0, paper.Points.height());
    placement.Left = paper.PageCorner.x();
    placement.Top = paper.PageCorner.y();
    placement.Scale = PointsPerPagePixel;
    const QString title = QFileInfo(drawingPath).fileName();
    SaveThrough(path, [&](QIODevice& file) { return TPdfWriter::Write(page, placement, title, file); });
}

void TDrawingOutputs::WriteThumbnail(const QString& path, const QImage& page, int size)
{
    const int longer = std::max(page.width(), page.height());
    if (longer <= 0 || size <= 0) throw EFileError(CannotWrite(path, QStringLiteral("the page is empty")));
    const auto side = [&](int pixels) { return std::max(1, int((qint64(pixels) * size + longer / 2) / longer)); };
    WritePng(path, ReduceByArea(page, QSize(side(page.width()), side(page.height()))));
}

void TDrawingOutputs::WriteBom(const QString& path, const TDrawing& drawing, const TSurface& page)
{
    // Zones follow the page the picture shows while the drawing names none.
    const QSize size = drawing.Page().Size.isEmpty() ? page.Image().size() : drawing.Page().Size;
    SaveWhole(path, BillOfMaterials(drawing.Components(), size));
}

void TDrawingOutputs::WriteNetlist(const QString& path, const QString& drawingPath, const TDrawing& drawing)
{
    const TConnectivity connectivity(drawing);
    const QString source = QDir::toNativeSeparators(drawingPath);
    SaveThrough(path, [&](QIODevice& file) { return WriteKicadNetlist(drawing, connectivity, source, file); });
}

void TDrawingOutputs::WriteKicad(const QString& path, const QString& drawingPath, const TSchematicSheet& sheet)
{
    const QString title = DrawingName(drawingPath);
    SaveThrough(path, [&](QIODevice& file) { return WriteKicadSchematic(sheet, title, file); });
}

void TDrawingOutputs::WriteLepton(const QString& path, const TSchematicSheet& sheet)
{
    SaveThrough(path, [&](QIODevice& file) { return WriteLeptonSchematic(sheet, file); });
}

void TDrawingOutputs::SaveWhole(const QString& path, const QByteArray& bytes)
{
    SaveThrough(path, [&](QIODevice& file) { return file.write(bytes) == bytes.size(); });
}

void TDrawingOutputs::SaveThrough(const QString& path, const std::function<bool(QIODevice&)>& write,
                                  const QString& reason)
{
    if (const QString why = SaveFile(path, write, reason); !why.isEmpty()) throw EFileError(CannotWrite(path, why));
}

void TDrawingOutputs::SaveThrough(const QString& path, const std::function<TResult(QIODevice&)>& write)
{
    TSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) throw EFileError(CannotWrite(path, file.Reason()));
    const TResult written = write(file);
    if (file.Failed() || written.Failed()) {
        // The file's own failure (a full disk) before the writer's.
        const QString why = file.Failed() ? file.Reason() : written.Reason();
        file.Cancel();
        throw EFileError(CannotWrite(path, why));
    }
    if (!file.Commit()) throw EFileError(CannotWrite(path, file.Reason()));
}
