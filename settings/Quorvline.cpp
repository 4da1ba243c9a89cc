#include "settings/Quorvline.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QStringList>
#include <memory>

#include "settings/Inifile.h"
#include "settings/Linechioce.h"
#include "settings/Quorvcolour.h"
#include "settings/Quorvfont.h"
#include "settings/Settingsmodel.h"

namespace {

const QString Section = QStringLiteral("Lines");

QString TypeKey(const TfraLineChoice* choice) { return QStringLiteral("Type ") + choice->Caption(); }

QString LineItems(TColor colour, int style, int width)
{
    return FormatColourLower(colour) + QString::asprintf(",%d,%d", style, width);
}

// The line choices among a group box's controls, in their order.
QList<TfraLineChoice*> Choices(const QGroupBox* group)
{
    QList<TfraLineChoice*> choices;
    for (QObject* child : group->children())
        if (auto* choice = qobject_cast<TfraLineChoice*>(child)) choices << choice;
    return choices;
}

bool IsSolidOrClear(const TfraLineChoice* choice)
{
    const QString caption = choice->Caption();
    return caption.compare(QLatin1String("Solid"), Qt::CaseInsensitive) == 0 ||
           caption.compare(QLatin1String("Clear"), Qt::CaseInsensitive) == 0;
}

TFont FrameFont()
{
    TFont font;
    font.Face = QStringLiteral("MS Sans Serif");
    font.Size = 12;
    font.Bold = true;
    font.Colour = clBlue;
    return font;
}

TfraLineChoice* NewChoice(QWidget* parent, const QString& name, const QString& caption, const QRect& geometry)
{
    auto* choice = new TfraLineChoice(parent);
    choice->setObjectName(name);
    choice->setGeometry(geometry);
    choice->SetCaption(caption);
    return choice;
}

}  // namespace

std::array<QMetaObject::Connection, 2> ConnectTextChange(QSpinBox* upDown, QObject* context,
                                                         std::function<void()> handler)
{
    // Typing reaches the field's own signal, the arrows and position writes
    // the up-down's (the up-down writes its field with signals blocked). A
    // typed number that moves the position reaches both: run once per text.
    auto lastText = std::make_shared<QString>(upDown->text());
    auto changed = [lastText, handler = std::move(handler)](const QString& text) {
        if (text == *lastText) return;
        *lastText = text;
        handler();
    };
    auto* field = upDown->findChild<QLineEdit*>();
    return {QObject::connect(upDown, &QSpinBox::textChanged, context, changed),
            QObject::connect(field, &QLineEdit::textChanged, context, changed)};
}

TfraLine::TfraLine(QWidget* parent) : QWidget(parent)
{
    resize(483, 203);
    ShowFontOn(this, FrameFont());
    iniFileName_ = SettingsFileName();

    gbType = new QGroupBox(QStringLiteral("Line Type"), this);
    gbType->setObjectName(QStringLiteral("gbType"));
    gbType->setGeometry(0, 0, 121, 202);
    TfraLineChoice** types[5] = {&lcType1, &lcType2, &lcType3, &lcType4, &lcType5};
    for (int i = 0; i < 5; ++i) {
        *types[i] = NewChoice(gbType, QStringLiteral("lcType%1").arg(i + 1), QString::number(i + 1),
                              QRect(14, 32 + 34 * i, 99, 17));
        (*types[i])->OnClick = [this](TfraLineChoice* sender) { lcTypeClick(sender); };
    }

    gbStyle = new QGroupBox(QStringLiteral("Line Style"), this);
    gbStyle->setObjectName(QStringLiteral("gbStyle"));
    gbStyle->setGeometry(120, 0, 361, 202);
    const char* captions[6] = {"Solid", "Dash", "Dot", "DashDot", "DashDotDot", "Clear"};
    TfraLineChoice** styles[6] = {&lcStyle0, &lcStyle1, &lcStyle2, &lcStyle3, &lcStyle4, &lcStyle5};
    for (int k = 0; k < 6; ++k) {
        *styles[k] = NewChoice(gbStyle, QStringLiteral("lcStyle%1").arg(k), QString::fromLatin1(captions[k]),
                               QRect(16, 24 + 30 * k, 190, 17));
        (*styles[k])->OnClick = [this](TfraLineChoice* sender) { lcStyleClick(sender); };
    }
    for (TfraLineChoice* dashed : {lcStyle1, lcStyle2, lcStyle3, lcStyle4}) dashed->SetEnabled(false);

    lbWidth = new QLabel(QStringLiteral("Width"), gbStyle);
    lbWidth->setObjectName(QStringLiteral("lbWidth"));
    lbWidth->setGeometry(216, 32, 52, 28);
    lbWidth->setEnabled(false);

    udWidth = new QSpinBox(gbStyle);
    udWidth->setObjectName(QStringLiteral("udWidth"));
    udWidth->setGeometry(272, 32, 41 + 24, 28);
    udWidth->setRange(MinWidth, MaxWidth);
    udWidth->setValue(1);
    udWidth->setWrapping(false);
    udWidth->setEnabled(false);
    efWidth = udWidth->findChild<QLineEdit*>();
    efWidth->setObjectName(QStringLiteral("efWidth"));
    efWidth->setEnabled(false);
    widthChange_ = ConnectTextChange(udWidth, this, [this] { efWidthChange(); });

    gbColour = new QGroupBox(QStringLiteral("Line Colour"), gbStyle);
    gbColour->setObjectName(QStringLiteral("gbColour"));
    gbColour->setGeometry(208, 72, 145, 121);
    gbColour->setEnabled(false);
    fraColour1 = new TfraColour(gbColour);
    fraColour1->setObjectName(QStringLiteral("fraColour1"));
    fraColour1->move(10, 18);

    // The style choices stand for the pen styles in their order.
    int k = 0;
    for (TfraLineChoice* choice : Choices(gbStyle)) choice->SetLineStyle(k++);

    fraColour1->OnSelect = [this](TfraColour*) { fraColour1Select(); };
}

