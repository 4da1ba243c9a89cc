#include "exports/Printedpage.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPrinter>

#include "app/Surface.h"

namespace {

// a * b / c rounded to the nearest integer, halves up (all non-negative).
int MulDivRound(long long a, long long b, long long c) { return int((2 * a * b + c) / (2 * c)); }

}  // namespace

QRect FitToPage(int w, int h, int pageW, int pageH)
{
    if (w <= 0 || h <= 0 || pageW <= 0 || pageH <= 0) return QRect();
    int width = MulDivRound(w, pageH, h);
    int height;
    if (width < pageW) {
        height = pageH;
    } else {
        width = pageW;
        height = MulDivRound(h, pageW, w);
    }
    return QRect(0, 0, width, height);
}

std::optional<QRect> PrintImage(QPrinter& printer, const QString& drawingPath, const TSurface& image)
{
    printer.setDocName(QFileInfo(drawingPath).fileName());
    printer.setPageOrientation(QPageLayout::Landscape);

    QPainter painter;
    if (!painter.begin(&printer)) return std::nullopt;
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.setRenderHint(QPainter::Antialiasing, false);
    // The picture goes to the printer as it is: no lossy compression (a PDF
    // file printed to would hold it as a JPEG, with a thousand colours on a
    // page of five).
    painter.setRenderHint(QPainter::LosslessImageRendering, true);
    // The painter's origin is the printable area's top-left corner; the
    // device's size is that area in printer pixels.
    const QRect target = FitToPage(image.Width(), image.Height(), printer.width(), printer.height());
    if (!target.isEmpty()) painter.drawImage(target, image.Image());
    painter.end();
    return target;
}

QString PrintNotStartedText(const QString& drawingPath, const QPrinter& printer)
{
    const QString document = QFileInfo(drawingPath).fileName();
    if (!printer.outputFileName().isEmpty())
        return QStringLiteral("Cannot print '%1': the print file '%2' cannot be written.")
            .arg(document, QDir::toNativeSeparators(printer.outputFileName()));
    if (printer.printerName().isEmpty())
        return QStringLiteral("Cannot print '%1': no printer is set up.").arg(document);
    return QStringLiteral("Cannot print '%1': the printer '%2' did not start the print job.")
        .arg(document, printer.printerName());
}
