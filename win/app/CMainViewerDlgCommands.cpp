// The main window's commands and its camera handling: opening and closing the camera,
// photos, timed series, recording, device changes, settings, about and exit.
#include "CMainViewerDlg.h"

#include "win/app/AppText.h"
#include "win/app/CAboutDlg.h"
#include "win/app/CDevicePropertiesDlg.h"
#include "win/app/CPictureArea.h"
#include "win/app/CPictureMeasure.h"
#include "win/app/CPreviewWindow.h"
#include "win/app/CPromptLine.h"
#include "win/app/CSettingDlg.h"
#include "win/app/CXPStyleButtonST.h"
#include "win/app/CXSplitterWnd.h"
#include "win/panes/CResourceWindow.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include "platform/system/MessageBox.h"
#include "win/capture/AviMovieWriter.h"
#include "win/capture/CSampleGrabberCB.h"
#include "win/common/AppServices.h"
#include "win/common/ResourceNaming.h"
#include "win/common/TimedSeries.h"

bool CMainViewerDlg::OpenCameraAt(int index, int width, int height)
{
    if (index < 0 || index >= DeviceCount() || !m_preview)
        return false;
    m_preview->LayoutPictureArea();
    closeCamera();
    CaptureSize size{width, height};
    const int result = m_captureVideo.OpenDevice(index, m_preview->PictureArea(), size);
    // 1 means nothing was opened (the device vanished between listing and opening).
    if (result == 0) {
        m_openDevicePath = m_captureVideo.DevicePathAt(index);
        const SettingValues settings = m_services.Settings().GetUsingSettings();
        if (size.width != settings.captureWidth || size.height != settings.captureHeight) {
            m_services.Settings().SetUsingCaptureSize(size.width, size.height);
            m_preview->LayoutPictureArea();
            m_captureVideo.FitVideoWindow();
        }
        if (m_pictureMeasure && m_captureVideo.Device())
            m_pictureMeasure->CameraOpened(m_captureVideo.Device()->identity(), size.width,
                                           size.height);
        return true;
    }
    closeCamera();
    update();
    m_openDevicePath.clear();
    update();
    return false;
}

bool CMainViewerDlg::EnsureCaptureSize(FrameSize wanted, bool useSettingsSize)
{
    const SettingValues settings = m_services.Settings().GetUsingSettings();
    if (settings.captureWidth == wanted.width && settings.captureHeight == wanted.height)
        return true;
    const int index = m_captureVideo.IndexOfDevicePath(m_openDevicePath);
    const FrameSize size =
        useSettingsSize ? FrameSize{settings.captureWidth, settings.captureHeight} : wanted;
    return OpenCameraAt(index, size.width, size.height);
}

void CMainViewerDlg::closeCamera()
{
    m_captureVideo.CloseDevice();
    if (m_preview)
        m_preview->PictureArea()->ClearPicture();
}

void CMainViewerDlg::showNoCameraMessage()
{
    m_messages.warning(m_promptLine.NoCameraText(DeviceCount() > 0).toStdString());
}

void CMainViewerDlg::onOpenFirstCamera()
{
    if (DeviceCount() > 0) {
        OpenCameraAt(0, 0, 0);
        return;
    }
    StopAllActivities();
    showNoCameraMessage();
    m_openDevicePath.clear();
    update();
}

void CMainViewerDlg::OnDeviceChange()
{
    const int before = DeviceCount();
    m_captureVideo.EnumerateDevices();
    if (m_settingDialog)
        m_settingDialog->RefillDeviceList();
    if (DeviceCount() > 0) {
        // A camera added, or one not in use removed, changes nothing.
        if (before > 0 && m_captureVideo.IndexOfDevicePath(m_openDevicePath) >= 0)
            return;
        StopAllActivities();
        OpenCameraAt(0, 0, 0);
        return;
    }
    StopAllActivities();
    showNoCameraMessage();
    m_openDevicePath.clear();
    update();
}

void CMainViewerDlg::OnStreamEnded()
{
    if (!m_captureVideo.StreamEnded())
        return; // the stream of a camera closed since
    const int before = DeviceCount();
    m_captureVideo.EnumerateDevices();
    if (m_captureVideo.IndexOfDevicePath(m_openDevicePath) < 0 || before == 0) {
        // Unplugged: the device list tells what is left.
        if (m_settingDialog)
            m_settingDialog->RefillDeviceList();
        if (DeviceCount() > 0) {
            StopAllActivities();
            OpenCameraAt(0, 0, 0);
            return;
        }
    }
    // Still listed but delivering nothing more: the camera failed. It is treated as lost
    // (a recording is closed and kept); plugging it in again opens it anew.
    StopAllActivities();
    m_openDevicePath.clear();
    showNoCameraMessage();
    update();
}

