#include "CalibrationStore.h"

#include "platform/system/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/stat.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

namespace varnolet {

namespace {

constexpr int kFormat = 1;

} // namespace

CalibrationStore::CalibrationStore(std::string path)
    : m_path(std::move(path))
{
}

std::string CalibrationStore::cameraKey(uint16_t vendorId, uint16_t productId,
                                        const std::string &serial, const std::string &deviceName)
{
    if (vendorId == 0 && productId == 0)
        return "name:" + deviceName;
    char ids[16];
    std::snprintf(ids, sizeof ids, "%04x:%04x", vendorId, productId);
    std::string key = std::string("usb:") + ids;
    if (!serial.empty())
        key += ":" + serial;
    return key;
}

bool CalibrationStore::validName(const std::string &name)
{
    return !name.empty() && name.size() <= kLongestName;
}

CalibrationStore::LoadResult CalibrationStore::load()
{
    m_cameras.clear();
    m_setAsidePath.clear();
    struct stat info
    {
    };
    if (::stat(m_path.c_str(), &info) != 0)
        return errno == ENOENT ? LoadResult::Missing : LoadResult::Unreadable;
    bool good = false;
    if (S_ISREG(info.st_mode) && static_cast<size_t>(info.st_size) <= kLargestFile) {
        std::ifstream in(m_path, std::ios::binary);
        if (!in)
            return LoadResult::Unreadable;
        std::ostringstream bytes;
        bytes << in.rdbuf();
        good = parse(bytes.str());
    }
    if (good)
        return LoadResult::Loaded;
    m_cameras.clear();
    // Set aside under the first free name, never onto another file.
    for (int number = 1; number < 1000; ++number) {
        const std::string target =
            m_path + ".damaged" + (number == 1 ? std::string() : "-" + std::to_string(number));
        const int error = AtomicFile::renameKeepingExisting(m_path, target);
        if (error == 0) {
            m_setAsidePath = target;
            return LoadResult::SetAside;
        }
        if (error != EEXIST)
            break;
    }
    return LoadResult::Unreadable;
}

bool CalibrationStore::parse(const std::string &bytes)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size())), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return false;
    const QJsonObject root = document.object();
    if (root.value("format").toInt(-1) != kFormat || !root.value("cameras").isObject())
        return false;
    const QJsonObject cameras = root.value("cameras").toObject();
    for (auto it = cameras.begin(); it != cameras.end(); ++it) {
        if (!it.value().isObject() || it.key().isEmpty())
            return false;
        const QJsonObject object = it.value().toObject();
        Camera camera;
        if (!object.value("presets").isArray() ||
            !(object.value("current").isString() || object.value("current").isUndefined()))
            return false;
        camera.current = object.value("current").toString().toStdString();
        for (const QJsonValue &presetValue : object.value("presets").toArray()) {
            if (!presetValue.isObject())
                return false;
            const QJsonObject presetObject = presetValue.toObject();
            Preset preset;
            preset.name = presetObject.value("name").toString().toStdString();
            if (!validName(preset.name) || !presetObject.value("sizes").isArray() ||
                findPreset(camera, preset.name))
                return false;
            for (const QJsonValue &sizeValue : presetObject.value("sizes").toArray()) {
                const QJsonObject size = sizeValue.toObject();
                const QJsonValue width = size.value("width");
                const QJsonValue height = size.value("height");
                const QJsonValue scale = size.value("micrometresPerPixel");
                if (!width.isDouble() || !height.isDouble() || !scale.isDouble())
                    return false;
                const double w = width.toDouble();
                const double h = height.toDouble();
                if (w != static_cast<int>(w) || h != static_cast<int>(h))
                    return false;
                Calibration calibration{static_cast<int>(w), static_cast<int>(h), scale.toDouble()};
                if (!calibration.isValid())
                    return false;
                preset.sizes.push_back(calibration);
            }
            camera.presets.push_back(std::move(preset));
        }
        if (!camera.current.empty() && !findPreset(camera, camera.current))
            return false;
        m_cameras[it.key().toStdString()] = std::move(camera);
    }
    return true;
}

