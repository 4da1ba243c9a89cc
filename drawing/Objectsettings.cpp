#include "drawing/Objectsettings.h"

TObjectSettings& ObjectSettings()
{
    static TObjectSettings settings;
    return settings;
}
