#pragma once
// TfraLineChoice: one line style choice, a sample picture of its own pen next
// to a radio button. Choices that share a parent act as one radio group: a
// click on one unchecks the others and calls OnClick.
//
// The sample is a white 49 x 17 box with a black one-pixel border, and the
// pen's line from (9, 9) to (40, 9) (the end pixel left out). It is redrawn
// whenever LineWidth, LineStyle or LineColour is written, and by Redraw().

#include <QString>
#include <QWidget>
#include <functional>

#include "app/Surface.h"

class QLabel;
class QRadioButton;

// The pen that is drawn for a pen as the settings keep it: a style outside
// psSolid .. psInsideFrame draws solid, and a width beyond MaxDrawnPenWidth
// draws that wide.
constexpr int MaxDrawnPenWidth = 1000;
TPen DrawnPen(const TPen& pen);

class TfraLineChoice : public QWidget {
    Q_OBJECT

public:
    static constexpr int SampleWidth = 49;
    static constexpr int SampleHeight = 17;

    explicit TfraLineChoice(QWidget* parent = nullptr);
    ~TfraLineChoice() override;

    // Controls.
    QLabel* im;        // shows Sample()
    QRadioButton* rb;  // caption "1" until Caption is written

    // Writing any of these redraws the sample. A negative width leaves the
    // width unchanged.
    int LineWidth() const { return pen_.Width; }
    void SetLineWidth(int width);
    int LineStyle() const { return pen_.Style; }
    void SetLineStyle(int style);
    TColor LineColour() const { return pen_.Colour; }
    void SetLineColour(TColor colour);

    QString Caption() const;
    void SetCaption(const QString& caption);

    // The choice's own pen. Writing copies colour, style and width without
    // redrawing the sample.
    const TPen& Pen() const { return pen_; }
    void SetPen(const TPen& pen);

    // Called with the choice after its radio button was clicked.
    std::function<void(TfraLineChoice* sender)> OnClick;

    // Writing true to an unchecked choice acts as a click on it.
    bool Checked() const;
    void SetChecked(bool checked);

    // Only the radio button is enabled or disabled; the sample stays as it is.
    bool Enabled() const;
    void SetEnabled(bool enabled);

    // The sample picture as last drawn.
    const TSurface& Sample() const { return sample_; }
    void Redraw();

    // Handler of the radio button.
    void rbClick();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    TPen pen_;
    TSurface sample_;
};
