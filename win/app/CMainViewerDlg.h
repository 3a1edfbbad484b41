#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QDialog>
#include <QFont>
#include <QIcon>
#include <QRect>
#include <QTimer>

#include "platform/system/MessageBox.h"
#include "win/app/CPromptLine.h"
#include "win/app/ISettingDialogHost.h"
#include "win/app/CThemeHelperST.h"
#include "win/capture/CCaptureVideo.h"
#include "win/capture/CSampleGrabberOwner.h"
#include "win/common/SettingValues.h"

class AppServices;
class CNormalSplitterWnd;
class CPictureArea;
class CResourceBrowserView;
class CResourceWindow;
class CPreviewWindow;
class CPictureMeasure;
class CXPStyleButtonST;
class CXSplitterWnd;
class IResourceAnnouncer;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class QSocketNotifier;

namespace varnolet {
class CameraEnumerator;
class CameraHotplugMonitor;
class VirtualCameraHub;
} // namespace varnolet

// The one top-level window of VarnoletWin: the live picture next to the browser of saved
// resources, the command buttons and the prompt line. It owns the run-time state (which
// camera is open; whether a photo is pending, a timed series runs or a movie is recorded),
// decides when the camera opens and at which size, sets the flags the frame sink reads on
// every frame and handles the messages the sink and the saving thread post back.
struct RepairedMovie;

class CMainViewerDlg final : public QDialog, public ISettingDialogHost
{
public:
    enum ControlId {
        IDC_TAKE_PHOTO = 1002,
        IDC_TIMED_SHOT = 1003,
        IDC_RECORDING = 1004,
        IDC_EXIT = 1065,
        IDC_SETTINGS = 1069,
        IDC_ABOUT = 1072,
        IDC_PICTURE_FRAME = 1075,
        IDC_HINT_LABEL = 1076,
        IDC_SEPARATOR = 1077,
        IDC_PROMPT = 1084,
        IDC_HIDDEN_BUTTON = 1091,
        IDC_FULL_SCREEN = 1098,
    };
    enum Message {
        PhotoTakenMessage = CSampleGrabberOwner::PhotoTakenMessage,
        TimedSeriesOverMessage = CSampleGrabberOwner::TimedSeriesOverMessage,
        StopRecordingMessage = CSampleGrabberOwner::StopRecordingMessage,
        OpenFirstCameraMessage = 1028,
        PreviewResizedMessage = 1124,
    };
    static constexpr int kPromptTimerId = 1000;
    static constexpr int kPromptPeriodMs = 1000;
    // How long a notice (a movie repaired at start) stays in the prompt line.
    static constexpr int kNoticeMs = 30000;
    static constexpr int kAboutCommand = 16;

    // clock: dates the saved files and times the series; throws std::invalid_argument when
    // null. messages: the window's message boxes, handed on to the capture engine, the
    // sinks, the panes and the dialogs. services: the program's folders, settings and
    // texts, handed on the same way; they outlive the window. virtualCameras: the program's virtual
    // cameras, whose plugging the window hears of; it outlives the window. enumerator: where
    // cameras come from (null: the machine's and the hub's).
    CMainViewerDlg(std::shared_ptr<const varnolet::Clock> clock, varnolet::MessageBox messages,
                   AppServices &services, varnolet::VirtualCameraHub &virtualCameras,
                   std::shared_ptr<varnolet::CameraEnumerator> enumerator = nullptr,
                   QWidget *parent = nullptr);
    ~CMainViewerDlg() override;

    // Whether the timed-shot saving thread runs (start-up ends the program when it doesn't).
    bool SavingThreadStarted() const { return m_savingThreadStarted; }

    // A second start of the program asks the running one to come forward.
    void RaiseFromAnotherInstance();

    bool OpenCameraAt(int index, int width, int height) override;
    bool EnsureCaptureSize(FrameSize wanted, bool useSettingsSize);
    // Wall-clock milliseconds at which the running series started (the series clock).
    int64_t SeriesStartTime() const;
    void StopAllActivities();
    // Asks the exit question; answers whether the window ends.
    bool ConfirmExit();
    // Ends the window the way a confirmed Exit does, without asking: for a request to end
    // from outside (SIGTERM, SIGINT, SIGHUP). Dialogs and message boxes still open are
    // closed first; the stop itself runs once they have returned.
    void ShutDown();
    bool IsShuttingDown() const { return m_shuttingDown; }
    void UpdateButtonTexts();
    void UpdatePrompt(const QPoint &clientPoint, bool fromMouseMove);
    // Tells the user in the prompt line which unfinished movies were repaired at start.
    void AnnounceRepairedMovies(const std::vector<RepairedMovie> &movies);

    // Commands of the buttons.
    void OnTakePhoto();
    void OnTimedShot();
    void OnRecording();
    void OnSettings();
    void OnAbout();
    void OnExit();
    void OnFullScreen();
    void LeaveFullScreen();
    // Device arrival or removal (udev or the plugging of the window's virtual cameras).
    void OnDeviceChange();
    // The open camera's stream ended by itself (unplugged, or failing: EIO, EPIPE, an
    // error on the device).
    void OnStreamEnded();

    // What the settings dialog reads and calls; the device list and the resolution list
    // are the capture engine's.
    std::vector<SettingDevice> SettingDevices() const override;
    const std::string &OpenDevicePath() const override { return m_openDevicePath; }
    std::vector<uint32_t> SettingResolutions() const override
    {
        return m_captureVideo.ResolutionList();
    }
    void ShowDeviceProperties() override;
    void SetOpenSettingDialog(CSettingDlg *dialog) override { m_settingDialog = dialog; }
    CSettingDlg *SettingDialog() const { return m_settingDialog; }

