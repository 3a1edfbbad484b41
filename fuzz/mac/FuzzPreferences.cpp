// Any bytes as the user's preferences file, read over a factory record: whatever the file
// holds, every value in force stays in the range its key allows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include <unistd.h>

#include "mac/core/SettingParams.h"
#include "mac/core/UserDefaults.h"

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

const std::string &preferencesPath()
{
    static const std::string path = [] {
        char folder[] = "/tmp/fuzz-preferences-XXXXXX";
        check(mkdtemp(folder) != nullptr);
        return std::string(folder) + "/preferences.plist";
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    {
        std::ofstream out(preferencesPath(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
    }
    UserDefaults store(preferencesPath());
    SettingParams params;
    params.setResourcesSavingLocation("/factory");
    for (int32_t unit = 0; unit < 3; ++unit) {
        params.shotsItemTimedShotSetting(unit) = ItemTimedShotSetting{10, 1, 60};
        params.timesItemTimedShotSetting(unit) = ItemTimedShotSetting{30, 1, 300};
    }
    params.settingParamFromUserConfig(store);

    check(!params.resourcesSavingLocation().empty());
    check(params.movieSizeEnum() == 0 || params.movieSizeEnum() == 1);
    check(params.movieSavingSizeLimit() >= 16 && params.movieSavingSizeLimit() <= 4096);
    check(params.mTimeTypeOfShotsForTimedShot() >= 0 && params.mTimeTypeOfShotsForTimedShot() <= 2);
    check(params.mTimeTypeOfTimesForTimedShot() >= 0 && params.mTimeTypeOfTimesForTimedShot() <= 2);
    const int32_t shots = params.currentShotsTimedShotSetting().nCurrentValueForTimedShot;
    const int32_t times = params.currentTimesTimedShotSetting().nCurrentValueForTimedShot;
    check(shots >= 1 && shots <= 60);
    check(times >= 1 && times <= 300);
    return 0;
}