TfraLine::~TfraLine() = default;

TfraLineChoice* TfraLine::TypeChoice(int lineType) const
{
    // Asked for every line on every paint: the members, not a search by name.
    if (lineType < 1 || lineType > 5) return nullptr;
    TfraLineChoice* const types[5] = {lcType1, lcType2, lcType3, lcType4, lcType5};
    return types[lineType - 1];
}

const TPen& TfraLine::GetPen(int lineType)
{
    const TfraLineChoice* choice = TypeChoice(lineType);
    if (!choice) return MainCanvasPen();
    handedOut_ = DrawnPen(choice->Pen());
    return handedOut_;
}

void TfraLine::DetachWidthChange()
{
    for (const QMetaObject::Connection& connection : widthChange_) disconnect(connection);
}

void TfraLine::LoadSettings()
{
    TIniFile ini(iniFileName_);
    int i = 0;
    for (TfraLineChoice* choice : Choices(gbType)) {
        const int defaultWidth = i + 1;
        const QString defaultText = LineItems(clBlack, psSolid, defaultWidth);
        QStringList items = SplitItemList(ini.ReadString(Section, TypeKey(choice), defaultText));
        if (items.size() != 3) items = SplitItemList(defaultText);

        TPen pen = choice->Pen();
        pen.Colour = static_cast<TColor>(StrToIntDef(items[0], 0));
        pen.Style = StrToIntDef(items[1], 0) & 0xFF;
        pen.Width = StrToIntDef(items[2], defaultWidth);  // a negative width is not taken
        choice->SetPen(pen);
        choice->Redraw();
        ++i;
    }

    // The controls show what was loaded for the selected type, as a click on
    // it shows them; a width the up-down cannot show stays as loaded.
    if (selectedType_) {
        const TPen loaded = selectedType_->Pen();
        lcTypeClick(selectedType_);
        selectedType_->SetPen(loaded);
        selectedType_->Redraw();
    }
}

void TfraLine::SaveSettings()
{
    TIniFile ini(iniFileName_);
    for (TfraLineChoice* choice : Choices(gbType)) {
        const TPen& pen = choice->Pen();
        ini.WriteString(Section, TypeKey(choice), LineItems(pen.Colour, pen.Style, pen.Width));
    }
}

void TfraLine::lcTypeClick(TfraLineChoice* sender)
{
    const TChangeBatch batch;  // the width and colour shown for the type may each ask for a repaint
    udWidth->setEnabled(true);
    efWidth->setEnabled(true);
    lbWidth->setEnabled(true);
    gbColour->setEnabled(true);

    selectedType_ = sender;
    udWidth->setValue(sender->LineWidth());
    fraColour1->SetColour(sender->LineColour());

    const int style = sender->LineStyle();
    for (TfraLineChoice* choice : Choices(gbStyle))
        if (choice->LineStyle() == style) choice->SetChecked(true);
}

void TfraLine::lcStyleClick(TfraLineChoice* sender)
{
    selectedStyle_ = sender;
    if (!selectedType_) return;
    selectedType_->SetLineStyle(sender->LineStyle());
    SettingsChanged();
}

void TfraLine::efWidthChange()
{
    const int w = udWidth->value();
    for (TfraLineChoice* choice : Choices(gbStyle)) {
        choice->SetLineWidth(w);
        if (!IsSolidOrClear(choice)) choice->SetEnabled(w == 1);
    }
    if (!selectedType_) return;
    selectedType_->SetLineWidth(w);
    SettingsChanged();
}

void TfraLine::fraColour1Select()
{
    const TColor c = fraColour1->Colour();
    for (TfraLineChoice* choice : Choices(gbStyle)) choice->SetLineColour(c);
    if (!selectedType_) return;
    selectedType_->SetLineColour(c);
    SettingsChanged();
}
