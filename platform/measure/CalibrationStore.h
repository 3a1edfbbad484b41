#pragma once

#include "Calibration.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace varnolet {

// The calibrations a program keeps in its own file: per camera a list of named presets
// (one per objective: "10x", "40x"), each with calibrations at one or more capture sizes,
// and the preset in use. Kept as JSON and written whole through AtomicFile::replace.
//
// The file is read as untrusted input: anything malformed (bad JSON, wrong types, sizes or
// scales out of range, an oversized file) sets the whole file aside under a new name and
// the store starts empty, so a damaged file never stops the program and is never
// overwritten.
class CalibrationStore
{
public:
    enum class LoadResult { Loaded, Missing, SetAside, Unreadable };

    struct Preset
    {
        std::string name;
        std::vector<Calibration> sizes;
    };

    explicit CalibrationStore(std::string path);

    // The key a camera's calibrations are kept under: "usb:vvvv:pppp:serial" (or without
    // the serial) for a USB camera, else "name:" + the device name.
    static std::string cameraKey(uint16_t vendorId, uint16_t productId, const std::string &serial,
                                 const std::string &deviceName);

    const std::string &path() const { return m_path; }
    LoadResult load();
    // Where load() put a damaged file (empty when it did not).
    const std::string &setAsidePath() const { return m_setAsidePath; }
    // 0 or the errno of the failed write.
    int save() const;

    // Keys of the cameras that have calibrations or presets, in key order.
    std::vector<std::string> cameras() const;
    std::vector<std::string> presetNames(const std::string &camera) const;
    // The preset in use; empty when the camera has none.
    std::string currentPreset(const std::string &camera) const;
    bool choosePreset(const std::string &camera, const std::string &name);
    // False for an empty, too long or already used name.
    bool addPreset(const std::string &camera, const std::string &name);
    bool renamePreset(const std::string &camera, const std::string &from, const std::string &to);
    bool deletePreset(const std::string &camera, const std::string &name);
    // Stores the calibration under the preset (created when missing), replacing one of the
    // same size; the preset becomes the one in use.
    bool setCalibration(const std::string &camera, const std::string &preset,
                        const Calibration &calibration);
    // The current preset's calibration for width x height (scaled from another size of the
    // same shape when needed).
    std::optional<Calibration> lookup(const std::string &camera, int width, int height) const;
    const Preset *preset(const std::string &camera, const std::string &name) const;

    static constexpr size_t kLargestFile = 1 << 20;
    static constexpr size_t kLongestName = 64;

private:
    struct Camera
    {
        std::string current;
        std::vector<Preset> presets;
    };

    static bool validName(const std::string &name);
    bool parse(const std::string &bytes);
    std::string serialize() const;
    Preset *findPreset(Camera &camera, const std::string &name);

    std::string m_path;
    std::string m_setAsidePath;
    std::map<std::string, Camera> m_cameras;
};

} // namespace varnolet