std::string CalibrationStore::serialize() const
{
    QJsonObject cameras;
    for (const auto &[key, camera] : m_cameras) {
        QJsonArray presets;
        for (const Preset &preset : camera.presets) {
            QJsonArray sizes;
            for (const Calibration &size : preset.sizes)
                sizes.append(QJsonObject{{"width", size.width},
                                         {"height", size.height},
                                         {"micrometresPerPixel", size.micrometresPerPixel}});
            presets.append(
                QJsonObject{{"name", QString::fromStdString(preset.name)}, {"sizes", sizes}});
        }
        cameras.insert(
            QString::fromStdString(key),
            QJsonObject{{"current", QString::fromStdString(camera.current)}, {"presets", presets}});
    }
    const QJsonObject root{{"format", kFormat}, {"cameras", cameras}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
}

int CalibrationStore::save() const
{
    // The program's folder may not be there yet (nothing else was saved so far).
    const std::filesystem::path folder = std::filesystem::path(m_path).parent_path();
    std::error_code error;
    if (!folder.empty() && !std::filesystem::is_directory(folder, error)) {
        std::filesystem::create_directories(folder, error);
        if (error)
            return error.value();
    }
    return AtomicFile::replace(m_path, serialize());
}

CalibrationStore::Preset *CalibrationStore::findPreset(Camera &camera, const std::string &name)
{
    for (Preset &preset : camera.presets)
        if (preset.name == name)
            return &preset;
    return nullptr;
}

const CalibrationStore::Preset *CalibrationStore::preset(const std::string &camera,
                                                         const std::string &name) const
{
    const auto found = m_cameras.find(camera);
    if (found == m_cameras.end())
        return nullptr;
    for (const Preset &preset : found->second.presets)
        if (preset.name == name)
            return &preset;
    return nullptr;
}

std::vector<std::string> CalibrationStore::cameras() const
{
    std::vector<std::string> keys;
    for (const auto &[key, camera] : m_cameras)
        keys.push_back(key);
    return keys;
}

std::vector<std::string> CalibrationStore::presetNames(const std::string &camera) const
{
    std::vector<std::string> names;
    const auto found = m_cameras.find(camera);
    if (found != m_cameras.end())
        for (const Preset &preset : found->second.presets)
            names.push_back(preset.name);
    return names;
}

std::string CalibrationStore::currentPreset(const std::string &camera) const
{
    const auto found = m_cameras.find(camera);
    return found == m_cameras.end() ? std::string() : found->second.current;
}

bool CalibrationStore::choosePreset(const std::string &camera, const std::string &name)
{
    const auto found = m_cameras.find(camera);
    if (found == m_cameras.end() || !findPreset(found->second, name))
        return false;
    found->second.current = name;
    return true;
}

bool CalibrationStore::addPreset(const std::string &camera, const std::string &name)
{
    if (!validName(name))
        return false;
    Camera &entry = m_cameras[camera];
    if (findPreset(entry, name))
        return false;
    entry.presets.push_back(Preset{name, {}});
    if (entry.current.empty())
        entry.current = name;
    return true;
}

bool CalibrationStore::renamePreset(const std::string &camera, const std::string &from,
                                    const std::string &to)
{
    const auto found = m_cameras.find(camera);
    if (found == m_cameras.end() || !validName(to))
        return false;
    Preset *preset = findPreset(found->second, from);
    if (!preset || (from != to && findPreset(found->second, to)))
        return false;
    preset->name = to;
    if (found->second.current == from)
        found->second.current = to;
    return true;
}

bool CalibrationStore::deletePreset(const std::string &camera, const std::string &name)
{
    const auto found = m_cameras.find(camera);
    if (found == m_cameras.end())
        return false;
    auto &presets = found->second.presets;
    const auto at = std::find_if(presets.begin(), presets.end(),
                                 [&](const Preset &preset) { return preset.name == name; });
    if (at == presets.end())
        return false;
    presets.erase(at);
    if (found->second.current == name)
        found->second.current = presets.empty() ? std::string() : presets.front().name;
    return true;
}

bool CalibrationStore::setCalibration(const std::string &camera, const std::string &presetName,
                                      const Calibration &calibration)
{
    if (!calibration.isValid() || !validName(presetName))
        return false;
    Camera &entry = m_cameras[camera];
    Preset *preset = findPreset(entry, presetName);
    if (!preset) {
        entry.presets.push_back(Preset{presetName, {}});
        preset = &entry.presets.back();
    }
    auto &sizes = preset->sizes;
    const auto same = std::find_if(sizes.begin(), sizes.end(), [&](const Calibration &size) {
        return size.width == calibration.width && size.height == calibration.height;
    });
    if (same != sizes.end())
        *same = calibration;
    else
        sizes.push_back(calibration);
    entry.current = presetName;
    return true;
}

std::optional<Calibration> CalibrationStore::lookup(const std::string &camera, int width,
                                                    int height) const
{
    const Preset *current = preset(camera, currentPreset(camera));
    if (!current)
        return std::nullopt;
    return Calibration::forSize(current->sizes, width, height);
}

} // namespace varnolet
