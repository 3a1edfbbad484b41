#include "CaptureSession.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "platform/camera/CameraEnumerator.h"
#include "platform/camera/CameraSource.h"
#include "platform/media/BgrHalving.h"

CaptureSession::CaptureSession(std::shared_ptr<varnolet::CameraEnumerator> enumerator)
    : m_enumerator(std::move(enumerator))
{
    if (!m_enumerator)
        throw std::invalid_argument("CaptureSession needs a camera enumerator");
}

CaptureSession::~CaptureSession()
{
    closeDevice();
}

int CaptureSession::openDevice(const CaptureDevice &device)
{
    closeDevice();
    int error = 0;
    std::unique_ptr<varnolet::CameraSource> source = m_enumerator->open(device.devicePath(), error);
    if (!source)
        return error < 0 ? error : -ENODEV;
    m_source = std::move(source);
    return 0;
}

void CaptureSession::closeDevice()
{
    stopRunning();
    m_source.reset();
}

void CaptureSession::setPixelBufferSize(int width, int height)
{
    std::lock_guard lock(m_lock);
    m_width = width;
    m_height = height;
}

CaptureResolution CaptureSession::pixelBufferSize() const
{
    std::lock_guard lock(m_lock);
    return CaptureResolution(m_width, m_height);
}

void CaptureSession::setDelegate(FrameDelegate delegate)
{
    std::lock_guard lock(m_lock);
    m_delegate = std::move(delegate);
}

void CaptureSession::setPreviewDemand(std::function<PreviewDemand()> demand,
                                      FrameDelegate previewDelegate)
{
    std::lock_guard lock(m_lock);
    m_previewDemand = std::move(demand);
    m_previewDelegate = std::move(previewDelegate);
}

int CaptureSession::startRunning()
{
    if (!m_source)
        return -ENODEV;
    if (m_source->isStreaming())
        return 0;
    const CaptureResolution size = pixelBufferSize();
    if (size.nResolutionWidth <= 0 || size.nResolutionHeight <= 0)
        return -EINVAL;
    // The device gets as close to the size as it can; the rest is scaling.
    m_source->setFormat(size.nResolutionWidth, size.nResolutionHeight);
    {
        std::lock_guard lock(m_lock);
        m_source->setPreviewDemand(m_previewDemand);
    }
    return m_source->start([this](const varnolet::CameraFrame &frame) { deliver(frame); });
}

void CaptureSession::stopRunning()
{
    if (m_source)
        m_source->stop();
}

bool CaptureSession::isRunning() const
{
    return m_source && m_source->isStreaming();
}

std::vector<CaptureResolution> CaptureSession::deviceResolutions() const
{
    std::vector<CaptureResolution> sizes;
    if (!m_source)
        return sizes;
    for (const varnolet::CameraFormat &format : m_source->formats()) {
        const CaptureResolution size(format.width, format.height);
        const bool known = std::any_of(sizes.begin(), sizes.end(),
                                       [&](const CaptureResolution &s) { return s.isEqual(size); });
        if (!known && format.width > 0 && format.height > 0)
            sizes.push_back(size);
    }
    return sizes;
}

PixelBufferRef CaptureSession::makePixelBuffer(const varnolet::CameraFrame &frame)
{
    const CaptureResolution size = pixelBufferSize();
    const size_t sourceBytes = static_cast<size_t>(frame.width) * frame.height * 3;
    if (!frame.data || frame.width <= 0 || frame.height <= 0 || frame.length < sourceBytes)
        return nullptr;
    // libswscale's vector code reads a little past the last row of a source; the padding
    // keeps that inside the buffer when the preview or the movie scales this frame.
    const size_t bytes = static_cast<size_t>(size.nResolutionWidth) * size.nResolutionHeight * 3;
    if (frame.width == size.nResolutionWidth && frame.height == size.nResolutionHeight)
        return copyOfFrame(frame, bytes + kScalerPadding);
    std::shared_ptr<varnolet::BgrImage> buffer = m_pool->take();
    buffer->width = size.nResolutionWidth;
    buffer->height = size.nResolutionHeight;
    buffer->bottomUp = true;
    buffer->pixels.reserve(bytes + kScalerPadding);
    buffer->pixels.resize(bytes);
    if (!m_scaler.scale(frame.data, frame.width, frame.height, buffer->pixels.data(), buffer->width,
                        buffer->height))
        return nullptr;
    return buffer;
}

