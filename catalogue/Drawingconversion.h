#pragma once
// One drawing of an archive turned into its part of the site, in the folder
// "drawings/ID/" of the site (ID: TArchiveWalk::DrawingId of its path), with
// NAME the drawing's file name without its extension:
//
//   NAME.html        its page (catalogue/Sitepages)
//   NAME.png         the page picture, one pixel per page pixel
//   NAME-thumb.png   the whole page reduced to 320 pixels on its longer side
//   NAME.svg         the page as a vector drawing
//   NAME.pdf         the page on one landscape sheet
//   NAME.net         its netlist for KiCad's PCB editor (exports/Netlist.h)
//   NAME.kicad_sch   its schematic for KiCad (exports/Kicadschematic.h)
//   record.json      what is known of it (catalogue/Drawingfacts), last
//
// Its nets and the findings of the drawing check (drawing/Drawingcheck.h)
// go on its page and into its record.
//
// A drawing read in part is pictured as far as it was read, on the page of
// its last header, and marked damaged with the reason; one that cannot be
// read at all gets a record only. Every file is written whole or not at all
// (TSaveFile), and the record only once every other file is in place, so a
// run that stops half-way leaves the drawing to be converted again.

#include <QString>
#include <QStringList>

#include "catalogue/Archivewalk.h"
#include "catalogue/Drawingfacts.h"

struct TObjectSettings;

class TDrawingConversion {
public:
    // Converts into the site at `site` with these settings.
    TDrawingConversion(const QString& site, const TObjectSettings& settings);

    // Converts the drawing. Files that could not be written add their
    // messages to `failures` ("Cannot write '...': No space left on device");
    // the record is then not written.
    TDrawingFacts Convert(const TFoundDrawing& drawing, QStringList& failures);

    // The conditions a drawing's pictures are made under besides its bytes:
    // the program's version and every setting the objects draw with. A
    // drawing converted under other conditions is converted again.
    static QString Conditions(const TObjectSettings& settings);
    // The hash of a drawing file's bytes, as records keep it.
    static QString HashOf(const QByteArray& bytes);
    // The folder of a drawing's files, relative to the site: "drawings/ID".
    static QString FolderOf(const QString& id);
    // The record's path, relative to the site.
    static QString RecordOf(const QString& id);
    // Saves the file through TSaveFile unless it holds these bytes already;
    // throws EFileError "Cannot write '<path>': <reason>".
    static void SaveIfChanged(const QString& path, const QByteArray& bytes);
    // The longer side of the thumbnails, in pixels.
    static constexpr int ThumbnailSize = 320;

private:
    QString site_;
    const TObjectSettings& settings_;
    QString conditions_;
};
