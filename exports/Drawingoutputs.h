#pragma once
// The files a loaded drawing is written to besides the screen, each named
// after the drawing (NAME is its file name without the extension: amp.q01
// gives amp):
//
//   NAME.png       its page picture ("--png")
//   NAME.svg       its page as a vector drawing in page pixels ("--svg")
//   NAME.pdf       its page as a vector page on one landscape sheet, fitted ("--pdf")
//   NAME-bom.csv   its bill of materials ("--bom")
//   NAME/          its split folder ("--export"; the load writes the files)
//
// beside the drawing, or all in one output folder ("--out=DIR"). Nothing
// here needs a window: the caller hands over the drawing and its page
// picture.
//
// Every file is made in memory (the PNG picture's deflated rows, the SVG
// document's pieces, the printed PDF document, the bill of materials) and
// saved through a temporary file that takes the file's place only once it
// is complete, so a write that fails leaves the old file, or none, and
// never part of one. A file that
// cannot be written is reported as "Cannot write '<file>': <reason>" with
// the reason the file system or the printer gave; nothing here shows
// anything.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include <QSize>

#include "base/Errors.h"
#include "render/Vectortarget.h"

class QIODevice;

class QImage;
class TDrawing;
class TSurface;
struct TObjectSettings;

class TDrawingOutputs {
public:
    // Which outputs are written for each drawing loaded from now on.
    bool Png = false;
    bool Svg = false;
    bool Pdf = false;
    bool Bom = false;

    // Makes `dir` the folder of every output from now on, creating it with
    // its parents. When it cannot be created, throws EFileError
    // "Cannot create the folder '<dir>': <reason>", and every output is held
    // back (nothing is written) until a folder is set that can be.
    void SetFolder(const QString& dir);
    // Holds every output back: an output folder was asked for but not named.
    void HoldBack() { heldBack_ = true; }
    bool HeldBack() const { return heldBack_; }
    // The output folder as given; empty while outputs go beside each drawing.
    const QString& Folder() const { return folder_; }

    // Where NAME + suffix of the drawing at drawingPath goes: into the output
    // folder, or beside the drawing (a relative drawing path gives a relative
    // output path: "x/amp.q01" gives "x/amp.png").
    QString OutputPath(const QString& drawingPath, const QString& suffix) const;
    QString PngPath(const QString& drawingPath) const;
    QString SvgPath(const QString& drawingPath) const;
    QString PdfPath(const QString& drawingPath) const;
    QString BomPath(const QString& drawingPath) const;
    // The split folder NAME; none when the file name leaves no NAME that
    // could be a folder of its own (".q01" would split into the drawing's own
    // folder, "..q01" and "...q01" into it or its parent).
    std::optional<QString> SplitDir(const QString& drawingPath) const;

    // Writes the outputs that are switched on, in the order PNG, SVG, PDF,
    // bill of materials, for the drawing loaded from drawingPath whose page
    // picture (one pixel per page pixel) is `page`; the vector pages are that
    // picture's size and drawn with `settings`. Returns the message of every
    // file that could not be written. Nothing is written while outputs are
    // held back.
    QStringList Write(const QString& drawingPath, TDrawing& drawing, const TObjectSettings& settings,
                      const TSurface& page) const;

    // The single files; each throws EFileError "Cannot write '<path>': <reason>".
    static void WritePng(const QString& path, const QImage& image);
    // The drawing as a vector page of `size` page pixels, drawn with
    // `settings`.
    static TVectorTarget VectorPage(TDrawing& drawing, const TObjectSettings& settings, QSize size);
    static void WriteSvg(const QString& path, const TVectorTarget& page);
    // The vector page printed as File > Print prints the page picture (one
    // landscape page, fitted), to a PDF document titled after drawingPath's
    // file name part, with its texts as texts.
    static void WritePdf(const QString& path, const QString& drawingPath, const TVectorTarget& page);
    // The whole page picture reduced (each pixel the mean of the page pixels
    // it covers, so that every one-pixel line stays visible) to a picture
    // whose longer side is `size` pixels.
    static void WriteThumbnail(const QString& path, const QImage& page, int size);
    static void WriteBom(const QString& path, const TDrawing& drawing, const TSurface& page);
    // Saves bytes as the whole file at path, through a temporary file.
    static void SaveWhole(const QString& path, const QByteArray& bytes);
    // Saves the file at path as write(file) writes it, through a temporary
    // file; a write that fails fails for the reason the file gives, or for
    // the one write returns.
    static void SaveThrough(const QString& path, const std::function<bool(QIODevice&)>& write);
    static void SaveThrough(const QString& path, const std::function<TResult(QIODevice&)>& write);

    static QString CannotWrite(const QString& path, const QString& reason);

private:
    QString folder_;
    bool heldBack_ = false;
};
