#include "settings/Quorvfont.h"

#include <QEvent>
#include <QGroupBox>
#include <QMouseEvent>
#include <QPalette>
#include <QRadioButton>
#include <algorithm>

#include "settings/Inifile.h"
#include "settings/Settingsmodel.h"
#include "ui/Dialogs.h"

namespace {

// Point sizes of "Size 1" .. "Size 5" when the settings file has none.
constexpr int DefaultSizes[5] = {6, 8, 10, 16, 19};
const QString DefaultFace = QStringLiteral("Arial Narrow");

// Longest face name a font keeps.
constexpr int MaxFaceLength = 31;
// Point sizes outside this range (the font dialog's own limits) are not used.
constexpr int MinPoints = 1;
constexpr int MaxPoints = 1638;

// The live choosers; the list exists only while there is one.
std::vector<TfraFont*>* registry = nullptr;

TFont DesignFont(int points, bool bold, TColor colour)
{
    TFont font;
    font.Face = QStringLiteral("MS Sans Serif");
    font.Size = points;
    font.Bold = bold;
    font.Colour = colour;
    return font;
}

// The frame's, the group's and "Size 1"'s designed font.
TFont FrameFont() { return DesignFont(12, true, clBlue); }

}  // namespace

QString FontItemList(const TFont& font)
{
    QStringList items{font.Face, QString::number(font.Size),
                      QString::asprintf("0x%08x", static_cast<unsigned>(font.Colour))};
    if (font.Bold) items << QStringLiteral("Bold");
    if (font.Italic) items << QStringLiteral("Italic");
    return JoinItemList(items);
}

void ReadFontItemList(TFont& font, const QString& value, int defaultSize)
{
    const QStringList items = SplitItemList(value);

    if (!items.isEmpty() && !items[0].isEmpty()) font.Face = items[0].left(MaxFaceLength);

    int points = items.size() > 1 ? StrToIntDef(items[1], defaultSize) : defaultSize;
    font.Size = (points >= MinPoints && points <= MaxPoints) ? points : defaultSize;

    if (value.contains(QLatin1String("0x")) && items.size() > 2)
        font.Colour = static_cast<TColor>(StrToIntDef(items[2], 0));

    font.Bold = false;
    font.Italic = false;
    font.Underline = false;  // never stored
    font.StrikeOut = false;
    for (const QString& item : items) {
        if (item.compare(QLatin1String("Bold"), Qt::CaseInsensitive) == 0) font.Bold = true;
        if (item.compare(QLatin1String("Italic"), Qt::CaseInsensitive) == 0) font.Italic = true;
    }
}

void ShowFontOn(QWidget* widget, const TFont& font)
{
    widget->setFont(font.ToQFont());
    QPalette palette = widget->palette();
    const QColor colour = QColor::fromRgb(ColourToRgb(font.Colour));
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::ButtonText, colour);
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);
}

TfraFont::TfraFont(QWidget* parent) : QWidget(parent)
{
    resize(130, 202);
    chosenFont_ = FrameFont();
    ShowFontOn(this, chosenFont_);

    gbFont = new QGroupBox(QStringLiteral("Font"), this);
    gbFont->setObjectName(QStringLiteral("gbFont"));
    gbFont->setGeometry(0, 0, 129, 201);
    ShowFontOn(gbFont, FrameFont());

    struct TDesign {
        QRect Geometry;
        TFont Font;
    };
    const TDesign designs[5] = {
        {QRect(16, 24, 97, 33), FrameFont()},
        {QRect(16, 58, 89, 33), DesignFont(10, false, clWindowText)},
        {QRect(16, 92, 97, 33), DesignFont(12, false, clWindowText)},
        {QRect(16, 126, 89, 33), DesignFont(14, false, clWindowText)},
        {QRect(16, 160, 105, 33), DesignFont(18, false, clWindowText)},
    };
    QRadioButton** buttons[5] = {&rb0, &rb1, &rb2, &rb3, &rb4};
    for (int n = 0; n < 5; ++n) {
        auto* button = new QRadioButton(QStringLiteral("Size %1").arg(n + 1), gbFont);
        button->setObjectName(QStringLiteral("rb%1").arg(n));
        button->setGeometry(designs[n].Geometry);
        button->installEventFilter(this);
        connect(button, &QRadioButton::clicked, this, [this, button] { rbClick(button); });
        *buttons[n] = button;
        sizes_[n].Button = button;
        SetButtonFont(sizes_[n], designs[n].Font);
    }

    if (!registry) registry = new std::vector<TfraFont*>;
    registry->push_back(this);
}

