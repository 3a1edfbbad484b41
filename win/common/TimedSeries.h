#pragma once

#include <cstdint>
#include <string>

// The running timed-shot series, held by the frame sinks' owner. Written by the UI thread at
// a series start, before any shot is queued, and afterwards only by the saving thread; it
// has no lock.
struct TimedSeries
{
    int32_t seriesNumber = 0;
    int32_t shotNumber = 0; // number of the next shot, advanced by NextTimedShotPath
    std::string dateStamp;  // date of flat timed-shot names; unused with per-day folders
};
