#include "ui/Fontdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "ui/Dialogs.h"

namespace {
// Longest face name a font keeps, and the point sizes the dialog offers.
constexpr int MaxFaceLength = 31;
constexpr int MinPoints = 1;
constexpr int MaxPoints = 1638;
}  // namespace

TFontDialog::TFontDialog(const TFont& preset, QWidget* parent) : QDialog(parent), font_(preset)
{
    setObjectName(QStringLiteral("FontDialog1"));
    setWindowTitle(QStringLiteral("Font"));

    cbFace = new QComboBox;
    cbFace->setObjectName(QStringLiteral("cbFace"));
    cbFace->setEditable(true);
    cbFace->setInsertPolicy(QComboBox::NoInsert);
    cbFace->addItems(QFontDatabase::families());
    cbFace->setEditText(preset.Face);
    cbFace->lineEdit()->setMaxLength(MaxFaceLength);

    sePoints = new QSpinBox;
    sePoints->setObjectName(QStringLiteral("sePoints"));
    sePoints->setRange(MinPoints, MaxPoints);
    sePoints->setValue(preset.Size);

    const auto checkBox = [](const char* name, const QString& caption, bool checked) {
        auto* box = new QCheckBox(caption);
        box->setObjectName(QLatin1String(name));
        box->setChecked(checked);
        return box;
    };
    cbBold = checkBox("cbBold", QStringLiteral("&Bold"), preset.Bold);
    cbItalic = checkBox("cbItalic", QStringLiteral("&Italic"), preset.Italic);
    cbUnderline = checkBox("cbUnderline", QStringLiteral("&Underline"), preset.Underline);
    cbStrikeOut = checkBox("cbStrikeOut", QStringLiteral("Stri&ke-out"), preset.StrikeOut);

    btnColour = new QPushButton(QStringLiteral("&Colour..."));
    btnColour->setObjectName(QStringLiteral("btnColour"));
    lbColour = new QLabel;
    lbColour->setObjectName(QStringLiteral("lbColour"));
    lbColour->setFixedSize(32, 20);
    lbColour->setFrameShape(QFrame::Box);
    lbColour->setAutoFillBackground(true);

    lbSample = new QLabel(QStringLiteral("AaBbYyZz"));
    lbSample->setObjectName(QStringLiteral("lbSample"));
    lbSample->setAlignment(Qt::AlignCenter);
    lbSample->setMinimumSize(240, 64);
    lbSample->setFrameShape(QFrame::StyledPanel);

    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->setObjectName(QStringLiteral("buttons"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Font:"), cbFace);
    form->addRow(QStringLiteral("&Size:"), sePoints);
    auto* styles = new QGridLayout;
    styles->addWidget(cbBold, 0, 0);
    styles->addWidget(cbItalic, 0, 1);
    styles->addWidget(cbUnderline, 1, 0);
    styles->addWidget(cbStrikeOut, 1, 1);
    form->addRow(QStringLiteral("Style:"), styles);
    auto* colour = new QHBoxLayout;
    colour->addWidget(lbColour);
    colour->addWidget(btnColour);
    colour->addStretch();
    form->addRow(QStringLiteral("Colour:"), colour);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(lbSample);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(btnColour, &QPushButton::clicked, this, &TFontDialog::btnColourClick);
    connect(cbFace, &QComboBox::currentTextChanged, this, &TFontDialog::ShowSample);
    connect(sePoints, &QSpinBox::valueChanged, this, &TFontDialog::ShowSample);
    for (QCheckBox* box : {cbBold, cbItalic, cbUnderline, cbStrikeOut})
        connect(box, &QCheckBox::toggled, this, &TFontDialog::ShowSample);
    ShowSample();
}

TFont TFontDialog::Font() const
{
    TFont font = font_;
    const QString face = cbFace->currentText().trimmed().left(MaxFaceLength);
    if (!face.isEmpty()) font.Face = face;
    font.Size = sePoints->value();
    font.Bold = cbBold->isChecked();
    font.Italic = cbItalic->isChecked();
    font.Underline = cbUnderline->isChecked();
    font.StrikeOut = cbStrikeOut->isChecked();
    return font;
}

void TFontDialog::btnColourClick()
{
    if (const auto chosen = Dialogs().ChooseColour(font_.Colour)) {
        font_.Colour = *chosen;
        ShowSample();
    }
}

void TFontDialog::ShowSample()
{
    const TFont font = Font();
    const QColor colour = QColor::fromRgb(ColourToRgb(font.Colour));
    QPalette swatch = lbColour->palette();
    swatch.setColor(QPalette::Window, colour);
    lbColour->setPalette(swatch);
    lbSample->setFont(font.ToQFont());
    QPalette sample = lbSample->palette();
    sample.setColor(QPalette::WindowText, colour);
    lbSample->setPalette(sample);
}
