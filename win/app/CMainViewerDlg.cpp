// The main window: construction, panes, layout, events, full screen and the prompt line.
// The commands and the camera handling are in CMainViewerDlgCommands.cpp.
#include "CMainViewerDlg.h"

#include "win/app/AppText.h"
#include "win/app/CAboutDlg.h"
#include "win/app/CDevicePropertiesDlg.h"
#include "win/app/CNormalSplitterWnd.h"
#include "win/app/CPictureArea.h"
#include "win/app/CPictureMeasure.h"
#include "win/app/CPreviewWindow.h"
#include "win/app/CSettingDlg.h"
#include "win/app/CXPStyleButtonST.h"
#include "win/app/CXSplitterWnd.h"
#include "win/panes/CResourceBrowserView.h"
#include "win/capture/AviMovieRepair.h"
#include "win/capture/CSampleGrabberCB.h"
#include "win/panes/CResourceWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCursor>
#include <QFile>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSocketNotifier>

#include "platform/camera/CameraEnumerator.h"
#include "platform/camera/CameraHotplugMonitor.h"
#include "platform/camera/VirtualCameraHub.h"
#include "platform/system/Clock.h"
#include "platform/system/MessageBox.h"
#include "platform/system/QtTranslations.h"
#include "platform/system/WindowMessage.h"
#include "win/common/AppServices.h"
#include "win/common/ResourceNaming.h"
#include "win/common/TimedSeries.h"

namespace {

constexpr int kButtonSize = 56;
constexpr int kButtonGap = 6;
constexpr int kMargin = 8;
constexpr int kLineHeight = 24;
constexpr int kFullScreenWidth = 32;
constexpr int kFullScreenHeight = 28;
// How far the panes reach left of the screen in full screen: the collapsed browser column
// has no width, so this puts exactly its splitter bar out of sight. (A Windows frame
// needs 8 more pixels; a full-screen window here has no frame.)
constexpr int kFullScreenOverhang = CXSplitterWnd::kBarWidth;

// The enumerator given, else one of the machine's cameras and the hub's.
std::shared_ptr<varnolet::CameraEnumerator>
enumeratorOrMachine(std::shared_ptr<varnolet::CameraEnumerator> enumerator,
                    varnolet::VirtualCameraHub &virtualCameras)
{
    if (enumerator)
        return enumerator;
    return std::make_shared<varnolet::CameraEnumerator>(virtualCameras);
}

} // namespace

// Device arrival or removal noticed on the camera's thread (a stream that ended by itself).
constexpr int kStreamEndedMessage = 1537;

CMainViewerDlg::CMainViewerDlg(std::shared_ptr<const varnolet::Clock> clock,
                               varnolet::MessageBox messages, AppServices &services,
                               varnolet::VirtualCameraHub &virtualCameras,
                               std::shared_ptr<varnolet::CameraEnumerator> enumerator,
                               QWidget *parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint)
    , m_messages(std::move(messages))
    , m_services(services)
    , m_sinkOwner(std::move(clock), m_messages, m_services)
    , m_virtualCameras(virtualCameras)
    , m_icon(ShippedFilePath(m_services.Paths(), QStringLiteral("Resource/Image/Varnolet.png")))
    , m_captureVideo(m_services, m_messages,
                     enumeratorOrMachine(std::move(enumerator), virtualCameras))
{
    setObjectName(QStringLiteral("mainViewer"));
    setWindowTitle(QStringLiteral("Varnolet"));
    setSizeGripEnabled(false);
    setMinimumSize(640, 480);
    resize(1100, 760);

    connectFrameSinks();
    m_captureVideo.SetDevicePropertiesHook([this](varnolet::CameraSource &camera) {
        CDevicePropertiesDlg dialog(camera, m_services, m_messages, this);
        dialog.exec();
    });
    m_captureVideo.SetResolutionListHook([this](const std::vector<uint32_t> &) {
        if (m_settingDialog)
            m_settingDialog->RefillResolutionList();
    });
    m_captureVideo.SetStreamEndedHook(
        [this](int) { varnolet::WindowMessage::post(this, kStreamEndedMessage); });

    // Initialisation.
    setWindowIcon(m_icon);
    buildControls();
    const SettingValues settings = m_services.Settings().GetUsingSettings();
    EnsureResourceFolders(settings, m_messages);
    AnnounceRepairedMovies(RepairUnfinishedMovies(MoviesFolder(settings)));
    buildPanes();
    UpdateButtonTexts();
    m_captureVideo.EnumerateDevices();
    startDeviceNotifications();
    varnolet::WindowMessage::post(this, OpenFirstCameraMessage);
    layoutControls();
    m_promptTimer.setInterval(kPromptPeriodMs);
    connect(&m_promptTimer, &QTimer::timeout, this,
            [this] { UpdatePrompt(mapFromGlobal(QCursor::pos()), false); });
    m_promptTimer.start();
    qApp->installEventFilter(this);
}

