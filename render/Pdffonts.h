#pragma once
// The fonts of a PDF page: texts shaped as the screen shapes them (Qt's
// layout of the same font: its glyphs, ligatures, kerning and the faces it
// falls back on), and the faces they use embedded, so that the page shows
// the screen's glyphs at the screen's places and a reader can search and
// copy every text.
//
// A face with TrueType outlines is embedded as a CID font of the glyphs the
// page shows (render/Truetypefont.h), glyphs named by their number, with its
// glyph widths and a map from each glyph to the characters it stands for. A
// face without them (a font of other outlines) is embedded as Type 3 fonts
// of 256 glyphs each, every glyph drawn as its outline.
//
// A text is shown with its font's pixel size in page pixels; a glyph whose
// place differs from where the one before it ends is moved there within
// the show. Each shape counts its glyphs less than 3 points wide on paper:
// poppler keeps the characters of only 50,000 of those on a page, so a page
// with many marks such texts with the text they stand for (see
// render/Pdfwriter.h).
//
// Fonts are made and texts shaped on the thread that paints.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "app/Drawstyle.h"

class TPdfFile;

class TPdfFonts {
public:
    // pointsPerPixel: the size of a page pixel on paper.
    explicit TPdfFonts(double pointsPerPixel);
    ~TPdfFonts();
    TPdfFonts(const TPdfFonts&) = delete;
    TPdfFonts& operator=(const TPdfFonts&) = delete;

    // A run of a shaped text in one font resource: the show operator with
    // its operands ("(..)Tj" or "[(..)-12(..)]TJ").
    struct TRun {
        std::uint32_t Resource;
        QByteArray Show;
    };
    struct TShaped {
        std::uint32_t FirstRun = 0, Runs = 0;  // Run(FirstRun .. FirstRun + Runs - 1)
        std::uint32_t Tiny = 0;                // glyphs less than 3 points wide on paper
    };
    // What a text font needs besides its runs.
    struct TTextFont {
        double Size = 0;                       // pixels
        bool Embolden = false, Slant = false;  // drawn bolder or slanted than its face
        // Underline and strike-out bars: their top below the baseline, and
        // their thickness, in pixels.
        double UnderlineTop = 0, StrikeTop = 0, LineWidth = 1;
    };

    // The number of a text font of the page (the same for fonts of the
    // same glyphs).
    std::uint32_t Add(const TFont& font);
    const TTextFont& Font(std::uint32_t font) const;
    // The shape of a Latin-1 text in a text font, made once for each text.
    std::uint32_t Shape(std::uint32_t font, const QByteArray& text);
    const TShaped& Shaped(std::uint32_t shape) const { return shaped_[shape]; }
    const TRun& Run(std::uint32_t run) const { return runs_[run]; }

    // Writes every font object; returns the entries of the page's /Font
    // dictionary ("/F0 7 0 R/F1 12 0 R").
    QByteArray WriteObjects(TPdfFile& file) const;

    // Resource name of a font resource ("/F3").
    static QByteArray ResourceName(std::uint32_t resource);
    // Embeds every face as Type 3 outlines, as a face without TrueType
    // outlines is embedded (false, the start value: TrueType faces as
    // TrueType).
    static void SetOutlinesOnly(bool outlines);

private:
    struct TFace;
    struct TEntry;
    TFace& FaceFor(const class QRawFont& raw);

    double pointsPerPixel_;
    std::vector<std::unique_ptr<TEntry>> fonts_;
    std::vector<std::unique_ptr<TFace>> faces_;
    struct TResource {
        std::uint32_t Face, Part;  // the face and, for Type 3 faces, which 256 glyphs
    };
    std::vector<TResource> resources_;
    std::vector<TShaped> shaped_;
    std::vector<TRun> runs_;
};
