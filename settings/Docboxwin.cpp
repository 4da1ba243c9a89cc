#include "settings/Docboxwin.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QPushButton>
#include <QShowEvent>

#include "settings/Quorvfont.h"
#include "settings/Quorvline.h"
#include "settings/Settingsmodel.h"
#include "settings/Valwin.h"
#include "ui/Dialogs.h"

TfrmDocBox* frmDocBox = nullptr;

TfrmDocBox::TfrmDocBox(QWidget* parent) : TSettingsWindow(parent, SystemMenuOnly)
{
    setObjectName(QStringLiteral("frmDocBox"));
    setWindowTitle(QStringLiteral("Doc Box Settings"));
    resize(708, 239);

    fraFont1 = new TfraFont(this);
    fraFont1->setObjectName(QStringLiteral("fraFont1"));
    fraFont1->move(0, 0);

    fraLine1 = new TfraLine(this);
    fraLine1->setObjectName(QStringLiteral("fraLine1"));
    fraLine1->move(132, 0);
    fraLine1->DetachWidthChange();

    cbVisible = new QCheckBox(QStringLiteral("Visible"), this);
    cbVisible->setObjectName(QStringLiteral("cbVisible"));
    cbVisible->setGeometry(624, 16, 80, 24);
    cbVisible->setChecked(true);

    btnReload = Button(QStringLiteral("btnReload"), QStringLiteral("&Load"), this, QRect(624, 56, 80, 30));
    btnSave = Button(QStringLiteral("btnSave"), QStringLiteral("Sa&ve"), this, QRect(624, 96, 80, 30));
    btnQuit = Button(QStringLiteral("btnQuit"), QStringLiteral("&Close"), this, QRect(624, 136, 80, 30));

    connect(cbVisible, &QCheckBox::toggled, this, &TfrmDocBox::cbVisibleClick);
    connect(btnReload, &QPushButton::clicked, this, &TfrmDocBox::btnReloadClick);
    connect(btnSave, &QPushButton::clicked, this, [this] { Guarded([this] { btnSaveClick(); }); });
    connect(btnQuit, &QPushButton::clicked, this, &TfrmDocBox::btnQuitClick);

    fraFont1->SetSectionName(QStringLiteral("Font"));
    fraFont1->LoadSettings();
    fraLine1->LoadSettings();

    frmDocBox = this;
    ObjectSettings().DocBox = this;
}

TfrmDocBox::~TfrmDocBox()
{
    if (ObjectSettings().DocBox == this) ObjectSettings().DocBox = nullptr;
    if (frmDocBox == this) frmDocBox = nullptr;
}

void TfrmDocBox::cbVisibleClick() { SettingsChanged(); }

void TfrmDocBox::btnSaveClick()
{
    fraFont1->SaveSettings();
    fraLine1->SaveSettings();
}

void TfrmDocBox::btnReloadClick()
{
    const TChangeBatch batch;  // the loaded type shown in the controls asks for repaints too
    fraLine1->LoadSettings();
    fraFont1->LoadSettings();
    SettingsChanged();
}

void TfrmDocBox::btnQuitClick() { hide(); }

const TPen& TfrmDocBox::GetPen(int lineType) { return fraLine1->GetPen(lineType); }

void TfrmDocBox::ApplyFont(TFont& font, int n) const
{
    if (const TFont* chosen = fraFont1->GetSizeFont(n)) font = *chosen;
}

bool TfrmDocBox::IsVisible() const { return cbVisible->isChecked(); }