CMainViewerDlg::~CMainViewerDlg()
{
    qApp->removeEventFilter(this);
    m_promptTimer.stop();
    // No frame may reach the picture area or the sinks' owner once they are gone; the
    // capture engine's destruction then stops and joins the saving thread.
    m_captureVideo.CloseDevice();
    CSampleGrabberCB::PreviewSink().SetOwner(nullptr);
    CSampleGrabberCB::StillSink().SetOwner(nullptr);
}

void CMainViewerDlg::buildControls()
{
    m_font = font();
    auto makeButton = [this](int id, const char *image) {
        auto *button = new CXPStyleButtonST(id, this);
        button->SetThemeHelper(&m_theme, m_theme.IsAppThemed());
        button->SetImageFile(ShippedFilePath(m_services.Paths(), QStringLiteral("Resource/Image/") +
                                                                     QLatin1String(image)));
        button->setMouseTracking(true);
        return button;
    };
    m_settings = makeButton(IDC_SETTINGS, "Setting.png");
    m_takePhoto = makeButton(IDC_TAKE_PHOTO, "TakeAShot.png");
    m_timedShot = makeButton(IDC_TIMED_SHOT, "TimedShot.png");
    m_recording = makeButton(IDC_RECORDING, "RecordingMovie.png");
    m_about = makeButton(IDC_ABOUT, "Help.png");
    m_exit = makeButton(IDC_EXIT, "Exit.png");
    m_fullScreen = makeButton(IDC_FULL_SCREEN, "FullScreen.png");

    connect(m_settings, &QPushButton::clicked, this, &CMainViewerDlg::OnSettings);
    connect(m_takePhoto, &QPushButton::clicked, this, &CMainViewerDlg::OnTakePhoto);
    connect(m_timedShot, &QPushButton::clicked, this, &CMainViewerDlg::OnTimedShot);
    connect(m_recording, &QPushButton::clicked, this, &CMainViewerDlg::OnRecording);
    connect(m_about, &QPushButton::clicked, this, &CMainViewerDlg::OnAbout);
    connect(m_exit, &QPushButton::clicked, this, &CMainViewerDlg::OnExit);
    connect(m_fullScreen, &QPushButton::clicked, this, &CMainViewerDlg::OnFullScreen);

    m_pictureFrame = new QWidget(this);
    m_pictureFrame->setProperty("controlId", IDC_PICTURE_FRAME);
    m_pictureFrame->hide();

    m_hint = new QLabel(QStringLiteral("提示："), this);
    m_hint->setProperty("controlId", IDC_HINT_LABEL);
    m_hint->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_separator = new QFrame(this);
    m_separator->setProperty("controlId", IDC_SEPARATOR);
    m_separator->setFrameShape(QFrame::VLine);
    m_separator->setFrameShadow(QFrame::Sunken);
    m_prompt = new QLabel(this);
    m_prompt->setProperty("controlId", IDC_PROMPT);
    m_prompt->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_prompt->setTextFormat(Qt::PlainText);

    m_hiddenButton = new QPushButton(QStringLiteral("Button2"), this);
    m_hiddenButton->setProperty("controlId", IDC_HIDDEN_BUTTON);
    m_hiddenButton->setAutoDefault(false);
    m_hiddenButton->hide();

    setMouseTracking(true);
}