std::shared_ptr<varnolet::BgrImage> CaptureSession::copyOfFrame(const varnolet::CameraFrame &frame,
                                                                size_t reserve)
{
    std::shared_ptr<varnolet::BgrImage> buffer = m_pool->take();
    buffer->width = frame.width;
    buffer->height = frame.height;
    buffer->bottomUp = true;
    const size_t bytes = static_cast<size_t>(frame.width) * frame.height * 3;
    buffer->pixels.reserve(std::max(reserve, bytes + kScalerPadding));
    buffer->pixels.assign(frame.data, frame.data + bytes);
    return buffer;
}

int CaptureSession::previewHalvings(const varnolet::CameraFrame &frame) const
{
    if (!m_previewDemand || frame.reduced)
        return 0;
    const PreviewDemand demand = m_previewDemand();
    if (demand.fullFrames || demand.shownWidth <= 0 || demand.shownHeight <= 0)
        return 0;
    int halvings = 0;
    int width = frame.width;
    int height = frame.height;
    while (width / 2 >= demand.shownWidth && height / 2 >= demand.shownHeight) {
        width /= 2;
        height /= 2;
        ++halvings;
    }
    return halvings;
}

PixelBufferRef CaptureSession::halvedFrame(const varnolet::CameraFrame &frame, int halvings)
{
    std::shared_ptr<varnolet::BgrImage> result;
    const uint8_t *source = frame.data;
    int width = frame.width;
    int height = frame.height;
    for (int step = 0; step < halvings; ++step) {
        std::shared_ptr<varnolet::BgrImage> buffer = m_pool->take();
        buffer->width = width / 2;
        buffer->height = height / 2;
        buffer->bottomUp = true;
        const size_t bytes = static_cast<size_t>(buffer->width) * buffer->height * 3;
        buffer->pixels.reserve(bytes + kScalerPadding);
        buffer->pixels.resize(bytes);
        if (!varnolet::BgrHalving::halve(source, width, height, buffer->pixels.data()))
            return nullptr;
        result = std::move(buffer);
        source = result->pixels.data();
        width = result->width;
        height = result->height;
    }
    return result;
}

void CaptureSession::deliver(const varnolet::CameraFrame &frame)
{
    const size_t bytes = static_cast<size_t>(frame.width) * frame.height * 3;
    const bool whole = frame.data && frame.width > 0 && frame.height > 0 && frame.length >= bytes;
    // A whole frame of the pixel-buffer size that only the live picture needs, shown at half
    // its size or less, goes to the preview halved: the window then converts and scales a
    // quarter of the pixels, and no full-size copy is made.
    const int halvings =
        whole && pixelBufferSize().isEqual(CaptureResolution(frame.width, frame.height))
            ? previewHalvings(frame)
            : 0;
    FrameDelegate delegate;
    {
        std::lock_guard lock(m_lock);
        delegate = frame.reduced || halvings > 0 ? m_previewDelegate : m_delegate;
    }
    if (!delegate)
        return;
    if (halvings > 0) {
        delegate(halvedFrame(frame, halvings));
        return;
    }
    if (!frame.reduced) {
        delegate(makePixelBuffer(frame));
        return;
    }
    if (whole)
        delegate(copyOfFrame(frame, 0));
}

std::string CaptureSession::errorDescription(int error)
{
    const int code = error < 0 ? -error : error;
    if (code == EBUSY)
        return "device busy";
    if (code == ENODEV || code == ENOENT)
        return "device not found";
    return std::strerror(code);
}
