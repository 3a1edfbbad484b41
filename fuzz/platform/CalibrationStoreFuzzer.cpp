// Any bytes as the calibration file: loading never crashes; a file that loads is written
// back and reads again as the same calibrations; any other file is set aside and the store
// is empty.
#include "platform/measure/CalibrationStore.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

using varnolet::CalibrationStore;

namespace {

std::string folder()
{
    static const std::string path = [] {
        char pattern[] = "/tmp/varnolet-calibration-fuzz-XXXXXX";
        const char *made = mkdtemp(pattern);
        if (!made)
            std::abort();
        return std::string(made);
    }();
    return path;
}

bool writeFile(const std::string &path, const uint8_t *data, size_t size)
{
    FILE *file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string path = folder() + "/calibration.json";
    if (!writeFile(path, data, size))
        return 0;
    CalibrationStore store(path);
    const CalibrationStore::LoadResult result = store.load();
    if (result == CalibrationStore::LoadResult::SetAside) {
        if (!store.cameras().empty() || store.setAsidePath().empty())
            std::abort();
        std::remove(store.setAsidePath().c_str());
        return 0;
    }
    if (result != CalibrationStore::LoadResult::Loaded)
        std::abort();
    if (store.save() != 0)
        std::abort();
    CalibrationStore again(path);
    if (again.load() != CalibrationStore::LoadResult::Loaded || again.cameras() != store.cameras())
        std::abort();
    for (const std::string &camera : store.cameras()) {
        if (again.presetNames(camera) != store.presetNames(camera) ||
            again.currentPreset(camera) != store.currentPreset(camera))
            std::abort();
        for (const std::string &name : store.presetNames(camera))
            if (again.preset(camera, name)->sizes != store.preset(camera, name)->sizes)
                std::abort();
    }
    std::remove(path.c_str());
    return 0;
}