void CMainViewerDlg::buildPanes()
{
    m_mainSplitter = new CXSplitterWnd(Qt::Horizontal, m_services.Paths(), this);
    m_mainSplitter->setObjectName(QStringLiteral("mainSplitter"));
    m_leftSplitter = new CNormalSplitterWnd(Qt::Vertical, m_mainSplitter);
    m_leftSplitter->setObjectName(QStringLiteral("leftSplitter"));
    // The resource browser: the folder tree above the thumbnail column it drives.
    m_folderWindow = new CResourceWindow(m_services, m_messages, m_leftSplitter, m_hiddenButton);
    m_thumbnailView = new CResourceBrowserView(m_services, m_messages, m_leftSplitter);
    m_folderWindow->SetBrowserPanel(m_thumbnailView->Panel());
    m_folderWindow->SetCaptureBusyQuery(
        [this] { return IsPhotoPending() || IsTimedSeries() || IsRecording(); });
    m_resourceWindow = m_folderWindow;
    m_sinkOwner.SetResourceWindow(m_folderWindow);
    m_leftSplitter->addWidget(m_folderWindow);
    m_leftSplitter->addWidget(m_thumbnailView);
    m_preview = new CPreviewWindow(m_services, this, m_mainSplitter);
    m_pictureMeasure = std::make_unique<CPictureMeasure>(m_preview->PictureArea(), m_services,
                                                         m_messages, m_sinkOwner.Annotations());
    m_mainSplitter->addWidget(m_leftSplitter);
    m_mainSplitter->addWidget(m_preview);
    m_mainSplitter->setStretchFactor(0, 0);
    m_mainSplitter->setStretchFactor(1, 1);
    m_mainSplitter->SetCollapseMode(CXSplitterWnd::CollapseFirstColumn);

    layoutControls();
    const QRect area = m_pictureFrame->geometry();
    const int left = area.width() / 4;
    m_mainSplitter->setSizes({left, area.width() - left - CXSplitterWnd::kBarWidth});
    const int top = area.height() / 3;
    m_leftSplitter->setSizes({top, area.height() - top});
}

void CMainViewerDlg::startDeviceNotifications()
{
    m_hotplug = std::make_unique<varnolet::CameraHotplugMonitor>(m_virtualCameras);
    if (m_hotplug->fd() < 0)
        return; // no notifications on this system: the list changes only at start
    m_hotplugNotifier = new QSocketNotifier(m_hotplug->fd(), QSocketNotifier::Read, this);
    connect(m_hotplugNotifier, &QSocketNotifier::activated, this, [this] {
        if (!m_hotplug->readEvents().empty())
            OnDeviceChange();
    });
}

void CMainViewerDlg::layoutControls()
{
    const int W = width();
    const int H = height();
    if (m_isFullScreen) {
        const QRect panes(-kFullScreenOverhang, 0, W + kFullScreenOverhang, H);
        m_pictureFrame->setGeometry(panes);
        if (m_mainSplitter)
            m_mainSplitter->setGeometry(panes);
        return;
    }
    CXPStyleButtonST *const row[] = {m_settings,  m_takePhoto, m_timedShot,
                                     m_recording, m_about,     m_exit};
    int x = kMargin;
    for (CXPStyleButtonST *button : row) {
        button->setGeometry(x, 6, kButtonSize, kButtonSize);
        x += kButtonSize + kButtonGap;
    }
    const int lineTop = H - kLineHeight;
    const int hintWidth = m_hint->sizeHint().width() + 4;
    m_hint->setGeometry(kMargin, lineTop, hintWidth, kLineHeight);
    m_separator->setGeometry(m_hint->geometry().right() + 3, lineTop + 3, 2, kLineHeight - 6);
    const int promptLeft = m_separator->geometry().right() + 6;
    m_prompt->setGeometry(promptLeft, lineTop, std::max(0, W - kFullScreenWidth - 6 - promptLeft),
                          kLineHeight);
    m_fullScreen->setGeometry(W - kFullScreenWidth, H - kFullScreenHeight, kFullScreenWidth,
                              kFullScreenHeight);

    const int areaTop = m_settings->geometry().bottom() + 1 + 2;
    const int areaBottom = lineTop - 10;
    const QRect area(0, areaTop, W, std::max(0, areaBottom - areaTop));
    m_pictureFrame->setGeometry(area);
    if (m_mainSplitter)
        m_mainSplitter->setGeometry(area);
}

void CMainViewerDlg::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    layoutControls();
}

