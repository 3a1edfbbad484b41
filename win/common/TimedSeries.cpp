#include "TimedSeries.h"

TimedSeries &TimedSeriesRecord()
{
    static TimedSeries *record = new TimedSeries();
    return *record;
}
