#include "settings/Junctionwin.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>

#include "settings/Inifile.h"
#include "settings/Quorvcolour.h"
#include "settings/Quorvline.h"
#include "settings/Settingsmodel.h"
#include "settings/Valwin.h"
#include "ui/Dialogs.h"

TfrmJunction* frmJunction = nullptr;

namespace {

const QString Section = QStringLiteral("Junction Data");
const QString DiameterKey = QStringLiteral("Diameter");
const QString ColourKey = QStringLiteral("Colour");

constexpr int DefaultDiameter = 3;  // when the settings file has none
constexpr int DesignedDiameter = 4;

}  // namespace

TfrmJunction::TfrmJunction(QWidget* parent) : TSettingsWindow(parent, SystemMenuOnly)
{
    setObjectName(QStringLiteral("frmJunction"));
    setWindowTitle(QStringLiteral("Junction Settings"));
    resize(260, 215);

    Label1 = new QLabel(QStringLiteral("Diameter"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(16, 16, 64, 24);

    udDiameter = new QSpinBox(this);
    udDiameter->setObjectName(QStringLiteral("udDiameter"));
    udDiameter->setGeometry(88, 14, 72, 28);
    udDiameter->setRange(0, 100);
    udDiameter->setValue(DesignedDiameter);
    efDiameter = udDiameter->findChild<QLineEdit*>();
    efDiameter->setObjectName(QStringLiteral("efDiameter"));

    gbColour = new QGroupBox(QStringLiteral("Colour"), this);
    gbColour->setObjectName(QStringLiteral("gbColour"));
    gbColour->setGeometry(8, 52, 145, 121);
    fraColour1 = new TfraColour(gbColour);
    fraColour1->setObjectName(QStringLiteral("fraColour1"));
    fraColour1->move(10, 18);

    cbVisible = new QCheckBox(QStringLiteral("Visible"), this);
    cbVisible->setObjectName(QStringLiteral("cbVisible"));
    cbVisible->setGeometry(168, 16, 84, 24);
    cbVisible->setChecked(true);

    btnLoad = Button(QStringLiteral("btnLoad"), QStringLiteral("&Load"), this, QRect(168, 60, 84, 30));
    btnSave = Button(QStringLiteral("btnSave"), QStringLiteral("Sa&ve"), this, QRect(168, 100, 84, 30));
    btnQuit = Button(QStringLiteral("btnQuit"), QStringLiteral("&Close"), this, QRect(168, 140, 84, 30));

    ConnectTextChange(udDiameter, this, [this] { efDiameterChange(); });
    connect(cbVisible, &QCheckBox::toggled, this, &TfrmJunction::cbVisibleClick);
    connect(btnLoad, &QPushButton::clicked, this, &TfrmJunction::btnLoadClick);
    connect(btnSave, &QPushButton::clicked, this, [this] { Guarded([this] { btnSaveClick(); }); });
    connect(btnQuit, &QPushButton::clicked, this, &TfrmJunction::btnQuitClick);

    LoadSettings();

    frmJunction = this;
    ObjectSettings().Junction = this;
}

TfrmJunction::~TfrmJunction()
{
    if (ObjectSettings().Junction == this) ObjectSettings().Junction = nullptr;
    if (frmJunction == this) frmJunction = nullptr;
}

void TfrmJunction::LoadSettings()
{
    TIniFile ini(SettingsFileName());
    ReadSettings(ini);
}

void TfrmJunction::ReadSettings(TIniFile& ini)
{
    fraColour1->ReadSettings(&ini);
    udDiameter->setValue(ini.ReadInteger(Section, DiameterKey, DefaultDiameter));
    // Junctions are black until a colour is stored.
    const auto colour = static_cast<TColor>(ini.ReadInteger(Section, ColourKey, std::int32_t(clBlack)));
    fraColour1->SetColour(colour);
}

void TfrmJunction::SaveSettings()
{
    TIniFile ini(SettingsFileName());
    WriteSettings(ini);
}

void TfrmJunction::WriteSettings(TIniFile& ini)
{
    fraColour1->WriteSettings(&ini);
    ini.WriteInteger(Section, DiameterKey, udDiameter->value());
    ini.WriteInteger(Section, ColourKey, std::int32_t(fraColour1->Colour()));
}

void TfrmJunction::efDiameterChange() { SettingsChanged(); }

void TfrmJunction::cbVisibleClick() { SettingsChanged(); }

void TfrmJunction::btnLoadClick()
{
    const TChangeBatch batch;  // the diameter loaded asks for one too
    LoadSettings();
    SettingsChanged();
}

void TfrmJunction::btnSaveClick() { SaveSettings(); }

void TfrmJunction::btnQuitClick() { hide(); }

int TfrmJunction::GetDiameter() const { return static_cast<std::int16_t>(udDiameter->value()); }

TColor TfrmJunction::GetColour() const { return fraColour1->Colour(); }

bool TfrmJunction::IsVisible() const { return cbVisible->isChecked(); }
