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
#include <QTemporaryDir>

#include "bench/platform/MedianRatio.h"
#include "bench/support/PreviewBench.h"
#include "mac/controller/AppController.h"
#include "mac/ui/MainViewer.h"
#include "mac/core/UserDefaults.h"
#include "mac/core/CameraControl.h"
#include "platform/system/Clock.h"
#include "platform/system/MessageBox.h"
#include "platform/system/SystemPaths.h"

namespace {

using varnolet::bench::MedianReporter;
using varnolet::bench::runEventsFor;
using varnolet::bench::sourceSecondsPerFrame;

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
    varnolet::bench::PreviewBenchApplication application(argc, argv, VARNOLET_RUNTIME_DIR "/");
    const QString documents = QString::fromStdString(application.documents());
    QTemporaryDir folder(documents + "/bench-XXXXXX");
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 4;

    const auto clock = std::make_shared<varnolet::SystemClock>();
    const auto virtualCameras = std::make_shared<varnolet::VirtualCameraHub>(clock);
    virtualCameras->plug();
    UserDefaults store(folder.filePath("preferences.plist").toStdString());
    AppController::Services services;
    services.virtualCameras = virtualCameras;
    services.cameraEnumerator =
        std::make_shared<varnolet::bench::VirtualOnlyEnumerator>(*virtualCameras);
    services.messagePresenter = std::make_shared<varnolet::bench::StderrPresenter>();
    services.settingsStore = &store;
    services.clock = clock;
    services.paths = std::make_shared<const varnolet::SystemPaths>(application.paths());
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
