#include "settings/Quorvcolour.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <array>

#include "settings/Inifile.h"
#include "ui/Dialogs.h"

namespace {

const QString Section = QStringLiteral("Colours");

using TPaletteTable = std::array<std::array<TColor, TfraColour::ColCount>, TfraColour::RowCount>;

// The one palette of the program: exists while a palette frame does.
TPaletteTable* table = nullptr;
int liveFrames = 0;

// The palette while the settings file has no section "Colours" (a first
// start): black first, then greys to white; below them the full colours
// from red to magenta, then the same in dark, middle and light shades.
constexpr TColor Rgb(unsigned red, unsigned green, unsigned blue) { return red | green << 8 | blue << 16; }
constexpr TPaletteTable kFirstUsePalette = {{
    {Rgb(0, 0, 0), Rgb(64, 64, 64), Rgb(128, 128, 128), Rgb(160, 160, 160), Rgb(192, 192, 192), Rgb(224, 224, 224),
     Rgb(255, 255, 255)},
    {Rgb(255, 0, 0), Rgb(255, 128, 0), Rgb(255, 255, 0), Rgb(0, 255, 0), Rgb(0, 255, 255), Rgb(0, 0, 255),
     Rgb(255, 0, 255)},
    {Rgb(128, 0, 0), Rgb(128, 64, 0), Rgb(128, 128, 0), Rgb(0, 128, 0), Rgb(0, 128, 128), Rgb(0, 0, 128),
     Rgb(128, 0, 128)},
    {Rgb(192, 0, 0), Rgb(192, 96, 0), Rgb(192, 192, 0), Rgb(0, 192, 0), Rgb(0, 192, 192), Rgb(0, 0, 192),
     Rgb(192, 0, 192)},
    {Rgb(255, 128, 128), Rgb(255, 192, 128), Rgb(255, 255, 128), Rgb(128, 255, 128), Rgb(128, 255, 255),
     Rgb(128, 128, 255), Rgb(255, 128, 255)},
}};

QString CellKey(int col, int row) { return QString::asprintf("Colour[%d][%d]", col, row); }

constexpr int Pitch = TfraColour::CellSize + TfraColour::LineWidth;
constexpr int GridLeft = 1;  // inside the grid's frame line
constexpr int GridTop = 1;

const QColor GridLineColour(0xC0, 0xC0, 0xC0);
const QColor GridFrameColour(0x80, 0x80, 0x80);

}  // namespace

TfraColour::TfraColour(QWidget* parent) : QWidget(parent)
{
    resize(127, 95);

    dgColours = new QWidget(this);
    dgColours->setObjectName(QStringLiteral("dgColours"));
    dgColours->setGeometry(5, 5, 115, 83);
    dgColours->setAttribute(Qt::WA_OpaquePaintEvent);
    dgColours->installEventFilter(this);

    if (liveFrames++ == 0) {
        table = new TPaletteTable{};
        LoadSettings();
    }
}

TfraColour::~TfraColour()
{
    if (--liveFrames == 0) {
        delete table;
        table = nullptr;
    }
}

QRect TfraColour::CellRect(int col, int row)
{
    return QRect(GridLeft + col * Pitch, GridTop + row * Pitch, CellSize, CellSize);
}

TColor TfraColour::Colour() const
{
    if (colourSet_) return colour_;
    return RgbToColour(palette().color(backgroundRole()).rgb());
}

void TfraColour::ShowColour(TColor colour)
{
    colour_ = colour;
    colourSet_ = true;
    QPalette pal = palette();
    pal.setColor(backgroundRole(), QColor::fromRgb(ColourToRgb(colour)));
    setPalette(pal);
    setAutoFillBackground(true);
}

void TfraColour::SetColour(TColor colour)
{
    ShowColour(colour);
    for (int row = 0; row < RowCount; ++row) {
        for (int col = 0; col < ColCount; ++col) {
            if (GetCellColour(col, row) != colour) continue;
            selCol_ = col;
            selRow_ = row;
            dgColours->update();
            if (OnSelect) OnSelect(this);
            return;
        }
    }
}

TColor TfraColour::GetCellColour(int col, int row) const
{
    if (!table || col < 0 || col >= ColCount || row < 0 || row >= RowCount) return clBlack;
    return (*table)[row][col];
}

