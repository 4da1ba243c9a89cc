#include "app/Surface.h"

#include <QFont>

// Placeholder implementation; the pixel rules arrive with the surface work.
QRgb ColourToRgb(TColor colour) { return qRgb(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF); }
TColor RgbToColour(QRgb rgb) { return TColor(qRed(rgb)) | (TColor(qGreen(rgb)) << 8) | (TColor(qBlue(rgb)) << 16); }
int PointsToHeight(int points) { return -((points * PixelsPerInch + 36) / 72); }
int HeightToPoints(int height) { return -((height * 72 - PixelsPerInch / 2) / PixelsPerInch); }
int TFont::Height() const { return PointsToHeight(Size); }
void TFont::SetHeight(int height) { Size = HeightToPoints(height); }
QFont TFont::ToQFont() const { return QFont(Face); }
TSurface::TSurface(int width, int height) { SetSize(width, height); }
void TSurface::SetSize(int width, int height)
{
    QImage next(width, height, QImage::Format_RGB32);
    next.fill(Qt::white);
    image_ = next;
}
void TSurface::Clear(TColor colour) { image_.fill(ColourToRgb(colour)); }
void TSurface::MoveTo(int x, int y) { PenPos = QPoint(x, y); }
void TSurface::LineTo(int x, int y) { PenPos = QPoint(x, y); }
void TSurface::Polyline(const std::vector<QPoint>&) {}
void TSurface::Rectangle(int, int, int, int) {}
void TSurface::Ellipse(int, int, int, int) {}
void TSurface::FillRect(int, int, int, int) {}
void TSurface::TextOut(int, int, const QByteArray&) {}
int TSurface::TextWidth(const QByteArray&) const { return 0; }
int TSurface::TextHeight(const QByteArray&) const { return 0; }
TColor TSurface::Pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= Width() || y >= Height()) return 0xFFFFFFFF;
    return RgbToColour(image_.pixel(x, y));
}
void TSurface::SetPixel(int x, int y, TColor colour)
{
    if (x < 0 || y < 0 || x >= Width() || y >= Height()) return;
    image_.setPixel(x, y, ColourToRgb(colour));
}
void TSurface::Draw(int, int, const TSurface&) {}
void TSurface::StretchDraw(const QRect&, const TSurface&) {}
