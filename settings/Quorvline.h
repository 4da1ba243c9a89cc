#pragma once
// TfraLine: the line style chooser. Five line types ("Line Type", lcType1 ..
// lcType5), each a pen of its own; for the selected type the user picks a
// dash style from six samples, a width of 1 to 10 and a colour from the
// palette ("Line Style"). Every change goes to the selected type at once and
// repaints the main window. All choosers keep the five types under the same
// keys "Type 1" .. "Type 5" of section "Lines", as "0x%08x,%d,%d" (colour,
// style number, width).
//
// Dash styles can be picked only for width 1: any other width disables
// "Dash", "Dot", "DashDot" and "DashDotDot" (but leaves the style of a type
// that already has one of them).

#include <QMetaObject>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>

#include "app/Drawstyle.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class TfraColour;
class TfraLineChoice;

// Calls handler whenever the text of an up-down's number field changes: by
// typing, by the arrows or by writing the position. Returns the connections
// that do it.
std::array<QMetaObject::Connection, 2> ConnectTextChange(QSpinBox* upDown, QObject* context,
                                                         std::function<void()> handler);

class TfraLine : public QWidget {
    Q_OBJECT

public:
    static constexpr int MinWidth = 1;
    static constexpr int MaxWidth = 10;

    explicit TfraLine(QWidget* parent = nullptr);
    ~TfraLine() override;

    // Controls.
    QGroupBox* gbType;
    TfraLineChoice* lcType1;
    TfraLineChoice* lcType2;
    TfraLineChoice* lcType3;
    TfraLineChoice* lcType4;
    TfraLineChoice* lcType5;
    QGroupBox* gbStyle;
    TfraLineChoice* lcStyle0;  // "Solid"
    TfraLineChoice* lcStyle1;  // "Dash"
    TfraLineChoice* lcStyle2;  // "Dot"
    TfraLineChoice* lcStyle3;  // "DashDot"
    TfraLineChoice* lcStyle4;  // "DashDotDot"
    TfraLineChoice* lcStyle5;  // "Clear"
    QLabel* lbWidth;
    QSpinBox* udWidth;   // the up-down position, 1 .. 10
    QLineEdit* efWidth;  // the number field of udWidth
    QGroupBox* gbColour;
    TfraColour* fraColour1;

    // The pen of line type 1 .. 5 as drawn (a stored style number above
    // psInsideFrame draws solid); for any other number the main window's own
    // canvas pen. Owned by the frame: copy it at once.
    const TPen& GetPen(int lineType);
    // The type choice "lcType%d" of that number, nullptr if there is none.
    TfraLineChoice* TypeChoice(int lineType) const;

    // The section and keys above, in the settings file named when the frame
    // was created. After a load the width, palette and style controls show
    // the selected type's loaded values. SaveSettings throws EFileError.
    void LoadSettings();
    void SaveSettings();

    // The type and the style last clicked; nullptr until then.
    TfraLineChoice* SelectedType() const { return selectedType_; }
    TfraLineChoice* SelectedStyle() const { return selectedStyle_; }

    // Removes the width field's change handler: typing a width or using the
    // up-down then changes no pen (the document box window does this).
    void DetachWidthChange();

    // Handlers.
    void lcTypeClick(TfraLineChoice* sender);
    void lcStyleClick(TfraLineChoice* sender);
    void efWidthChange();
    void fraColour1Select();

private:
    QString iniFileName_;
    TfraLineChoice* selectedType_ = nullptr;
    TfraLineChoice* selectedStyle_ = nullptr;
    std::array<QMetaObject::Connection, 2> widthChange_;
    TPen handedOut_;
};
