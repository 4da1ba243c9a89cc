#pragma once
// The files a loaded drawing is written to besides the screen, each named
// after the drawing (NAME is its file name without the extension: amp.q01
// gives amp):
//
//   NAME.png       its page picture ("--png")
//   NAME.svg       its page as a vector drawing in page pixels ("--svg")
//   NAME.pdf       its page as a vector page on the paper it is named after ("--pdf")
//   NAME-bom.csv   its bill of materials ("--bom")
//   NAME.net       its netlist ("--netlist", exports/Netlist.h)
//   NAME.kicad_sch its circuit as a KiCad schematic ("--kicad")
//   NAME.sch       its circuit as a lepton-eda schematic ("--lepton")
//   NAME/          its split folder ("--export"; the load writes the files)
//
// beside the drawing, or all in one output folder ("--out=DIR"). Nothing
// here needs a window: the caller hands over the drawing and its page
// picture.
//
// Every file is written through TSaveFile (base/Savefile.h): into a
// temporary file that takes the file's place only once every write, the
// flush and the close went well, so a write that fails (a full disk) leaves
// the old file, or none, and never part of one. Only a regular file, or a
// link to one, is replaced. A file that cannot be written is reported as
// "Cannot write '<file>': <reason>" with the reason the file system or the
// printer gave ("No space left on device", "it is a device, not a file");
// nothing here shows anything.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <optional>

#include <QSize>

#include "base/Errors.h"
#include "render/Vectortarget.h"

class QIODevice;

class QImage;
class TDrawing;
class TSchematicSheet;
class TSurface;
struct TObjectSettings;

class TDrawingOutputs {
public:
    // Which outputs are written for each drawing loaded from now on.
    bool Png = false;
    bool Svg = false;
    bool Pdf = false;
    bool Bom = false;
    bool Netlist = false;
    bool Kicad = false;
    bool Lepton = false;

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
    QString NetlistPath(const QString& drawingPath) const;
    QString KicadPath(const QString& drawingPath) const;
    QString LeptonPath(const QString& drawingPath) const;
    // The split folder NAME; none when the file name leaves no NAME that
    // could be a folder of its own (".q01" would split into the drawing's own
    // folder, "..q01" and "...q01" into it or its parent).
    std::optional<QString> SplitDir(const QString& drawingPath) const;
    // Takes the split folder of the drawing for it, for the rest of the run;
    // when the folder was taken for another drawing (of the same name)
    // earlier in the run, it is not taken, and the message that says so comes
    // back: "Cannot write '<folder>' for '<drawing>': it holds the output of
    // '<earlier drawing>', written earlier in this run".
    QString ClaimSplitDir(const QString& drawingPath);

    // Writes the outputs that are switched on, in the order PNG, SVG, PDF,
    // bill of materials, netlist, KiCad and lepton-eda schematics, for the
    // drawing loaded from drawingPath whose page picture (one pixel per page
    // pixel) is `page`; the vector pages are that
    // picture's size and drawn with `settings`. Returns the message of every
    // file that could not be written. Nothing is written while outputs are
    // held back. A file written for one drawing is never replaced by the
    // output of another drawing (of the same name, into the same folder)
    // later in the run: "Cannot write '<file>' for '<drawing>': it holds the
    // output of '<earlier drawing>', written earlier in this run".
    QStringList Write(const QString& drawingPath, TDrawing& drawing, const TObjectSettings& settings,
                      const TSurface& page);

    // The single files; each throws EFileError "Cannot write '<path>': <reason>".
    static void WritePng(const QString& path, const QImage& image);
    // The drawing as a vector page of `size` page pixels, drawn with
    // `settings`.
    static TVectorTarget VectorPage(TDrawing& drawing, const TObjectSettings& settings, QSize size);
    static void WriteSvg(const QString& path, const TVectorTarget& page);
    // The vector page as a PDF document of one page, on the paper its size
    // is named after (exports/Paper.h: A4 to A0, B to E, landscape; other
    // sizes on a paper of their own size) at 0.254 mm a page pixel, centred,
    // titled after drawingPath's file name part, with its texts as texts.
    static void WritePdf(const QString& path, const QString& drawingPath, const TVectorTarget& page);
    // The whole page picture reduced (each pixel the mean of the page pixels
    // it covers, so that every one-pixel line stays visible) to a picture
    // whose longer side is `size` pixels.
    static void WriteThumbnail(const QString& path, const QImage& page, int size);
    static void WriteBom(const QString& path, const TDrawing& drawing, const TSurface& page);
    // The netlist, naming the drawing by drawingPath as given.
    static void WriteNetlist(const QString& path, const QString& drawingPath, const TDrawing& drawing);
    // The drawing's circuit as a schematic (exports/Schematicsheet), named
    // after drawingPath's file name part.
    static void WriteKicad(const QString& path, const QString& drawingPath, const TSchematicSheet& sheet);
    static void WriteLepton(const QString& path, const TSchematicSheet& sheet);
    // Saves bytes as the whole file at path, through TSaveFile.
    static void SaveWhole(const QString& path, const QByteArray& bytes);
    // Saves the file at path as write(file) writes it, through TSaveFile; a
    // write that fails with no error of the file's own fails for `reason`,
    // or for the reason write returns.
    static void SaveThrough(const QString& path, const std::function<bool(QIODevice&)>& write,
                            const QString& reason = {});
    static void SaveThrough(const QString& path, const std::function<TResult(QIODevice&)>& write);

    static QString CannotWrite(const QString& path, const QString& reason);

private:
    // The message for an output at path that was written for another drawing
    // earlier in the run; empty when there is none.
    QString WrittenFor(const QString& path, const QString& drawingPath) const;
    void Written(const QString& path, const QString& drawingPath);

    QString folder_;
    bool heldBack_ = false;
    // The files Write() wrote and the split folders taken in this run (by
    // the canonical path of their folder and their name), each with the
    // drawing it was for.
    struct TWrittenFor {
        QString File;   // the drawing's absolute path
        QString Named;  // the drawing's path as given
    };
    std::map<QString, TWrittenFor> written_;
};
