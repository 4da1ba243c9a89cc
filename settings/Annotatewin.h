#pragma once
// TfrmAnnotate: the settings window of annotation texts: five font choices
// (shared with the document box window through section "Font") and a
// "Visible" switch that hides or shows all annotations. Annotation drawing
// asks it through IAnnotateSettings on every paint. The switch is not stored:
// every run starts with annotations visible.

#include <QWidget>

#include "app/Surface.h"
#include "drawing/Objectsettings.h"

class QCheckBox;
class QPushButton;
class TfraFont;
class TValWin;

class TfrmAnnotate : public QWidget, public IAnnotateSettings {
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
    TValWin* ValWin1;  // placement, owned by the window

    // Handlers.
    void FormShow();
    void FormClose();
    void cbVisibleClick();
    void btnLoadClick();
    void btnSaveClick();  // throws EFileError
    void btnQuitClick();

    // IAnnotateSettings.
    bool IsVisible() const override;
    void ApplyFont(TFont& font, int n) const override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
};

// The one instance, set when it is constructed.
extern TfrmAnnotate* frmAnnotate;
