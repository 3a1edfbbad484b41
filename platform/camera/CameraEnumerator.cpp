#include "CameraEnumerator.h"

#include "platform/system/UniqueFd.h"
#include "UsbLocation.h"
#include "V4l2Camera.h"
#include "VirtualCameraHub.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>

#include <fcntl.h>
#include <libudev.h>

namespace varnolet {

namespace fs = std::filesystem;

namespace {

struct UdevDeleter
{
    void operator()(udev *u) const { udev_unref(u); }
    void operator()(udev_enumerate *e) const { udev_enumerate_unref(e); }
    void operator()(udev_device *d) const { udev_device_unref(d); }
};

std::string property(udev_device *device, const char *name)
{
    const char *value = udev_device_get_property_value(device, name);
    return value ? value : "";
}

uint16_t hexAttribute(udev_device *device, const char *name)
{
    const char *value = udev_device_get_sysattr_value(device, name);
    return value ? static_cast<uint16_t>(std::strtoul(value, nullptr, 16)) : 0;
}

} // namespace

std::string CameraEnumerator::byPathLink(const std::string &devlinks)
{
    std::istringstream stream(devlinks);
    std::string link;
    std::vector<std::string> links;
    while (stream >> link) {
        if (link.rfind("/dev/v4l/by-path/", 0) == 0)
            links.push_back(link);
    }
    if (links.empty())
        return {};
    // Newer udev adds a second, shorter alias; the one with "-video-index" names the node.
    for (const std::string &candidate : links) {
        if (candidate.find("-video-index") != std::string::npos)
            return candidate;
    }
    return links.front();
}

std::string CameraEnumerator::findLinkTo(const std::string &node, const std::string &folder)
{
    std::error_code error;
    const fs::path target = fs::weakly_canonical(node, error);
    if (error)
        return {};
    std::vector<std::string> matches;
    for (const auto &entry : fs::directory_iterator(folder, error)) {
        std::error_code entryError;
        if (!entry.is_symlink(entryError))
            continue;
        if (fs::weakly_canonical(entry.path(), entryError) == target && !entryError)
            matches.push_back(entry.path().string());
    }
    if (matches.empty())
        return {};
    std::sort(matches.begin(), matches.end());
    for (const std::string &candidate : matches) {
        if (candidate.find("-video-index") != std::string::npos)
            return candidate;
    }
    return matches.front();
}

std::string CameraEnumerator::stableDevicePath(const std::string &node, const std::string &devlinks,
                                               const std::string &byPathFolder)
{
    std::string path = byPathLink(devlinks);
    // Two devices with the same path (several instances of one platform driver) claim the
    // same link; udev points it at only one of them. A link that exists and leads to another
    // node is not this node's name: taking it would open the other camera.
    if (!path.empty() && !byPathFolder.empty()) {
        std::error_code error;
        const fs::path link = fs::path(byPathFolder) / fs::path(path).filename();
        if (fs::is_symlink(link, error) &&
            fs::weakly_canonical(link, error) != fs::weakly_canonical(node, error))
            path.clear();
    }
    if (path.empty())
        path = findLinkTo(node, byPathFolder);
    return path.empty() ? node : path;
}

std::vector<CameraIdentity> CameraEnumerator::listV4l2()
{
    std::vector<CameraIdentity> cameras;
    std::unique_ptr<udev, UdevDeleter> context(udev_new());
    if (!context)
        return cameras;
    std::unique_ptr<udev_enumerate, UdevDeleter> enumerate(udev_enumerate_new(context.get()));
    if (!enumerate)
        return cameras;
    udev_enumerate_add_match_subsystem(enumerate.get(), "video4linux");
    udev_enumerate_scan_devices(enumerate.get());

    udev_list_entry *entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get()))
    {
        std::unique_ptr<udev_device, UdevDeleter> device(
            udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
        if (!device)
            continue;
        const char *node = udev_device_get_devnode(device.get());
        if (!node)
            continue;
        // The driver's own answer decides: metadata and output nodes are not cameras.
        UniqueFd fd(::open(node, O_RDWR | O_NONBLOCK | O_CLOEXEC));
        std::string card;
        if (!fd || !V4l2Camera::isStreamingCapture(fd.get(), &card))
            continue;

        CameraIdentity identity;
        identity.nodePath = node;
        identity.devicePath = stableDevicePath(node, property(device.get(), "DEVLINKS"));
        identity.friendlyName = card.empty() ? std::string(node) : card;
        // The parent is not referenced separately; it lives as long as device.
        if (udev_device *usb =
                udev_device_get_parent_with_subsystem_devtype(device.get(), "usb", "usb_device")) {
            identity.usbSysfsPath = udev_device_get_syspath(usb);
            identity.usbLocation = UsbLocation::fromSysfsPath(identity.usbSysfsPath).value_or(0);
            identity.usbVendorId = hexAttribute(usb, "idVendor");
            identity.usbProductId = hexAttribute(usb, "idProduct");
            // The driver's card name is cut to 31 bytes and often carries the interface's
            // name after a colon ("Scope: Scope"); the device's own product string is the
            // name the camera gives itself.
            if (const char *product = udev_device_get_sysattr_value(usb, "product");
                product && *product)
                identity.friendlyName = product;
        }
        cameras.push_back(std::move(identity));
    }
    return cameras;
}

CameraEnumerator::CameraEnumerator(VirtualCameraHub &hub)
    : m_hub(&hub)
{
}

std::vector<CameraIdentity> CameraEnumerator::list()
{
    std::vector<CameraIdentity> cameras = listV4l2();
    if (m_hub) {
        for (CameraIdentity &identity : m_hub->list())
            cameras.push_back(std::move(identity));
    }
    return cameras;
}

std::unique_ptr<CameraSource> CameraEnumerator::open(const std::string &devicePath, int &error)
{
    if (VirtualCameraHub::isVirtualPath(devicePath)) {
        if (m_hub)
            return m_hub->open(devicePath, error);
        error = -ENODEV;
        return nullptr;
    }
    for (const CameraIdentity &identity : listV4l2()) {
        if (identity.devicePath == devicePath)
            return V4l2Camera::open(identity, error);
    }
    error = -ENODEV;
    return nullptr;
}

} // namespace varnolet
