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
#include "exports/Printedpage.h"

class QPrinter;

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
