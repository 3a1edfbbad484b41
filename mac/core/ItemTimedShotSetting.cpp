#include "ItemTimedShotSetting.h"

void ItemTimedShotSetting::copy(const ItemTimedShotSetting &other)
{
    nCurrentValueForTimedShot = other.nCurrentValueForTimedShot;
    nMinValueForTimedShot = other.nMinValueForTimedShot;
    nMaxValueForTimedShot = other.nMaxValueForTimedShot;
}
