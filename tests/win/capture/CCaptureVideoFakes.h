#pragma once

#include "win/capture/CCaptureVideo.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <linux/videodev2.h>

// A camera that advertises a given capability list, records what it is asked and delivers
// frames only when the test says so (on the test's thread).
class FakeCamera final : public varnolet::CameraSource
{
public:
    FakeCamera(varnolet::CameraIdentity identity, std::vector<varnolet::CameraFormat> formats,
               std::vector<std::string> *log)
        : m_identity(std::move(identity))
        , m_formats(std::move(formats))
        , m_log(log)
    {
        if (!m_formats.empty())
            m_current = m_formats.front();
    }
    ~FakeCamera() override { stop(); }

    varnolet::CameraIdentity identity() const override { return m_identity; }
    std::vector<varnolet::CameraFormat> formats() const override { return m_formats; }
    varnolet::CameraFormat currentFormat() const override { return m_current; }
    int setFormat(int width, int height) override
    {
        setFormatCalls.emplace_back(width, height);
        m_current.width = width;
        m_current.height = height;
        return 0;
    }
    int start(FrameCallback onFrame, StreamEndCallback onEnd) override
    {
        if (startError)
            return startError;
        m_onFrame = std::move(onFrame);
        m_onEnd = std::move(onEnd);
        m_streaming = true;
        record("start");
        return 0;
    }
    void stop() override
    {
        if (!m_streaming)
            return;
        m_streaming = false;
        m_onFrame = nullptr;
        record("stop");
    }
    bool isStreaming() const override { return m_streaming; }
    std::vector<varnolet::CameraControl> controls() const override { return {}; }
    int control(uint32_t, int32_t &) const override { return -EINVAL; }
    int setControl(uint32_t, int32_t) override { return -EINVAL; }
    bool hasSnapshotButton() const override { return snapshotButton; }
    void setButtonCallback(ButtonCallback callback) override
    {
        // An input device that cannot be opened takes no listener.
        m_button = buttonProblem.empty() ? std::move(callback) : ButtonCallback();
    }
    std::string snapshotButtonProblem() const override { return buttonProblem; }
    void setPreviewDemand(PreviewDemandCallback callback) override
    {
        m_demand = std::move(callback);
    }

    // Test side. Like a compressed camera, a frame only the live picture needs comes at
    // half size when that still covers the size shown.
    void deliver(unsigned char fill)
    {
        const PreviewDemand demand = m_demand ? m_demand() : PreviewDemand();
        const bool reduce = !demand.fullFrames && demand.shownWidth > 0 &&
                            demand.shownWidth <= m_current.width / 2 &&
                            demand.shownHeight <= m_current.height / 2;
        const int width = reduce ? m_current.width / 2 : m_current.width;
        const int height = reduce ? m_current.height / 2 : m_current.height;
        std::vector<uint8_t> bytes(static_cast<size_t>(width) * height * 3, fill);
        varnolet::CameraFrame frame;
        frame.data = bytes.data();
        frame.length = bytes.size();
        frame.width = width;
        frame.height = height;
        frame.reduced = reduce;
        frame.sampleTime = 0.5;
        if (m_onFrame)
            m_onFrame(frame);
    }
    void button(bool pressed)
    {
        if (m_button)
            m_button(pressed);
    }
    void end(int error)
    {
        if (m_onEnd)
            m_onEnd(error);
    }
    bool hasButtonListener() const { return static_cast<bool>(m_button); }

    std::vector<std::pair<int, int>> setFormatCalls;
    int startError = 0;
    bool snapshotButton = false;
    std::string buttonProblem;

private:
    void record(const char *what)
    {
        if (m_log)
            m_log->push_back(std::string(what) + " " + m_identity.devicePath);
    }

    varnolet::CameraIdentity m_identity;
    std::vector<varnolet::CameraFormat> m_formats;
    varnolet::CameraFormat m_current;
    std::vector<std::string> *m_log;
    FrameCallback m_onFrame;
    StreamEndCallback m_onEnd;
    ButtonCallback m_button;
    PreviewDemandCallback m_demand;
    bool m_streaming = false;
};

