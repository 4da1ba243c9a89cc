#include "settings/Bitmapwin.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

#include "settings/Inifile.h"
#include "settings/Quorvcolour.h"
#include "settings/Quorvfont.h"
#include "settings/Settingsmodel.h"
#include "settings/Valwin.h"
#include "ui/Dialogs.h"

TfrmBitmap* frmBitmap = nullptr;

namespace {

const QString Section = QStringLiteral("Bitmap");
const QString PinNumberKey = QStringLiteral("Pin Number");
const QString PinStringKey = QStringLiteral("Pin String");

// Size choice of both text font choosers when the settings file has none.
constexpr int DefaultSizeChoice = 3;

constexpr int AnsiCharset = 0;

TFont PinStrDefault()
{
    TFont font;
    font.Face = QStringLiteral("MS Sans Serif");
    font.Size = 8;
    font.Colour = clWindowText;
    return font;
}

TFont PinNumDefault()
{
    TFont font;
    font.Face = QStringLiteral("Small Fonts");
    font.Size = 6;
    font.Colour = clWindowText;
    font.Charset = AnsiCharset;
    return font;
}

QCheckBox* CheckBox(const QString& name, const QString& caption, QWidget* parent, const QRect& geometry)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    box->setChecked(true);
    return box;
}

}  // namespace

TfrmBitmap::TfrmBitmap(QWidget* parent) : TSettingsWindow(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmBitmap"));
    setWindowTitle(QStringLiteral("Bitmap Settings"));
    resize(548, 275);
    TFont windowFont;
    windowFont.Bold = true;
    windowFont.Colour = clBlue;
    windowFont.SetHeight(-16);
    ShowFontOn(this, windowFont);

    dlgPinStr = PinStrDefault();
    dlgPinNum = PinNumDefault();

    // Text fonts.
    fraFontDesig = new TfraFont(this);
    fraFontDesig->setObjectName(QStringLiteral("fraFontDesig"));
    fraFontDesig->move(8, 8);
    fraFontDesig->gbFont->setTitle(QStringLiteral("Designation"));
    cbDesig = CheckBox(QStringLiteral("cbDesig"), QStringLiteral("&Visible"), this, QRect(24, 214, 110, 24));

    fraFontValue = new TfraFont(this);
    fraFontValue->setObjectName(QStringLiteral("fraFontValue"));
    fraFontValue->move(146, 8);
    fraFontValue->gbFont->setTitle(QStringLiteral("Value"));
    cbValue = CheckBox(QStringLiteral("cbValue"), QStringLiteral("&Visible"), this, QRect(162, 214, 110, 24));

    // Pin names and pin numbers.
    gbPinStr = new QGroupBox(QStringLiteral("Pin String"), this);
    gbPinStr->setObjectName(QStringLiteral("gbPinStr"));
    gbPinStr->setGeometry(284, 8, 122, 104);
    btnStrFon = Button(QStringLiteral("btnStrFon"), QStringLiteral("Font"), gbPinStr, QRect(10, 24, 102, 26));
    lbPinStr = new QLabel(QStringLiteral("lbPinStr"), gbPinStr);
    lbPinStr->setObjectName(QStringLiteral("lbPinStr"));
    lbPinStr->setGeometry(4, 52, 114, 24);
    lbPinStr->setAlignment(Qt::AlignCenter);
    ShowFontOn(lbPinStr, dlgPinStr);
    cbPinStr = CheckBox(QStringLiteral("cbPinStr"), QStringLiteral("Visible"), gbPinStr, QRect(10, 78, 102, 22));

    gbPinNum = new QGroupBox(QStringLiteral("Pin Number"), this);
    gbPinNum->setObjectName(QStringLiteral("gbPinNum"));
    gbPinNum->setGeometry(284, 116, 122, 104);
    btnNumFon = Button(QStringLiteral("btnNumFon"), QStringLiteral("Font"), gbPinNum, QRect(10, 24, 102, 26));
    lbPinNum = new QLabel(QStringLiteral("lbPinNum"), gbPinNum);
    lbPinNum->setObjectName(QStringLiteral("lbPinNum"));
    lbPinNum->setGeometry(4, 52, 114, 24);
    lbPinNum->setAlignment(Qt::AlignCenter);
    ShowFontOn(lbPinNum, dlgPinNum);
    cbPinNum = CheckBox(QStringLiteral("cbPinNum"), QStringLiteral("Visible"), gbPinNum, QRect(10, 78, 102, 22));

    // The component body.
    gbBitmap = new QGroupBox(QStringLiteral("Bitmap"), this);
    gbBitmap->setObjectName(QStringLiteral("gbBitmap"));
    gbBitmap->setGeometry(412, 8, 131, 156);
    fraBmpColour = new TfraColour(gbBitmap);
    fraBmpColour->setObjectName(QStringLiteral("fraBmpColour"));
    fraBmpColour->move(2, 24);
    cbMaster = CheckBox(QStringLiteral("cbMaster"), QStringLiteral("&Visible"), gbBitmap, QRect(10, 124, 110, 24));

    btnLoad = Button(QStringLiteral("btnLoad"), QStringLiteral("&Load"), this, QRect(412, 170, 131, 30));
    btnSave = Button(QStringLiteral("btnSave"), QStringLiteral("&Save"), this, QRect(412, 204, 131, 30));
    btnQuit = Button(QStringLiteral("btnQuit"), QStringLiteral("&Close"), this, QRect(412, 238, 131, 30));

    connect(cbMaster, &QCheckBox::toggled, this, &TfrmBitmap::cbVisibleClick);
    connect(cbValue, &QCheckBox::toggled, this, &TfrmBitmap::cbVisibleClick);
    connect(cbDesig, &QCheckBox::toggled, this, &TfrmBitmap::cbVisibleClick);
    connect(cbPinNum, &QCheckBox::toggled, this, &TfrmBitmap::cbPinNumClick);
    connect(cbPinStr, &QCheckBox::toggled, this, &TfrmBitmap::cbPinStrClick);
    connect(btnNumFon, &QPushButton::clicked, this, [this] { Guarded([this] { btnNumFonClick(); }); });
    connect(btnStrFon, &QPushButton::clicked, this, [this] { Guarded([this] { btnStrFonClick(); }); });
    connect(btnSave, &QPushButton::clicked, this, [this] { Guarded([this] { btnSaveClick(); }); });
    connect(btnLoad, &QPushButton::clicked, this, &TfrmBitmap::btnLoadClick);
    connect(btnQuit, &QPushButton::clicked, this, &TfrmBitmap::btnQuitClick);

    // Settings: the size fonts, the pin fonts, then the stored size choices.
    fraFontDesig->SetSectionName(QStringLiteral("Font"));
    fraFontValue->SetSectionName(QStringLiteral("Font"));
    LoadPinFont(dlgPinNum, lbPinNum, PinNumberKey);
    LoadPinFont(dlgPinStr, lbPinStr, PinStringKey);
    fraFontDesig->OnSelect = [this](TfraFont*) { RepaintMain(); };
    fraFontValue->OnSelect = [this](TfraFont*) { RepaintMain(); };
    {
        TIniFile ini(SettingsFileName());
        const int desig = ini.ReadInteger(Section, QStringLiteral("Desig Font"), DefaultSizeChoice);
        const int value = ini.ReadInteger(Section, QStringLiteral("Value Font"), DefaultSizeChoice);
        fraFontDesig->SetItemIndex(desig);
        fraFontValue->SetItemIndex(value);
    }

    frmBitmap = this;
    ObjectSettings().Bitmap = this;
}