    CCaptureVideo &CaptureVideo() { return m_captureVideo; }
    // What the live picture's measuring state publishes for the photos.
    const varnolet::PhotoAnnotationSlot &PhotoAnnotations() const
    {
        return m_sinkOwner.Annotations();
    }
    int DeviceCount() const { return static_cast<int>(m_captureVideo.DeviceList().size()); }
    bool IsCameraPresent() const { return !m_openDevicePath.empty(); }

    // State, for the prompt line and the tests.
    bool IsRecording() const override { return m_sinkOwner.RecordingActive() != 0; }
    bool IsTimedSeries() const override { return m_sinkOwner.TimedSeriesActive() != 0; }
    bool IsPhotoPending() const override { return m_sinkOwner.PhotoRequested() != 0; }
    bool IsFullScreen() const { return m_isFullScreen; }
    int32_t ShotInterval() const { return m_sinkOwner.ShotInterval(); }
    float SeriesDuration() const { return m_sinkOwner.SeriesDuration(); }

    CXPStyleButtonST *Button(int controlId) const;
    QLabel *PromptLabel() const { return m_prompt; }
    QLabel *HintLabel() const { return m_hint; }
    CPreviewWindow *PreviewWindow() const { return m_preview; }
    CResourceWindow *ResourceFolderWindow() const { return m_folderWindow; }
    CResourceBrowserView *ResourceBrowserView() const { return m_thumbnailView; }
    CXSplitterWnd *MainSplitter() const { return m_mainSplitter; }
    CNormalSplitterWnd *LeftSplitter() const { return m_leftSplitter; }
    QTimer &PromptTimer() { return m_promptTimer; }
    // The window's context menu, with the About entry (command 16).
    QMenu *ContextMenu();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void reject() override;

private:
    void buildControls();
    void buildPanes();
    void startDeviceNotifications();
    void layoutControls();
    void onOpenFirstCamera();
    void stopRecording();
    void stopTimedSeries();
    void enableCommands(bool enabled);
    void showBrowserPane();
    void showNoCameraMessage();
    void closeCamera();
    CPromptLine::State promptState() const;
    CPromptLine::Button buttonAt(const QPoint &clientPoint) const;
    bool isOwnWidget(QObject *object) const;
    void connectFrameSinks();
    void startTimedShots();
    void finishShutDown();
    void endActivitiesAndClose();

    // What the frame sinks read on the capture and saving threads (items 7 and 10 below:
    // the three request flags, the shot interval and the series duration). Declared before
    // the capture engine, whose destruction joins the saving thread that reads it.
    const varnolet::MessageBox m_messages;
    AppServices &m_services;
    CSampleGrabberOwner m_sinkOwner;
    varnolet::VirtualCameraHub &m_virtualCameras;

    // 1. window icon; 2. capture engine with the open device's path.
    QIcon m_icon;
    CCaptureVideo m_captureVideo;
    std::string m_openDevicePath;
    // 3. the timed-shot saving thread is the capture engine's; started at construction.
    bool m_savingThreadStarted = false;
    // 4. the splitters.
    CXSplitterWnd *m_mainSplitter = nullptr;
    CNormalSplitterWnd *m_leftSplitter = nullptr;
    // 5. font and theme.
    QFont m_font;
    CThemeHelperST m_theme;
    // 6. the image buttons.
    CXPStyleButtonST *m_takePhoto = nullptr;
    CXPStyleButtonST *m_timedShot = nullptr;
    CXPStyleButtonST *m_recording = nullptr;
    CXPStyleButtonST *m_settings = nullptr;
    CXPStyleButtonST *m_about = nullptr;
    CXPStyleButtonST *m_exit = nullptr;
    CXPStyleButtonST *m_fullScreen = nullptr;
    // 7. the recording, timed-series and photo-pending flags are in m_sinkOwner.
    // 8. the settings dialog while it is shown.
    CSettingDlg *m_settingDialog = nullptr;
    // 9. full screen.
    bool m_isFullScreen = false;
    bool m_browserCollapsedBefore = false;
    QRect m_normalGeometry;
    // 10. series duration (hours, initially 1.0) and shot interval (ms): in m_sinkOwner.
    // 11. the panes.
    CResourceWindow *m_folderWindow = nullptr;
    CResourceBrowserView *m_thumbnailView = nullptr;
    IResourceAnnouncer *m_resourceWindow = nullptr; // the folder window, to which saved files go
    CPreviewWindow *m_preview = nullptr;
    std::unique_ptr<CPictureMeasure> m_pictureMeasure; // scale bar and measuring tools
    // 12. prompt line, hint label, separator, hidden button.
    QLabel *m_hint = nullptr;
    QFrame *m_separator = nullptr;
    QLabel *m_prompt = nullptr;
    QPushButton *m_hiddenButton = nullptr;
    QWidget *m_pictureFrame = nullptr;

    QMenu *m_contextMenu = nullptr;
    QTimer m_promptTimer;
    CPromptLine m_promptLine{m_services, m_messages};
    std::unique_ptr<varnolet::CameraHotplugMonitor> m_hotplug;
    QSocketNotifier *m_hotplugNotifier = nullptr;
    bool m_shuttingDown = false;
};
