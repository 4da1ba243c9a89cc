#include "settings/Linechioce.h"

#include <QLabel>
#include <QPixmap>
#include <QRadioButton>
#include <QResizeEvent>
#include <algorithm>

namespace {

// A radio button that a click checks but never unchecks. It is not
// auto-exclusive (it sits alone in its choice), so the choices of one parent
// uncheck each other themselves.
class TCheckOnlyRadioButton : public QRadioButton {
public:
    using QRadioButton::QRadioButton;

protected:
    void nextCheckState() override
    {
        if (!isChecked()) setChecked(true);
    }
};

constexpr int ButtonLeft = 56;

}  // namespace

TPen DrawnPen(const TPen& pen)
{
    TPen drawn = pen;
    if (drawn.Style < psSolid || drawn.Style > psInsideFrame) drawn.Style = psSolid;
    if (drawn.Width > MaxDrawnPenWidth) drawn.Width = MaxDrawnPenWidth;
    return drawn;
}

TfraLineChoice::TfraLineChoice(QWidget* parent) : QWidget(parent), sample_(SampleWidth, SampleHeight)
{
    resize(115, 17);

    im = new QLabel(this);
    im->setObjectName(QStringLiteral("im"));
    im->setGeometry(0, 0, SampleWidth, SampleHeight);

    rb = new TCheckOnlyRadioButton(QStringLiteral("1"), this);
    rb->setObjectName(QStringLiteral("rb"));
    rb->setAutoExclusive(false);
    rb->setGeometry(ButtonLeft, 0, 41, 17);
    connect(rb, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked) rbClick();
    });

    Redraw();
}

TfraLineChoice::~TfraLineChoice() = default;

void TfraLineChoice::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The button takes the width the choice has beside its sample.
    rb->setGeometry(ButtonLeft, 0, std::max(41, width() - ButtonLeft), height());
}

void TfraLineChoice::SetLineWidth(int width)
{
    if (width >= 0) pen_.Width = width;
    Redraw();
}

void TfraLineChoice::SetLineStyle(int style)
{
    pen_.Style = style;
    Redraw();
}

void TfraLineChoice::SetLineColour(TColor colour)
{
    pen_.Colour = colour;
    Redraw();
}

QString TfraLineChoice::Caption() const { return rb->text(); }
void TfraLineChoice::SetCaption(const QString& caption) { rb->setText(caption); }

void TfraLineChoice::SetPen(const TPen& pen)
{
    pen_.Colour = pen.Colour;
    pen_.Style = pen.Style;
    if (pen.Width >= 0) pen_.Width = pen.Width;
}

bool TfraLineChoice::Checked() const { return rb->isChecked(); }
void TfraLineChoice::SetChecked(bool checked) { rb->setChecked(checked); }

bool TfraLineChoice::Enabled() const { return rb->isEnabled(); }
void TfraLineChoice::SetEnabled(bool enabled) { rb->setEnabled(enabled); }

void TfraLineChoice::Redraw()
{
    sample_.Brush = TBrush{clWhite, bsSolid};
    sample_.Pen = TPen{clBlack, psInsideFrame, 1, pmCopy};
    sample_.Rectangle(0, 0, SampleWidth, SampleHeight);
    sample_.Pen = DrawnPen(pen_);
    sample_.MoveTo(9, 9);
    sample_.LineTo(40, 9);
    im->setPixmap(QPixmap::fromImage(sample_.Image()));
}

void TfraLineChoice::rbClick()
{
    if (QWidget* parent = parentWidget()) {
        for (QObject* child : parent->children()) {
            auto* other = qobject_cast<TfraLineChoice*>(child);
            if (other && other != this) other->SetChecked(false);
        }
    }
    if (OnClick) OnClick(this);
}
