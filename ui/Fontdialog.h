#pragma once
// TFontDialog: the program's font dialog. Face, point size, bold, italic,
// underline, strike-out and colour of one font; the colour is chosen in the
// colour dialog (through the dialog seam) and kept as a colour value, so a
// system colour stays what it is unless another colour is chosen. What the
// dialog does not show (the character set) comes back as it was preset.

#include <QDialog>

#include "app/Drawstyle.h"

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QPushButton;
class QSpinBox;

class TFontDialog : public QDialog {
    Q_OBJECT
public:
    explicit TFontDialog(const TFont& preset, QWidget* parent = nullptr);

    // The font the controls show.
    TFont Font() const;

    // Controls.
    QComboBox* cbFace;  // editable: a face that is not installed keeps its name
    QSpinBox* sePoints;
    QCheckBox* cbBold;
    QCheckBox* cbItalic;
    QCheckBox* cbUnderline;
    QCheckBox* cbStrikeOut;
    QPushButton* btnColour;  // "&Colour...": the colour dialog
    QLabel* lbColour;        // a swatch of the colour
    QLabel* lbSample;        // a sample text in the font
    QDialogButtonBox* buttons;

    // Runs the colour dialog preset with the font's colour; a confirmed
    // choice becomes the font's colour.
    void btnColourClick();

private:
    void ShowSample();

    TFont font_;  // what the controls do not show, and the colour
};
