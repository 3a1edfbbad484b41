#include <iostream>
#include <memory>

#include <QApplication>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

#include "mac/controller/AppController.h"
#include "mac/core/UserDefaults.h"
#include "mac/ui/MacAlertPresenter.h"
#include "mac/ui/LanguageRetitler.h"
#include "mac/ui/MacPanels.h"
#include "mac/ui/MainViewer.h"
#include "mac/ui/MyResourcesTreeController.h"
#include "mac/ui/ResourceBrowserPane.h"
#include "mac/ui/CameraAdjustPanel.h"
#include "mac/uvc/UVCCameraControl.h"
#include "platform/camera/VirtualCameraHub.h"
#include "platform/system/Clock.h"
#include "platform/system/CommandLine.h"
#include "platform/system/ExitSignalNotifier.h"
#include "platform/system/SystemPaths.h"

int main(int argc, char **argv)
{
    // Read before the application object exists: --help and --version need no display.
    const varnolet::CommandLine commandLine(
        "VarnoletMac", VARNOLET_VERSION,
        "Live picture, photos, timed shots and QuickTime movies from a USB microscope camera.",
        {varnolet::CommandLine::virtualCameraOption()});
    const auto options = commandLine.parse(argc, argv, std::cout, std::cerr);
    if (!options.run)
        return options.exitCode;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VarnoletMac"));
    auto clock = std::make_shared<varnolet::SystemClock>();
    // The program's virtual cameras, showing its clock: listed by the capture side after the
    // machine's, and found by the camera control on a bus of their own.
    auto virtualCameras = std::make_shared<varnolet::VirtualCameraHub>(clock);
    if (options.has("--virtual-camera"))
        virtualCameras->plug();

    auto alerts = std::make_shared<MacAlertPresenter>();
    auto cameraControl = std::make_shared<UVCCameraControl>(clock, *virtualCameras);
    auto paths =
        std::make_shared<const varnolet::SystemPaths>(varnolet::SystemPaths::fromEnvironment());
    UserDefaults store(UserDefaults::standardPath(*paths));
    AppController::Services services;
    services.paths = paths;
    services.clock = clock;
    services.virtualCameras = virtualCameras;
    services.settingsStore = &store;
    services.messagePresenter = alerts;
    services.cameraControl = cameraControl;
    AppController controller(std::move(services));
    alerts->setLookup([&controller](const std::string &key, const std::string &fallback) {
        return controller.myNSLocationString(key, fallback);
    });

    MainViewer window(controller);
    alerts->setParentWindow(&window);
    CameraAdjustPanel adjustPanel(*cameraControl);
    cameraControl->setAdjustView(&adjustPanel);
    MacPanels panels(controller, window, &adjustPanel);

    // The resource tree and thumbnail strip in the window's left pane, told of every save.
    auto *browser = new ResourceBrowserPane(&controller.settings(), &window);
    window.setResourcePane(browser);
    controller.setResourceTree(browser->treeController());
    panels.retitler().controls().mMoreResourcesBtn = browser->mMoreResourcesBtn();

    // Every way out runs the same shutdown: the Exit button and the window's close box ask
    // first; the system's termination signals and the application quitting do it at once.
    QObject::connect(&controller, &AppController::terminateRequested, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    varnolet::ExitSignalNotifier exitSignals(
        [&controller](int /*signalNumber*/) { controller.doExitSystem(); });
    QObject::connect(&app, &QApplication::aboutToQuit, &controller,
                     [&controller] { controller.doExitSystem(); });

    window.show();
    panels.awakeFromNib();
    controller.awakeFromNib();
    QTimer::singleShot(0, &controller,
                       [&controller] { controller.applicationDidFinishLaunching(); });
    return app.exec();
}
