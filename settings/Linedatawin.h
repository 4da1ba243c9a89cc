#pragma once
// TfrmLineData: the settings window of line records. Its line style chooser
// holds the pen of each line type; line drawing asks it through
// ILineSettings on every paint, so edits show at the next repaint without
// saving. "&Load" and "&Save" read and write the chooser's entries of the
// settings file ("&Load" repaints the drawing with what it read);
// unchecking "Visible" hides all lines.

#include "settings/Settingswin.h"

#include "app/Drawstyle.h"
#include "drawing/Objectsettings.h"

class QCheckBox;
class QPushButton;
class TfraLine;
class TValWin;

class TfrmLineData : public TSettingsWindow, public ILineSettings {
    Q_OBJECT

public:
    explicit TfrmLineData(QWidget* parent = nullptr);
    ~TfrmLineData() override;

    // Controls.
    TfraLine* fraLine1;
    QCheckBox* cbVisible;
    QPushButton* btnLoad;
    QPushButton* btnSave;
    QPushButton* btnQuit;

    // Handlers.
    void cbVisibleClick();
    void btnLoadClick();
    void btnSaveClick();  // throws EFileError
    void btnQuitClick();

    // ILineSettings.
    const TPen& GetPen(int lineType) override;
    bool IsVisible() const override;
};

// The one instance, set when it is constructed.
extern TfrmLineData* frmLineData;