TfrmBitmap::~TfrmBitmap()
{
    if (ObjectSettings().Bitmap == this) ObjectSettings().Bitmap = nullptr;
    if (frmBitmap == this) frmBitmap = nullptr;
}

void TfrmBitmap::LoadPinFont(TFont& dialog, QLabel* label, const QString& key)
{
    TIniFile ini(SettingsFileName());
    if (!ini.SectionExists(Section) || !ini.ValueExists(Section, key)) return;
    ReadFontItemList(dialog, ini.ReadString(Section, key, QString()), dialog.Size);
    ShowFontOn(label, dialog);
}

void TfrmBitmap::SavePinFont(const TFont& dialog, const QString& key)
{
    TIniFile ini(SettingsFileName());
    ini.WriteString(Section, key, FontItemList(dialog));
}

void TfrmBitmap::RepaintMain() { SettingsChanged(); }

void TfrmBitmap::cbVisibleClick() { RepaintMain(); }
void TfrmBitmap::cbPinNumClick() { RepaintMain(); }
void TfrmBitmap::cbPinStrClick() { RepaintMain(); }

void TfrmBitmap::ChoosePinFont(TFont& dialog, QLabel* label, const QString& key)
{
    std::optional<TFont> chosen = Dialogs().ChooseFont(dialog);
    if (!chosen) return;
    dialog = *chosen;
    ShowFontOn(label, dialog);
    SavePinFont(dialog, key);
    RepaintMain();
}

void TfrmBitmap::btnNumFonClick() { ChoosePinFont(dlgPinNum, lbPinNum, PinNumberKey); }
void TfrmBitmap::btnStrFonClick() { ChoosePinFont(dlgPinStr, lbPinStr, PinStringKey); }

void TfrmBitmap::btnSaveClick()
{
    fraFontDesig->SaveSettings();
    fraFontValue->SaveSettings();
}

void TfrmBitmap::btnLoadClick()
{
    fraFontDesig->LoadSettings();
    fraFontValue->LoadSettings();
    SettingsChanged();
}

void TfrmBitmap::btnQuitClick() { hide(); }

bool TfrmBitmap::MasterVisible() const { return cbMaster->isChecked(); }
bool TfrmBitmap::DesigVisible() const { return cbDesig->isChecked(); }
bool TfrmBitmap::ValueVisible() const { return cbValue->isChecked(); }
bool TfrmBitmap::PinNumVisible() const { return cbPinNum->isChecked(); }
bool TfrmBitmap::PinStrVisible() const { return cbPinStr->isChecked(); }
TFont TfrmBitmap::DesigFont() const { return fraFontDesig->ChosenFont(); }
TFont TfrmBitmap::ValueFont() const { return fraFontValue->ChosenFont(); }
TFont TfrmBitmap::PinNumFont() const { return dlgPinNum; }
TFont TfrmBitmap::PinStrFont() const { return dlgPinStr; }
