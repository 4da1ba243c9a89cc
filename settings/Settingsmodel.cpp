#include "settings/Settingsmodel.h"

void TSettingsModel::Announce()
{
    if (batches_ > 0) {
        asked_ = true;
        return;
    }
    emit Changed();
}

TSettingsModel& SettingsModel()
{
    static TSettingsModel model;
    return model;
}

void SettingsChanged() { SettingsModel().Announce(); }

TPen& MainCanvasPen() { return SettingsModel().CanvasPen; }

TChangeBatch::TChangeBatch() { ++SettingsModel().batches_; }

TChangeBatch::~TChangeBatch()
{
    TSettingsModel& model = SettingsModel();
    if (--model.batches_ > 0 || !model.asked_) return;
    model.asked_ = false;
    model.Announce();
}