void CMainViewerDlg::UpdateButtonTexts()
{
    // Qt's own texts (file dialogs, standard buttons) in the language in force, swapped
    // whenever the settings change it.
    varnolet::QtTranslations::use(LanguageAt(m_services.Languages().LanguageInForce()).locale);
    if (m_pictureMeasure)
        m_pictureMeasure->Retitle();
    m_exit->SetTooltipText(
        LanguageText(m_services, "ui_view_btn_exit_system", "Exit System", m_messages));
    m_takePhoto->SetTooltipText(
        LanguageText(m_services, "ui_view_btn_take_a_shot", "Take a Photo", m_messages));
    m_settings->SetTooltipText(
        LanguageText(m_services, "ui_view_btn_settings", "Settings", m_messages));
    m_about->SetTooltipText(LanguageText(m_services, "ui_view_btn_about", "About", m_messages));
    m_fullScreen->SetTooltipText(
        LanguageText(m_services, "ui_view_btn_full_screen", "full screen", m_messages));
    // The two buttons that start and stop an activity: text and picture of the next click.
    struct Toggle
    {
        CXPStyleButtonST *button;
        bool running;
        const char *key[2]; // start, stop
        const char *text[2];
        const char *image[2];
    };
    const Toggle toggles[] = {
        {m_recording,
         IsRecording(),
         {"ui_view_btn_take_recording", "ui_view_btn_stop_recording"},
         {"Start Recording", "Stop Recording"},
         {"RecordingMovie.png", "StopRecordingMovie.png"}},
        {m_timedShot,
         IsTimedSeries(),
         {"ui_view_btn_take_timed_shot", "ui_view_btn_stop_timed_shot"},
         {"Start Timed Shot", "Stop Timed Shot"},
         {"TimedShot.png", "StopTimedShot.png"}},
    };
    for (const Toggle &toggle : toggles) {
        const int next = toggle.running ? 1 : 0;
        toggle.button->SetTooltipText(
            LanguageText(m_services, toggle.key[next], toggle.text[next], m_messages));
        toggle.button->SetImageFile(
            ShippedFilePath(m_services.Paths(),
                            QStringLiteral("Resource/Image/") + QLatin1String(toggle.image[next])));
    }
    if (m_folderWindow)
        m_folderWindow->RetitleMoreButton();
    m_hint->setText(LanguageText(m_services, "ui_view_lab_prompt", "Hint:", m_messages));
    layoutControls();
}

CXPStyleButtonST *CMainViewerDlg::Button(int controlId) const
{
    for (CXPStyleButtonST *button :
         {m_takePhoto, m_timedShot, m_recording, m_settings, m_about, m_exit, m_fullScreen}) {
        if (button && button->ControlId() == controlId)
            return button;
    }
    return nullptr;
}

bool CMainViewerDlg::event(QEvent *event)
{
    switch (static_cast<int>(event->type())) {
    case PhotoTakenMessage:
        m_sinkOwner.SetPhotoRequested(false);
        enableCommands(true);
        return true;
    case TimedSeriesOverMessage:
        // The sink posts this for every frame after the end until the flag is cleared.
        if (IsTimedSeries())
            stopTimedSeries();
        return true;
    case StopRecordingMessage:
        if (IsRecording())
            stopRecording();
        return true;
    case OpenFirstCameraMessage:
        onOpenFirstCamera();
        return true;
    case PreviewResizedMessage:
        m_captureVideo.FitVideoWindow();
        return true;
    case kStreamEndedMessage:
        OnStreamEnded();
        return true;
    default:
        return QDialog::event(event);
    }
}

bool CMainViewerDlg::isOwnWidget(QObject *object) const
{
    if (!object || !object->isWidgetType())
        return false;
    return static_cast<QWidget *>(object)->window() == this;
}

bool CMainViewerDlg::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride: {
        if (!isOwnWidget(watched))
            break;
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            return true; // Enter never triggers a button
        if (key == Qt::Key_Escape) {
            if (event->type() == QEvent::KeyPress && m_isFullScreen)
                LeaveFullScreen();
            return true; // Escape never closes the window
        }
        break;
    }
    case QEvent::MouseButtonDblClick:
        if (isOwnWidget(watched) && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton &&
            m_isFullScreen)
            LeaveFullScreen();
        break; // processed normally afterwards
    case QEvent::MouseMove:
        if (isOwnWidget(watched)) {
            const auto *move = static_cast<QMouseEvent *>(event);
            UpdatePrompt(mapFromGlobal(move->globalPosition().toPoint()), true);
        }
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void CMainViewerDlg::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CMainViewerDlg::reject()
{
    // The window ends only through the exit question.
}

