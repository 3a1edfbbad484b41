#pragma once

#include "CameraSource.h"

#include <memory>
#include <string>
#include <vector>

namespace varnolet {

class VirtualCameraHub;

// Lists the cameras of the machine: V4L2 capture nodes found through udev, then the
// virtual cameras plugged into its hub. The programs hold one; tests derive from it to
// serve fakes.
class CameraEnumerator
{
public:
    // hub: the program's virtual cameras; it outlives the enumerator.
    explicit CameraEnumerator(VirtualCameraHub &hub);
    virtual ~CameraEnumerator() = default;
    CameraEnumerator(const CameraEnumerator &) = delete;
    CameraEnumerator &operator=(const CameraEnumerator &) = delete;

    // Every camera, V4L2 ones in udev order, then the hub's virtual ones.
    virtual std::vector<CameraIdentity> list();
    // Opens the camera with that device path. Null with a negative errno (-ENODEV when no
    // such camera is listed).
    virtual std::unique_ptr<CameraSource> open(const std::string &devicePath, int &error);

    // The V4L2 capture nodes only: streaming capture devices, metadata and output nodes left
    // out.
    static std::vector<CameraIdentity> listV4l2();

    // The /dev/v4l/by-path link among udev's DEVLINKS (blank-separated); empty when none.
    static std::string byPathLink(const std::string &devlinks);
    // A link in folder (normally /dev/v4l/by-path) that resolves to node; empty when none.
    static std::string findLinkTo(const std::string &node, const std::string &folder);
    // The stable device path of a node: the by-path link from DEVLINKS (unless that link in
    // byPathFolder leads to another node), else one found in the by-path folder, else the
    // node itself. An empty folder skips both checks (a removed node).
    static std::string stableDevicePath(const std::string &node, const std::string &devlinks,
                                        const std::string &byPathFolder = "/dev/v4l/by-path");

protected:
    // For fakes that override list() and open(): the base versions of both then know no
    // virtual camera.
    CameraEnumerator() = default;

private:
    VirtualCameraHub *m_hub = nullptr;
};

} // namespace varnolet