void CMainViewerDlg::enableCommands(bool enabled)
{
    for (CXPStyleButtonST *button : {m_takePhoto, m_timedShot, m_recording, m_settings, m_about})
        button->setEnabled(enabled);
}

void CMainViewerDlg::showBrowserPane()
{
    if (m_mainSplitter && m_mainSplitter->IsCollapsed())
        m_mainSplitter->Expand();
}

void CMainViewerDlg::OnTakePhoto()
{
    if (!CheckSavingLocation(m_services.Settings().GetUsingSettings(), m_services.Languages(),
                             m_messages))
        return;
    if (!IsCameraPresent()) {
        showNoCameraMessage();
        return;
    }
    enableCommands(false);
    showBrowserPane();
    m_sinkOwner.RequestPhoto();
}

void CMainViewerDlg::stopTimedSeries()
{
    m_sinkOwner.SetTimedSeriesActive(false);
    UpdateButtonTexts();
    enableCommands(true);
}

void CMainViewerDlg::OnTimedShot()
{
    if (IsTimedSeries()) {
        stopTimedSeries();
        return;
    }
    const SettingValues settings = m_services.Settings().GetUsingSettings();
    if (!CheckSavingLocation(settings, m_services.Languages(), m_messages))
        return;
    if (!IsTimedShotSettingValid(settings)) {
        m_messages.warning(m_services.GetLanguageString(
            "ui_alert_timed_shot_setting", "Error of time setting to take timed shot", m_messages));
        return;
    }
    if (!IsCameraPresent()) {
        showNoCameraMessage();
        return;
    }
    if (!StartTimedSeries(TimedShotsFolder(settings), settings, m_sinkOwner.TimedSeriesRecord(),
                          m_sinkOwner.Clock(), m_messages))
        return;
    m_sinkOwner.SetShotInterval(static_cast<int32_t>(86400000 / ShotsPerDay(settings)));
    m_sinkOwner.SetSeriesDuration(static_cast<float>(TimedShotDurationMinutes(settings) / 60.0));
    enableCommands(false);
    m_timedShot->setEnabled(true);
    showBrowserPane();
    startTimedShots();
    m_sinkOwner.SetTimedSeriesActive(true);
    UpdateButtonTexts();
}

void CMainViewerDlg::OnRecording()
{
    if (IsRecording()) {
        stopRecording();
        return;
    }
    const SettingValues settings = m_services.Settings().GetUsingSettings();
    if (!CheckSavingLocation(settings, m_services.Languages(), m_messages))
        return;
    const std::string path =
        NextMoviePath(MoviesFolder(settings), settings, m_sinkOwner.Clock(), m_messages);
    if (path.empty())
        return;
    if (!IsCameraPresent()) {
        showNoCameraMessage();
        return;
    }
    if (!EnsureCaptureSize(MovieFrameSize(settings), false))
        return;
    showBrowserPane();
    // The camera's current rate goes into the headers at set-up: a movie left without its
    // close (the power went) still plays at about the right speed.
    CreateMovieWriter(path, m_sinkOwner.SharedClock(), m_services, m_messages, m_resourceWindow,
                      m_captureVideo.FrameRate());
    m_sinkOwner.SetRecordingActive(true);
    UpdateButtonTexts();
    enableCommands(false);
    m_recording->setEnabled(true);
}

void CMainViewerDlg::stopRecording()
{
    m_sinkOwner.SetRecordingActive(false);
    CloseMovieWriter(m_resourceWindow);
    UpdateButtonTexts();
    EnsureCaptureSize(MovieFrameSize(m_services.Settings().GetUsingSettings()), true);
    enableCommands(true);
}

void CMainViewerDlg::StopAllActivities()
{
    if (IsPhotoPending()) {
        m_sinkOwner.SetPhotoRequested(false);
        enableCommands(true);
    }
    if (IsTimedSeries())
        stopTimedSeries();
    if (IsRecording())
        stopRecording();
    closeCamera();
}

std::vector<SettingDevice> CMainViewerDlg::SettingDevices() const
{
    std::vector<SettingDevice> devices;
    for (const auto &[path, name] : m_captureVideo.DeviceList())
        devices.push_back(SettingDevice{path, name});
    return devices;
}

