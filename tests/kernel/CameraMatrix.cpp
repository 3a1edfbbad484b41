#include "CameraMatrix.h"

#include "UvcKernelFixture.h"

#include "tests/kernel/uvc/UvcDeviceIds.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace varnolet::test {

std::string CameraMatrix::folder()
{
    const char *chosen = std::getenv("VARNOLET_CAMERA_DESCRIPTORS");
    return chosen && *chosen ? chosen : VARNOLET_KERNEL_DESCRIPTORS;
}

std::vector<std::string> CameraMatrix::files()
{
    std::vector<std::string> files;
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(folder(), error)) {
        if (entry.path().extension() == ".bin" && entry.is_regular_file())
            files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

MatrixCamera CameraMatrix::load(const std::string &path)
{
    MatrixCamera camera;
    camera.path = path;
    camera.name = std::filesystem::path(path).stem().string();
    camera.bytes = readBinaryFile(path);
    if (auto parsed = UvcConfiguration::parse(camera.bytes, camera.parseError))
        camera.config = std::move(*parsed);
    camera.options.configuration = camera.bytes;
    camera.options.product = "Matrix " + camera.name;
    if (const auto ids = UvcDeviceIds::fromFileName(path)) {
        camera.options.vendorId = ids->vendorId;
        camera.options.productId = ids->productId;
    }
    for (const auto &s : camera.config.streaming) {
        if (s.endpoint && !s.formats.empty())
            ++camera.nodes;
    }
    return camera;
}

std::string CameraMatrix::testName(const std::string &path)
{
    std::string name = std::filesystem::path(path).stem().string();
    for (char &c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    }
    return name.empty() ? "_" : name;
}

std::vector<CameraFormat> CameraMatrix::driverFormats(const std::string &node)
{
    std::vector<CameraFormat> formats;
    const int fd = ::open(node.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return formats;
    v4l2_fmtdesc format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    for (format.index = 0; ::ioctl(fd, VIDIOC_ENUM_FMT, &format) == 0; ++format.index) {
        v4l2_frmsizeenum size{};
        size.pixel_format = format.pixelformat;
        for (size.index = 0; ::ioctl(fd, VIDIOC_ENUM_FRAMESIZES, &size) == 0; ++size.index) {
            if (size.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
                formats.push_back({format.pixelformat, static_cast<int>(size.discrete.width),
                                   static_cast<int>(size.discrete.height), 0});
            } else {
                formats.push_back({format.pixelformat, static_cast<int>(size.stepwise.min_width),
                                   static_cast<int>(size.stepwise.min_height), 0});
                formats.push_back({format.pixelformat, static_cast<int>(size.stepwise.max_width),
                                   static_cast<int>(size.stepwise.max_height), 0});
                break;
            }
        }
    }
    ::close(fd);
    return formats;
}

int CameraMatrix::inputDevicesOf(const std::string &usbSysfsPath)
{
    int count = 0;
    std::error_code error;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(usbSysfsPath, error)) {
        const std::string name = entry.path().filename().string();
        // input/inputN below an interface (symbolic links are not followed).
        if (name.rfind("input", 0) == 0 && name.size() > 5 &&
            entry.path().parent_path().filename() == "input")
            ++count;
    }
    return count;
}

std::vector<std::pair<int, int>>
CameraMatrix::previewSizes(const std::vector<CameraFormat> &formats)
{
    std::vector<std::pair<int, int>> sizes;
    auto add = [&](const CameraFormat &f) {
        const std::pair<int, int> size{f.width, f.height};
        if (std::find(sizes.begin(), sizes.end(), size) == sizes.end())
            sizes.push_back(size);
    };
    for (const uint32_t fourcc : {V4L2_PIX_FMT_YUYV, V4L2_PIX_FMT_MJPEG}) {
        const CameraFormat *first = nullptr;
        const CameraFormat *last = nullptr;
        for (const CameraFormat &f : formats) {
            if (f.pixelFormat != fourcc)
                continue;
            if (!first)
                first = &f;
            last = &f;
        }
        if (first) {
            add(*first);
            add(*last);
        }
    }
    return sizes;
}

std::string CameraMatrix::sizeText(int width, int height)
{
    return std::to_string(width) + "x" + std::to_string(height);
}

double CameraMatrix::secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace varnolet::test
