#pragma once
// A page on a printer: the picture of a drawing on one landscape page,
// fitted to the printable area from its top-left corner.

#include <QRect>
#include <QString>
#include <optional>

class QPrinter;
class TSurface;

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

// The error box text for a print of drawingPath that the printer did not start.
QString PrintNotStartedText(const QString& drawingPath, const QPrinter& printer);
