#pragma once
// TfrmAnnotate: the settings window of annotation texts: five font choices
// (shared with the document box window through section "Font") and a
// "Visible" switch that hides or shows all annotations. Annotation drawing
// asks it through IAnnotateSettings on every paint. The switch is not stored:
// every run starts with annotations visible.

#include "settings/Settingswin.h"

#include "app/Drawstyle.h"
#include "drawing/Objectsettings.h"

class QCheckBox;
class QPushButton;
class TfraFont;
class TValWin;

class TfrmAnnotate : public TSettingsWindow, public IAnnotateSettings {
    Q_OBJECT

public:
    explicit TfrmAnnotate(QWidget* parent = nullptr);
    ~TfrmAnnotate() override;

    // Controls.
    TfraFont* fraFont1;
    QCheckBox* cbVisible;
    QPushButton* btnLoad;
    QPushButton* btnSave;
    QPushButton* btnQuit;

    // Handlers.
    void cbVisibleClick();
    void btnLoadClick();
    void btnSaveClick();  // throws EFileError
    void btnQuitClick();

    // IAnnotateSettings.
    bool IsVisible() const override;
    void ApplyFont(TFont& font, int n) const override;
};

// The one instance, set when it is constructed.
extern TfrmAnnotate* frmAnnotate;
