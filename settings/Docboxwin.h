#pragma once
// TfrmDocBox: the settings window of document boxes. Its font chooser's size
// choice 0 is the font of the box texts, its line style chooser's type 2 pen
// outlines the boxes; document box drawing asks it through IDocBoxSettings on
// every paint. The two choosers share their settings entries ("Font" and
// "Lines") with the annotation and the line settings windows; unsaved edits
// stay in the window where they were made. The line chooser's width field
// changes no pen here. Unchecking "Visible" hides all document boxes.

#include "settings/Settingswin.h"

#include "app/Drawstyle.h"
#include "drawing/Objectsettings.h"

class QCheckBox;
class QPushButton;
class TfraFont;
class TfraLine;
class TValWin;

class TfrmDocBox : public TSettingsWindow, public IDocBoxSettings {
    Q_OBJECT

public:
    explicit TfrmDocBox(QWidget* parent = nullptr);
    ~TfrmDocBox() override;

    // Controls.
    TfraFont* fraFont1;
    TfraLine* fraLine1;
    QCheckBox* cbVisible;
    QPushButton* btnReload;
    QPushButton* btnSave;
    QPushButton* btnQuit;

    // Handlers.
    void cbVisibleClick();
    void btnReloadClick();
    void btnSaveClick();  // throws EFileError
    void btnQuitClick();

    // IDocBoxSettings.
    const TPen& GetPen(int lineType) override;
    void ApplyFont(TFont& font, int n) const override;
    bool IsVisible() const override;
};

// The one instance, set when it is constructed.
extern TfrmDocBox* frmDocBox;