void CMainViewerDlg::ShowDeviceProperties()
{
    // The engine shows the no-camera message or runs the control dialog through its hook.
    m_captureVideo.ShowDeviceProperties();
}

void CMainViewerDlg::OnSettings()
{
    {
        CSettingDlg dialog(*this, m_services, m_messages, this);
        dialog.exec();
    }
    UpdateButtonTexts();
    if (m_folderWindow)
        m_folderWindow->RefreshResourceTree();
    const SettingValues now = m_services.Settings().GetUsingSettings();
    const SettingValues before = m_services.Settings().GetPreviousSettings();
    if (now.captureWidth != before.captureWidth || now.captureHeight != before.captureHeight)
        OpenCameraAt(m_captureVideo.IndexOfDevicePath(m_openDevicePath), now.captureWidth,
                     now.captureHeight);
}

void CMainViewerDlg::OnAbout()
{
    CAboutDlg about(m_services, m_messages, this);
    about.exec();
}

void CMainViewerDlg::OnExit()
{
    ConfirmExit();
}

bool CMainViewerDlg::ConfirmExit()
{
    std::string question;
    if (IsTimedSeries())
        question = m_services.GetLanguageString("ui_alert_exit_system_doing_timedshot",
                                                "Are you sure exiting system?", m_messages);
    else if (IsRecording())
        question = m_services.GetLanguageString("ui_alert_exit_system_doing_recording",
                                                "Are you sure exiting system?", m_messages);
    else
        question = m_services.GetLanguageString("ui_alert_exit_system",
                                                "Are you sure exiting system?", m_messages);
    varnolet::MessageRequest request;
    request.text = question;
    request.caption = m_services.GetLanguageString("ui_view_btn_exit_system", "Exit", m_messages);
    request.icon = varnolet::MessageIcon::Question;
    request.buttons = varnolet::MessageButtons::OkCancel;
    if (m_messages.show(request) != varnolet::MessageResult::Ok)
        return false;
    endActivitiesAndClose();
    return true;
}

void CMainViewerDlg::endActivitiesAndClose()
{
    m_promptTimer.stop();
    StopAllActivities();
    done(QDialog::Accepted);
}

namespace {

// Closes every modal dialog and message box shown over the main window; answers whether
// there was one.
bool closeModalDialogs(QWidget *mainWindow)
{
    bool closed = false;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *dialog = qobject_cast<QDialog *>(widget);
        if (!dialog || dialog == mainWindow || !dialog->isVisible() || !dialog->isModal())
            continue;
        dialog->done(QDialog::Rejected);
        closed = true;
    }
    return closed;
}

} // namespace

void CMainViewerDlg::ShutDown()
{
    if (m_shuttingDown)
        return;
    m_shuttingDown = true;
    closeModalDialogs(this);
    // The closed dialogs return from their own event loops first; the stop runs after.
    QTimer::singleShot(0, this, [this] { finishShutDown(); });
}

void CMainViewerDlg::finishShutDown()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (modal && modal != this && closeModalDialogs(this)) {
        // A box opened meanwhile (a failure reported while stopping): it goes too.
        QTimer::singleShot(10, this, [this] { finishShutDown(); });
        return;
    }
    endActivitiesAndClose();
}

// The frame sinks read the window's requests on the capture thread and post their messages
// back; the timed-shot saving thread lives as long as the capture engine, which joins it.
void CMainViewerDlg::connectFrameSinks()
{
    m_sinkOwner.SetMessageWindow(this);
    m_sinkOwner.SetSeriesDuration(1.0f);
    CSampleGrabberCB::PreviewSink().SetOwner(&m_sinkOwner);
    CSampleGrabberCB::StillSink().SetOwner(&m_sinkOwner);
    m_captureVideo.SetFrameSinks(&CSampleGrabberCB::PreviewSink(), &CSampleGrabberCB::StillSink());
    std::thread saving = CSampleGrabberCB::StartSavingThread(m_sinkOwner);
    m_savingThreadStarted = saving.joinable();
    if (m_savingThreadStarted)
        m_captureVideo.AdoptSavingThread(std::move(saving),
                                         [] { CSampleGrabberCB::StopSavingThread(); });
}

void CMainViewerDlg::startTimedShots()
{
    CSampleGrabberCB::PreviewSink().StartTimedShots();
}

int64_t CMainViewerDlg::SeriesStartTime() const
{
    return CSampleGrabberCB::PreviewSink().SeriesStartTime();
}