void CMainViewerDlg::closeEvent(QCloseEvent *event)
{
    event->ignore();
    ConfirmExit();
}

QMenu *CMainViewerDlg::ContextMenu()
{
    // The system menu's About entry of the Windows program, as the window's context menu.
    if (!m_contextMenu) {
        m_contextMenu = new QMenu(this);
        m_contextMenu->addSeparator();
        QAction *about = m_contextMenu->addAction(QStringLiteral("关于 Varnolet(&A)..."));
        about->setData(kAboutCommand);
        connect(about, &QAction::triggered, this, &CMainViewerDlg::OnAbout);
    }
    return m_contextMenu;
}

void CMainViewerDlg::contextMenuEvent(QContextMenuEvent *event)
{
    ContextMenu()->popup(event->globalPos());
}

void CMainViewerDlg::OnFullScreen()
{
    if (m_isFullScreen)
        return;
    m_normalGeometry = geometry();
    for (QWidget *control : std::initializer_list<QWidget *>{
             m_settings, m_takePhoto, m_timedShot, m_recording, m_about, m_exit, m_fullScreen,
             m_hint, m_separator, m_prompt})
        control->hide();
    m_browserCollapsedBefore = m_mainSplitter->IsCollapsed();
    m_mainSplitter->Collapse();
    m_isFullScreen = true;
    showFullScreen();
    layoutControls();
}

void CMainViewerDlg::LeaveFullScreen()
{
    if (!m_isFullScreen)
        return;
    if (!m_browserCollapsedBefore)
        m_mainSplitter->Expand();
    for (QWidget *control : std::initializer_list<QWidget *>{
             m_settings, m_takePhoto, m_timedShot, m_recording, m_about, m_exit, m_fullScreen,
             m_hint, m_separator, m_prompt})
        control->show();
    m_isFullScreen = false;
    showNormal();
    setGeometry(m_normalGeometry);
    layoutControls();
}

void CMainViewerDlg::RaiseFromAnotherInstance()
{
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

CPromptLine::Button CMainViewerDlg::buttonAt(const QPoint &clientPoint) const
{
    using B = CPromptLine::Button;
    const std::pair<CXPStyleButtonST *, B> order[] = {
        {m_takePhoto, B::TakePhoto}, {m_timedShot, B::TimedShot}, {m_recording, B::Recording},
        {m_settings, B::Settings},   {m_about, B::About},         {m_exit, B::Exit}};
    for (const auto &[button, kind] : order) {
        if (button->isVisible() && button->geometry().contains(clientPoint))
            return kind;
    }
    return B::None;
}

CPromptLine::State CMainViewerDlg::promptState() const
{
    const SettingValues settings = m_services.Settings().GetUsingSettings();
    const FrameSize movie = MovieFrameSize(settings);
    CPromptLine::State s;
    s.cameraPresent = IsCameraPresent();
    s.devicesListed = DeviceCount() > 0;
    s.photoPending = IsPhotoPending();
    s.timedSeries = IsTimedSeries();
    s.recording = IsRecording();
    s.captureWidth = settings.captureWidth;
    s.captureHeight = settings.captureHeight;
    s.movieWidth = movie.width;
    s.movieHeight = movie.height;
    s.seriesTotalMinutes = TimedShotDurationMinutes(settings);
    s.seriesStartMs = SeriesStartTime();
    s.nowMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                  m_sinkOwner.Clock().wallNow().time_since_epoch())
                  .count();
    return s;
}

void CMainViewerDlg::AnnounceRepairedMovies(const std::vector<RepairedMovie> &movies)
{
    QStringList names;
    for (const RepairedMovie &movie : movies)
        names << QFile::decodeName(
            QByteArray::fromStdString(movie.path.substr(movie.path.find_last_of('/') + 1)));
    const QString text = m_promptLine.RepairedMoviesText(names);
    if (text.isEmpty())
        return;
    m_promptLine.Announce(text, promptState().nowMs + kNoticeMs);
}

void CMainViewerDlg::UpdatePrompt(const QPoint &clientPoint, bool fromMouseMove)
{
    CPromptLine::Show(m_prompt,
                      m_promptLine.Update(buttonAt(clientPoint), fromMouseMove, promptState()));
}
