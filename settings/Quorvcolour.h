#pragma once
// TfraColour: a palette of 35 colours shown as a 7 x 5 grid of swatches.
// Clicking a swatch makes its colour the frame's current colour (shown as the
// frame's background); double-clicking edits the swatch in the colour dialog.
// Every palette frame shows and edits one shared table, kept in the section
// "Colours" of the settings file.

#include <QWidget>
#include <functional>

#include "app/Drawstyle.h"

class TIniFile;

class TfraColour : public QWidget {
    Q_OBJECT

public:
    static constexpr int ColCount = 7;
    static constexpr int RowCount = 5;
    static constexpr int CellSize = 15;  // pixels, without the grid line
    static constexpr int LineWidth = 1;

    explicit TfraColour(QWidget* parent = nullptr);
    ~TfraColour() override;

    // The draw grid of swatches. Cell (col, row) covers the 15 x 15 pixels
    // from CellRect(col, row); one grid line follows every cell.
    QWidget* dgColours;
    static QRect CellRect(int col, int row);

    // The current colour. Until something sets it, the container's background.
    TColor Colour() const;
    // Shows the colour and selects the first swatch (row by row) that has it.
    void SetColour(TColor colour);

    // Called when the user's pick, or a Colour write that found its swatch,
    // changes the current colour.
    std::function<void(TfraColour* sender)> OnSelect;

    int SelectedCol() const { return selCol_; }
    int SelectedRow() const { return selRow_; }

    // The shared table. Reading a settings file without the section
    // "Colours" gives the first-use palette (black, greys, white, then
    // colours in four shades); with the section, missing or invalid keys
    // give black. Reading does not repaint; writing goes row by row, column
    // by column; a null settings file object does nothing. WriteSettings
    // throws EFileError.
    void ReadSettings(TIniFile* ini);
    void WriteSettings(TIniFile* ini);
    void LoadSettings();
    // The table entry; black outside the table.
    TColor GetCellColour(int col, int row) const;

    // Handlers of the grid.
    void dgColoursMouseDown(const QPoint& position);
    void dgColoursClick();
    // Writes the changed swatch, or the whole table while the settings file
    // has no section "Colours". Throws EFileError when that cannot be written.
    void dgColoursDblClick();
    void dgColoursDrawCell(QPainter& painter, int col, int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void PaintGrid();
    void ShowColour(TColor colour);

    int selCol_ = 0;
    int selRow_ = 0;
    bool colourSet_ = false;
    TColor colour_ = clBlack;
    bool pressed_ = false;
};
