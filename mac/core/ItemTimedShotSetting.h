#pragma once

#include <cstdint>

// One range of a timed-shot value: the value in force and its limits.
class ItemTimedShotSetting
{
public:
    int32_t nCurrentValueForTimedShot = 0;
    int32_t nMinValueForTimedShot = 0;
    int32_t nMaxValueForTimedShot = 0;

    // Copies the three values of the other item into this one.
    void copy(const ItemTimedShotSetting &other);
    bool operator==(const ItemTimedShotSetting &) const = default;
};
