#pragma once

// What the live-picture benchmarks of both programs share: the virtual camera as the only
// camera, messages on stderr, an event loop that sleeps while idle, and the virtual camera's
// own drawing cost, measured apart so it can be left out.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include "bench/support/StderrMessages.h"
#include "bench/support/ThreadCpu.h"
#include "platform/camera/CameraEnumerator.h"
#include "platform/camera/TestPatternRenderer.h"
#include "platform/camera/VirtualCameraHub.h"
#include "platform/system/SystemPaths.h"

namespace varnolet::bench {

// The hub's virtual cameras only, so that a camera of the machine never shows up.
class VirtualOnlyEnumerator final : public CameraEnumerator
{
public:
    explicit VirtualOnlyEnumerator(VirtualCameraHub &hub)
        : m_hub(hub)
    {
    }

    std::vector<CameraIdentity> list() override { return m_hub.list(); }
    std::unique_ptr<CameraSource> open(const std::string &devicePath, int &error) override
    {
        return m_hub.open(devicePath, error);
    }

private:
    VirtualCameraHub &m_hub;
};

// Runs the event loop for a while, sleeping while there is nothing to do (as the program's
// own loop does), so the main thread's CPU time is what the window costs.
inline void runEventsFor(double seconds)
{
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

// CPU seconds of the virtual camera drawing one frame of a size (its own cost, which a
// real camera does not have), on this thread.
inline double sourceSecondsPerFrame(int width, int height)
{
    TestPatternRenderer renderer;
    renderer.setSize(width, height);
    renderer.frame(0, "12:00:00.000"); // draws the slide
    constexpr int kFrames = 12;
    const double start = threadCpuSeconds();
    volatile uint8_t seen = 0;
    for (int i = 1; i <= kFrames; ++i)
        seen = seen + *renderer.frame(static_cast<uint64_t>(i), "12:00:00.000");
    return (threadCpuSeconds() - start) / kFrames;
}

// A program's surroundings in a benchmark: headless Qt unless told otherwise, messages on
// stderr, and the folders for the program: the documents folder (where a window creates its
// resource folders at start) in a temporary folder, and the pictures and language files of
// the build's program folder.
class PreviewBenchApplication
{
public:
    PreviewBenchApplication(int &argc, char **argv, const std::string &programFolder)
        : m_headless(headless())
        , m_application(argc, argv)
        , m_programFolder(programFolder)
    {
    }
    std::string documents() const { return m_documents.path().toStdString(); }
    const std::string &programFolder() const { return m_programFolder; }
    SystemPaths paths() const
    {
        SystemPaths::Folders folders;
        folders.documents = documents();
        folders.program = m_programFolder;
        return SystemPaths(folders);
    }

private:
    static bool headless()
    {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        return true;
    }

    bool m_headless;
    QApplication m_application;
    std::string m_programFolder;
    QTemporaryDir m_documents;
};

} // namespace varnolet::bench