TfraFont::~TfraFont()
{
    if (!registry) return;
    registry->erase(std::remove(registry->begin(), registry->end(), this), registry->end());
    if (registry->empty()) {
        delete registry;
        registry = nullptr;
    }
}

std::vector<TfraFont*> TfraFont::Choosers() { return registry ? *registry : std::vector<TfraFont*>{}; }

void TfraFont::SetSectionName(const QString& name)
{
    sectionName_ = name;
    LoadSettings();
}

void TfraFont::SetItemIndex(int n)
{
    if (n < 0) return;
    itemIndex_ = n;
    current_ = SizeButton(n);
    if (current_ && !current_->isChecked()) {
        current_->setChecked(true);
        rbClick(current_);
    }
}

QRadioButton* TfraFont::SizeButton(int n) const
{
    if (n < 0 || n > 4) return nullptr;
    return gbFont->findChild<QRadioButton*>(QStringLiteral("rb%1").arg(n), Qt::FindDirectChildrenOnly);
}

const TFont* TfraFont::GetSizeFont(int n) const
{
    // Size choice n is button rb<n>, entry n (asked on every paint, so no search).
    if (n < 0 || n >= int(sizes_.size()) || !sizes_[std::size_t(n)].Button) return nullptr;
    return &sizes_[std::size_t(n)].Font;
}

TfraFont::TSizeButton* TfraFont::Entry(QRadioButton* button)
{
    if (!button) return nullptr;
    for (TSizeButton& entry : sizes_)
        if (entry.Button == button) return &entry;
    return nullptr;
}

const TfraFont::TSizeButton* TfraFont::Entry(QRadioButton* button) const
{
    return const_cast<TfraFont*>(this)->Entry(button);
}

void TfraFont::SetButtonFont(TSizeButton& entry, const TFont& font)
{
    entry.Font = font;
    ShowFontOn(entry.Button, font);
}

void TfraFont::LoadSettings()
{
    TIniFile ini(SettingsFileName());
    ReadSettings(ini);
}

void TfraFont::ReadSettings(TIniFile& ini)
{
    for (int n = 0; n < 5; ++n) {
        TSizeButton* entry = Entry(SizeButton(n));
        if (!entry) continue;
        const QString defaultText = JoinItemList({DefaultFace, QString::number(DefaultSizes[n])});
        const QString value = ini.ReadString(sectionName_, entry->Button->text(), defaultText);
        TFont font = entry->Font;
        ReadFontItemList(font, value, DefaultSizes[n]);
        SetButtonFont(*entry, font);
    }
}

void TfraFont::SaveSettings()
{
    TIniFile ini(SettingsFileName());
    WriteSettings(ini);
}

void TfraFont::WriteSettings(TIniFile& ini)
{
    for (int n = 0; n < 5; ++n) {
        const TSizeButton* entry = Entry(SizeButton(n));
        if (!entry) continue;
        ini.WriteString(sectionName_, entry->Button->text(), FontItemList(entry->Font));
    }
}

void TfraFont::rbClick(QRadioButton* button)
{
    const TSizeButton* entry = Entry(button);
    if (!entry) return;
    current_ = button;
    chosenFont_ = entry->Font;
    ShowFontOn(this, chosenFont_);
    if (OnSelect) OnSelect(this);
}

void TfraFont::rbDblClick(QRadioButton* button)
{
    TSizeButton* entry = Entry(button);
    if (!entry) return;
    current_ = button;

    std::optional<TFont> chosen = Dialogs().ChooseFont(entry->Font);
    if (!chosen) return;
    const TChangeBatch batch;  // and once more through OnSelect
    SetButtonFont(*entry, *chosen);
    SettingsChanged();

    for (TfraFont* other : Choosers()) {
        if (other == this) continue;
        auto* same = other->gbFont->findChild<QRadioButton*>(button->objectName(), Qt::FindDirectChildrenOnly);
        if (TSizeButton* otherEntry = other->Entry(same)) other->SetButtonFont(*otherEntry, entry->Font);
    }

    if (OnSelect) OnSelect(this);
}

bool TfraFont::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonDblClick && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (TSizeButton* entry = Entry(qobject_cast<QRadioButton*>(watched))) {
            QRadioButton* button = entry->Button;
            Guarded([&] { rbDblClick(button); });
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
