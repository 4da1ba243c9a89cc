#include "settings/Annotatewin.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QPushButton>
#include <QShowEvent>

#include "settings/Quorvfont.h"
#include "settings/Settingsmodel.h"
#include "settings/Valwin.h"
#include "ui/Dialogs.h"

TfrmAnnotate* frmAnnotate = nullptr;

TfrmAnnotate::TfrmAnnotate(QWidget* parent) : TSettingsWindow(parent, SystemMenuOnly)
{
    setObjectName(QStringLiteral("frmAnnotate"));
    setWindowTitle(QStringLiteral("Annotate settings"));
    resize(241, 236);

    fraFont1 = new TfraFont(this);
    fraFont1->setObjectName(QStringLiteral("fraFont1"));
    fraFont1->move(0, 0);

    cbVisible = new QCheckBox(QStringLiteral("Visible"), this);
    cbVisible->setObjectName(QStringLiteral("cbVisible"));
    cbVisible->setGeometry(140, 16, 96, 24);
    cbVisible->setChecked(true);

    btnLoad = Button(QStringLiteral("btnLoad"), QStringLiteral("&Load"), this, QRect(140, 56, 96, 30));
    btnSave = Button(QStringLiteral("btnSave"), QStringLiteral("Sa&ve"), this, QRect(140, 96, 96, 30));
    btnQuit = Button(QStringLiteral("btnQuit"), QStringLiteral("&Close"), this, QRect(140, 136, 96, 30));

    connect(cbVisible, &QCheckBox::toggled, this, &TfrmAnnotate::cbVisibleClick);
    connect(btnLoad, &QPushButton::clicked, this, &TfrmAnnotate::btnLoadClick);
    connect(btnSave, &QPushButton::clicked, this, [this] { Guarded([this] { btnSaveClick(); }); });
    connect(btnQuit, &QPushButton::clicked, this, &TfrmAnnotate::btnQuitClick);

    fraFont1->SetSectionName(QStringLiteral("Font"));
    fraFont1->LoadSettings();

    frmAnnotate = this;
    ObjectSettings().Annotate = this;
}

TfrmAnnotate::~TfrmAnnotate()
{
    if (ObjectSettings().Annotate == this) ObjectSettings().Annotate = nullptr;
    if (frmAnnotate == this) frmAnnotate = nullptr;
}

void TfrmAnnotate::cbVisibleClick() { SettingsChanged(); }

void TfrmAnnotate::btnLoadClick()
{
    fraFont1->LoadSettings();
    SettingsChanged();
}

void TfrmAnnotate::btnSaveClick() { fraFont1->SaveSettings(); }

void TfrmAnnotate::btnQuitClick() { hide(); }

bool TfrmAnnotate::IsVisible() const { return cbVisible->isChecked(); }

void TfrmAnnotate::ApplyFont(TFont& font, int n) const
{
    if (const TFont* chosen = fraFont1->GetSizeFont(n)) font = *chosen;
}