void TfraColour::ReadSettings(TIniFile* ini)
{
    if (!ini || !table) return;
    if (!ini->SectionExists(Section)) {
        *table = kFirstUsePalette;
        return;
    }
    for (int row = 0; row < RowCount; ++row)
        for (int col = 0; col < ColCount; ++col)
            (*table)[row][col] = static_cast<TColor>(ini->ReadInteger(Section, CellKey(col, row), 0));
}

void TfraColour::WriteSettings(TIniFile* ini)
{
    if (!ini || !table) return;
    for (int row = 0; row < RowCount; ++row)
        for (int col = 0; col < ColCount; ++col)
            ini->WriteString(Section, CellKey(col, row), QString::asprintf("0x%08X", (*table)[row][col]));
}

void TfraColour::LoadSettings()
{
    TIniFile ini(SettingsFileName());
    ReadSettings(&ini);
}

void TfraColour::dgColoursMouseDown(const QPoint& position)
{
    const int x = position.x() - GridLeft;
    const int y = position.y() - GridTop;
    if (x < 0 || y < 0) return;
    const int col = x / Pitch;
    const int row = y / Pitch;
    if (col >= ColCount || row >= RowCount) return;
    selCol_ = col;
    selRow_ = row;
}

void TfraColour::dgColoursClick()
{
    ShowColour(GetCellColour(selCol_, selRow_));
    if (OnSelect) OnSelect(this);
}

void TfraColour::dgColoursDblClick()
{
    const int col = selCol_;
    const int row = selRow_;
    const TColor old = GetCellColour(col, row);
    std::optional<TColor> chosen = Dialogs().ChooseColour(old);
    if (!chosen) return;
    if (*chosen != old && table) {
        (*table)[row][col] = *chosen;
        TIniFile ini(SettingsFileName());
        // The first swatch edited on a first-use palette stores the whole
        // table: with one key alone, the others would read back black.
        if (ini.SectionExists(Section))
            ini.WriteString(Section, CellKey(col, row), QString::asprintf("0x%08X", *chosen));
        else
            WriteSettings(&ini);
    }
    dgColours->update();
}

void TfraColour::dgColoursDrawCell(QPainter& painter, int col, int row)
{
    // A rectangle over the whole cell: the pen outlines it, the brush fills it.
    const QRect cell = CellRect(col, row);
    painter.fillRect(cell, QColor::fromRgb(ColourToRgb(GetCellColour(col, row))));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(cell.adjusted(0, 0, -1, -1));
}

void TfraColour::PaintGrid()
{
    QPainter painter(dgColours);
    painter.setRenderHint(QPainter::Antialiasing, false);
    const int w = dgColours->width();
    const int h = dgColours->height();
    painter.fillRect(0, 0, w, h, Qt::white);

    painter.setPen(GridLineColour);
    for (int col = 0; col < ColCount; ++col) {
        const int x = GridLeft + col * Pitch + CellSize;
        painter.drawLine(x, GridTop, x, GridTop + RowCount * Pitch - 1);
    }
    for (int row = 0; row < RowCount; ++row) {
        const int y = GridTop + row * Pitch + CellSize;
        painter.drawLine(GridLeft, y, GridLeft + ColCount * Pitch - 1, y);
    }

    painter.setPen(QPen(Qt::black, 0));
    for (int row = 0; row < RowCount; ++row)
        for (int col = 0; col < ColCount; ++col) dgColoursDrawCell(painter, col, row);

    painter.setPen(GridFrameColour);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(0, 0, w - 1, h - 1);
}

bool TfraColour::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != dgColours) return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Paint: PaintGrid(); return true;
    case QEvent::MouseButtonPress:
        pressed_ = true;
        dgColoursMouseDown(static_cast<QMouseEvent*>(event)->position().toPoint());
        return true;
    case QEvent::MouseButtonRelease:
        if (pressed_) {
            pressed_ = false;
            dgColoursClick();
        }
        return true;
    case QEvent::MouseButtonDblClick:
        pressed_ = false;
        dgColoursMouseDown(static_cast<QMouseEvent*>(event)->position().toPoint());
        Guarded([this] { dgColoursDblClick(); });
        return true;
    default: return QWidget::eventFilter(watched, event);
    }
}
