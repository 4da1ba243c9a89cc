#pragma once
// The appearance settings as a whole: the settings windows announce here that
// something changed how the drawing looks, and whoever shows a drawing
// listens (the main window repaints its page at once). The settings code
// knows nothing of the windows that listen.
//
// One change, one announcement: while a TChangeBatch is open, changes are
// only noted, and the outermost batch announces once when it closes. A
// handler whose work runs other handlers (a control it sets runs its own
// change handler) opens one for its duration.

#include <QObject>

#include "app/Drawstyle.h"

class TSettingsModel : public QObject {
    Q_OBJECT
public:
    // Something that changes how the drawing looks has changed.
    void Announce();

    // The main window's own canvas pen (not the page image's): line types
    // without a choice of their own draw with it.
    TPen CanvasPen;

signals:
    void Changed();

private:
    friend class TChangeBatch;
    int batches_ = 0;
    bool asked_ = false;
};

// The one model of the program.
TSettingsModel& SettingsModel();
// SettingsModel().Announce().
void SettingsChanged();
// SettingsModel().CanvasPen.
TPen& MainCanvasPen();

class TChangeBatch {
public:
    TChangeBatch();
    ~TChangeBatch();
    TChangeBatch(const TChangeBatch&) = delete;
    TChangeBatch& operator=(const TChangeBatch&) = delete;
};
