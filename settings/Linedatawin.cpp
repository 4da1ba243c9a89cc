#include "settings/Linedatawin.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QPushButton>
#include <QShowEvent>

#include "settings/Quorvline.h"
#include "settings/Settingsmodel.h"
#include "settings/Valwin.h"
#include "ui/Dialogs.h"

TfrmLineData* frmLineData = nullptr;

TfrmLineData::TfrmLineData(QWidget* parent) : TSettingsWindow(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmLineData"));
    setWindowTitle(QStringLiteral("Line Data Settings"));
    resize(593, 238);

    fraLine1 = new TfraLine(this);
    fraLine1->setObjectName(QStringLiteral("fraLine1"));
    fraLine1->setGeometry(0, 0, 483, 238);

    cbVisible = new QCheckBox(QStringLiteral("Visible"), this);
    cbVisible->setObjectName(QStringLiteral("cbVisible"));
    cbVisible->setGeometry(496, 16, 89, 24);
    cbVisible->setChecked(true);

    btnLoad = Button(QStringLiteral("btnLoad"), QStringLiteral("&Load"), this, QRect(496, 56, 89, 30));
    btnSave = Button(QStringLiteral("btnSave"), QStringLiteral("&Save"), this, QRect(496, 96, 89, 30));
    btnQuit = Button(QStringLiteral("btnQuit"), QStringLiteral("&Close"), this, QRect(496, 136, 89, 30));

    connect(cbVisible, &QCheckBox::toggled, this, &TfrmLineData::cbVisibleClick);
    connect(btnLoad, &QPushButton::clicked, this, &TfrmLineData::btnLoadClick);
    connect(btnSave, &QPushButton::clicked, this, [this] { Guarded([this] { btnSaveClick(); }); });
    connect(btnQuit, &QPushButton::clicked, this, &TfrmLineData::btnQuitClick);

    fraLine1->LoadSettings();

    frmLineData = this;
    ObjectSettings().LineData = this;
}

TfrmLineData::~TfrmLineData()
{
    if (ObjectSettings().LineData == this) ObjectSettings().LineData = nullptr;
    if (frmLineData == this) frmLineData = nullptr;
}

void TfrmLineData::cbVisibleClick() { SettingsChanged(); }

void TfrmLineData::btnLoadClick()
{
    const TChangeBatch batch;  // the loaded type shown in the controls asks for repaints too
    fraLine1->LoadSettings();
    SettingsChanged();
}

void TfrmLineData::btnSaveClick() { fraLine1->SaveSettings(); }

void TfrmLineData::btnQuitClick() { hide(); }

const TPen& TfrmLineData::GetPen(int lineType) { return fraLine1->GetPen(lineType); }

bool TfrmLineData::IsVisible() const { return cbVisible->isChecked(); }
