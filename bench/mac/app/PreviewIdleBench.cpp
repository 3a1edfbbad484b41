// VarnoletMac's idle preview: the main window showing the virtual camera at 30 frames per
// second, nothing recorded. Prints the CPU share of one core the whole process takes at
// 640 x 480, 1280 x 720 and 2048 x 1536, split into the camera's thread (the source's own
// drawing, measured apart and left out, and the capture session's work) and the main thread
// (publishing and painting), as medians of one-second windows. The sizes run in turns, so
// a loaded machine hits all alike.
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QTemporaryDir>

#include "bench/platform/MedianRatio.h"
#include "bench/support/ThreadCpu.h"
#include "mac/app/AppController.h"
#include "mac/app/MainViewer.h"
#include "mac/app/UserDefaults.h"
#include "mac/uvc/CameraControl.h"
#include "platform/camera/CameraEnumerator.h"
#include "platform/camera/TestPatternRenderer.h"
#include "platform/camera/VirtualCameraHub.h"
#include "platform/system/MessageBox.h"
#include "platform/system/SystemPaths.h"

namespace {

using varnolet::bench::MedianReporter;

class VirtualOnlyEnumerator final : public varnolet::CameraEnumerator
{
public:
    std::vector<varnolet::CameraIdentity> list() override
    {
        return varnolet::VirtualCameraHub::instance().list();
    }
    std::unique_ptr<varnolet::CameraSource> open(const std::string &devicePath, int &error) override
    {
        return varnolet::VirtualCameraHub::instance().open(devicePath, error);
    }
};

// The camera control of a camera without UVC extras: it offers the virtual camera's sizes.
class PlainCameraControl final : public CameraControl
{
public:
    void releaseControl() override {}
    void clearDefaultValue() override {}
    bool initWithLocationID(uint32_t) override { return true; }
    void getDefaultValue() override {}
    std::vector<CaptureResolution> getPixelsArray() const override
    {
        return {{640, 480}, {1280, 720}, {2048, 1536}};
    }
    void setAppController(HardwareTriggerListener *) override {}
    void initReadingInterruptThread() override {}
    void setPreValue() override {}
    void setDefaultValue() override {}
    void changedLanuage(const AppControllerSettings &, int) override {}
};

class StderrPresenter final : public varnolet::MessagePresenter
{
public:
    varnolet::MessageResult present(const varnolet::MessageRequest &request) override
    {
        std::fprintf(stderr, "message: %s\n", request.text.c_str());
        return varnolet::MessageResult::Ok;
    }
};

// Runs the event loop for a while, sleeping while there is nothing to do (as the program's
// own loop does), so the main thread's CPU time is what the window costs.
void runEventsFor(double seconds)
{
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

// CPU seconds of the virtual camera drawing one frame of a size (its own cost, which a
// real camera does not have), on this thread.
double sourceSecondsPerFrame(int width, int height)
{
    varnolet::TestPatternRenderer renderer;
    renderer.setSize(width, height);
    std::vector<uint8_t> frame(static_cast<size_t>(width) * height * 3);
    renderer.render(0, "12:00:00.000", frame.data());
    constexpr int kFrames = 20;
    const double start = varnolet::bench::threadCpuSeconds();
    for (int i = 1; i <= kFrames; ++i)
        renderer.render(static_cast<uint64_t>(i), "12:00:00.000", frame.data());
    return (varnolet::bench::threadCpuSeconds() - start) / kFrames;
}

struct Samples
{
    std::vector<double> process; // share of one core
    std::vector<double> camera;  // camera thread without the source's drawing
    std::vector<double> main;
    std::vector<double> source;
    std::vector<double> frames; // frames published per second
};

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    varnolet::MessageBox::setPresenter(std::make_shared<StderrPresenter>());
    QTemporaryDir folder;
    varnolet::SystemPaths::overrideDocumentsFolder(folder.path().toStdString());
    varnolet::SystemPaths::overrideProgramFolder(VARNOLET_RUNTIME_DIR "/");
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 4;

    varnolet::VirtualCameraHub::instance().plug();
    UserDefaults store(folder.filePath("preferences.plist").toStdString());
    AppController::Services services;
    services.cameraEnumerator = std::make_shared<VirtualOnlyEnumerator>();
    services.messagePresenter = std::make_shared<StderrPresenter>();
    services.settingsStore = &store;
    services.configPlistPath = folder.filePath("no-config.plist").toStdString();
    services.cameraControl = std::make_shared<PlainCameraControl>();
    services.watchDeviceNotifications = false;
    AppController controller(std::move(services));
    controller.usingSettingParam().setResourcesSavingLocation(folder.path().toStdString());
    controller.savingLocationManage().createLocationsOfAllResources(controller.usingSettingParam());
    MainViewer window(controller);
    window.resize(1100, 760);
    window.show();
    controller.awakeFromNib();
    controller.applicationDidFinishLaunching();
    runEventsFor(1.0);

    const std::vector<CaptureResolution> sizes = {{640, 480}, {1280, 720}, {2048, 1536}};
    std::map<int, Samples> samples;
    for (int round = 0; round < rounds; ++round) {
        for (size_t index = 0; index < sizes.size(); ++index) {
            const CaptureResolution &size = sizes[index];
            if (!controller.changeSampleResolution(size)) {
                std::fprintf(stderr, "the camera did not open at %d x %d\n", size.nResolutionWidth,
                             size.nResolutionHeight);
                return 1;
            }
            runEventsFor(0.5); // the new size settles
            const double source =
                sourceSecondsPerFrame(size.nResolutionWidth, size.nResolutionHeight);
            for (int second = 0; second < 3; ++second) {
                const double process = varnolet::bench::processCpuSeconds();
                const double camera = varnolet::bench::namedThreadsCpuSeconds("VirtualCamera");
                const double main = varnolet::bench::threadCpuSeconds();
                QElapsedTimer wall;
                wall.start();
                int published = 0;
                const QMetaObject::Connection counting = QObject::connect(
                    &controller, &AppController::previewFrameReady, [&published] { ++published; });
                runEventsFor(1.0);
                QObject::disconnect(counting);
                const double seconds = wall.elapsed() / 1000.0;
                Samples &s = samples[static_cast<int>(index)];
                const double sourceShare = source * 30.0; // the virtual camera runs at 30 frames/s
                s.process.push_back((varnolet::bench::processCpuSeconds() - process) / seconds);
                s.camera.push_back(
                    (varnolet::bench::namedThreadsCpuSeconds("VirtualCamera") - camera) / seconds -
                    sourceShare);
                s.main.push_back((varnolet::bench::threadCpuSeconds() - main) / seconds);
                s.source.push_back(sourceShare);
                s.frames.push_back(published / seconds);
            }
        }
    }

    std::printf("\nVarnoletMac idle preview, virtual camera at 30 frames/s, window 1100 x 760 "
                "(medians of %d one-second windows; %% of one core):\n",
                rounds * 3);
    std::printf("  %-11s %9s %14s %20s %12s %10s\n", "size", "process", "source drawing",
                "capture thread rest", "main thread", "frames/s");
    for (size_t index = 0; index < sizes.size(); ++index) {
        const Samples &s = samples[static_cast<int>(index)];
        char name[32];
        std::snprintf(name, sizeof name, "%dx%d", sizes[index].nResolutionWidth,
                      sizes[index].nResolutionHeight);
        std::printf("  %-11s %8.1f%% %13.1f%% %19.1f%% %11.1f%% %10.1f\n", name,
                    MedianReporter::median(s.process) * 100, MedianReporter::median(s.source) * 100,
                    MedianReporter::median(s.camera) * 100, MedianReporter::median(s.main) * 100,
                    MedianReporter::median(s.frames));
    }
    return 0;
}