// Serves fake cameras in the order the test lists them (the "system's enumeration order").
class FakeEnumerator final : public varnolet::CameraEnumerator
{
public:
    struct Entry
    {
        varnolet::CameraIdentity identity;
        std::vector<varnolet::CameraFormat> formats;
        bool snapshotButton = false;
        std::string buttonProblem;
        int startError = 0;
        int openError = 0;
    };

    std::vector<varnolet::CameraIdentity> list() override
    {
        std::vector<varnolet::CameraIdentity> identities;
        for (const Entry &entry : entries)
            identities.push_back(entry.identity);
        return identities;
    }
    std::unique_ptr<varnolet::CameraSource> open(const std::string &devicePath, int &error) override
    {
        for (const Entry &entry : entries) {
            if (entry.identity.devicePath != devicePath)
                continue;
            if (entry.openError) {
                error = entry.openError;
                return nullptr;
            }
            auto camera = std::make_unique<FakeCamera>(entry.identity, entry.formats, &log);
            camera->snapshotButton = entry.snapshotButton;
            camera->buttonProblem = entry.buttonProblem;
            camera->startError = entry.startError;
            last = camera.get();
            log.push_back("open " + devicePath);
            error = 0;
            return camera;
        }
        error = -ENODEV;
        return nullptr;
    }

    static Entry camera(const std::string &path, const std::string &name,
                        std::vector<std::pair<int, int>> sizes, bool button = false)
    {
        Entry entry;
        entry.identity.devicePath = path;
        entry.identity.friendlyName = name;
        for (const auto &[w, h] : sizes)
            entry.formats.push_back({V4L2_PIX_FMT_YUYV, w, h, 30.0});
        entry.snapshotButton = button;
        return entry;
    }

    std::vector<Entry> entries;
    std::vector<std::string> log;
    FakeCamera *last = nullptr; // the camera opened last (owned by the capture engine)
};

// Records what the graph tells a sink. BufferCB comes from streaming threads.
class RecordingSink final : public IFrameSink
{
public:
    long BufferCB(double sampleTime, unsigned char *buffer, long bufferLength) override
    {
        std::lock_guard guard(lock);
        ++frames;
        lastTime = sampleTime;
        lastLength = bufferLength;
        if (buffer && bufferLength > 0)
            last.assign(buffer, buffer + bufferLength);
        return 0;
    }
    void SetFrameSize(int w, int h) override
    {
        std::lock_guard guard(lock);
        width = w;
        height = h;
    }
    void SetLargestSize(int w, int h) override
    {
        std::lock_guard guard(lock);
        largestWidth = w;
        largestHeight = h;
    }
    int frameCount()
    {
        std::lock_guard guard(lock);
        return frames;
    }
    bool WantsFullFrames() const override { return wantsFullFrames; }

    std::mutex lock;
    int frames = 0;
    double lastTime = 0;
    long lastLength = 0;
    std::vector<uint8_t> last;
    int width = 0, height = 0;
    int largestWidth = 1600, largestHeight = 1200;
    std::atomic<bool> wantsFullFrames{true};
};

class FakeVideoWindow final : public IVideoWindow
{
public:
    void GetClientSize(int &width, int &height) const override
    {
        width = clientWidth;
        height = clientHeight;
    }
    void SetVideoPosition(int x, int y, int width, int height) override
    {
        position = {x, y, width, height};
    }
    void SetVideoVisible(bool shown) override { visible = shown; }
    void PresentFrame(const unsigned char *, int width, int, long) override
    {
        ++presented;
        presentedWidth = width;
    }
    void GetShownSize(int &width, int &height) const override
    {
        width = clientWidth;
        height = clientHeight;
    }

    int clientWidth = 400, clientHeight = 300;
    std::atomic<int> presentedWidth{0};
    std::vector<int> position;
    bool visible = false;
    std::atomic<int> presented{0};
};
