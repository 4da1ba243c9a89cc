#pragma once
// TfrmQuorvPrint: the hidden print window. Its page image Image1 is what a
// print draws the drawing on (it keeps what earlier prints drew), and what
// PrintDrawing puts on the printer's first page: landscape, scaled to fit the
// page's printable area from its top-left corner, aspect ratio kept, no
// smoothing.

#include <QRect>
#include <QString>
#include <QWidget>
#include <optional>

#include "app/Surface.h"

class QPrinter;
class TVectorTarget;

// The rectangle a w x h image is stretched into on a PW x PH page: the full
// page height when the image then fits the width, else the full page width;
// from (0, 0), sides rounded to the nearest integer (halves up). An empty
// image gives an empty rectangle.
QRect FitToPage(int w, int h, int pageW, int pageH);

// Prints an image on one landscape page of printer, fitted to its printable
// area; the document title is the file name part of drawingPath. Returns the
// rectangle drawn into (printer pixels, from the printable area's corner), or
// nothing when the print job could not be started.
std::optional<QRect> PrintImage(QPrinter& printer, const QString& drawingPath, const TSurface& image);

// Prints a vector page (shapes and texts in page pixels) as PrintImage
// prints an image of its size: one landscape page, fitted from the printable
// area's top-left corner. Nothing when the print job could not be started.
std::optional<QRect> PrintVectorPage(QPrinter& printer, const QString& drawingPath, const TVectorTarget& page);

// The error box text for a print of drawingPath that the printer did not start.
QString PrintNotStartedText(const QString& drawingPath, const QPrinter& printer);

class TfrmQuorvPrint : public QWidget {
    Q_OBJECT

public:
    explicit TfrmQuorvPrint(QWidget* parent = nullptr);
    ~TfrmQuorvPrint() override;

    // The page image, 1080 x 716 at first.
    TSurface Image1;

    // Sizes the page image; what was drawn stays at the top left, new
    // pixels are white. The window itself is never shown.
    void SetPageSize(int width, int height);
    TSurface& Canvas() { return Image1; }

    // Prints the page image as the document named after path's file name
    // part. False when the print job could not be started.
    bool PrintDrawing(const QString& path, QPrinter& printer);
};

// The one instance, set when it is constructed.
extern TfrmQuorvPrint* frmQuorvPrint;
