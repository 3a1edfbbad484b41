#include "MainViewer.h"

#include <algorithm>

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "mac/ui/CaptureViewMeasure.h"
#include "mac/ui/MyQtCaptureView.h"
#include "mac/core/PropertyList.h"

static void initMainViewerImages()
{
    Q_INIT_RESOURCE(MainViewerImages);
}

namespace {

constexpr int kButtonSize = 56;
constexpr int kIconSize = 44;

QString qs(const std::string &text)
{
    return QString::fromStdString(text);
}

} // namespace

MainViewer::MainViewer(AppController &controller, QWidget *parent)
    : QMainWindow(parent)
    , m_controller(controller)
{
    initMainViewerImages();
    setObjectName(QStringLiteral("MainViewer"));
    const PropertyList info =
        PropertyList::readFile(controller.settings().bundlePath() + "/Contents/info.plist");
    setWindowTitle(
        qs(PropertyList::stringValue(info.item("Oem Produce Name")).value_or("Varnolet")));

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(6, 6, 6, 4);
    layout->setSpacing(4);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    lSetSettingButton = makeButton(QStringLiteral("Setting"), "lSetSettingButton");
    lTakingPhotoButton = makeButton(QStringLiteral("TakeAShot"), "lTakingPhotoButton");
    buttonTakingPhotos = makeButton(QStringLiteral("TimedShot"), "buttonTakingPhotos");
    buttonVideoRecording = makeButton(QStringLiteral("RecordingMovie"), "buttonVideoRecording");
    lAboutButton = makeButton(QStringLiteral("Help"), "lAboutButton");
    lExitButton = makeButton(QStringLiteral("Exit"), "lExitButton");
    lButtonOfFullScreen = makeButton(QStringLiteral("FullScreen"), "lButtonOfFullScreen");
    for (QToolButton *button : {lSetSettingButton, lTakingPhotoButton, buttonTakingPhotos,
                                buttonVideoRecording, lAboutButton, lExitButton})
        buttons->addWidget(button);
    buttons->addStretch(1);
    buttons->addWidget(lButtonOfFullScreen);
    layout->addLayout(buttons);

    mHSplitView = new QSplitter(Qt::Vertical, central);
    mHSplitView->setObjectName(QStringLiteral("mHSplitView"));
    mVSplitView = new QSplitter(Qt::Horizontal, mHSplitView);
    mVSplitView->setObjectName(QStringLiteral("mVSplitView"));
    // An empty pane until the resource browser is put there.
    auto *placeholder = new QFrame(mVSplitView);
    placeholder->setFrameShape(QFrame::StyledPanel);
    placeholder->setBackgroundRole(QPalette::Base);
    placeholder->setAutoFillBackground(true);
    m_resourcePane = placeholder;
    m_resourcePane->setObjectName(QStringLiteral("resourcePane"));
    m_previewPane = new QWidget(mVSplitView);
    m_previewPane->setObjectName(QStringLiteral("previewPane"));
    m_previewPane->setAutoFillBackground(true);
    QPalette black = m_previewPane->palette();
    black.setColor(QPalette::Window, Qt::black);
    m_previewPane->setPalette(black);
    m_previewPane->setMinimumSize(160, 120);
    m_previewPane->installEventFilter(this);
    captureView_ = new MyQtCaptureView(m_previewPane);
    captureView_->installEventFilter(this); // its size on screen goes to the controller
    captureView_->setStopFullScreenDelegate([this] { m_controller.stopFullScreen(); });
    m_captureViewMeasure = new CaptureViewMeasure(m_controller, captureView_);
    mVSplitView->addWidget(m_resourcePane);
    mVSplitView->addWidget(m_previewPane);
    mVSplitView->setCollapsible(0, true);
    mVSplitView->setCollapsible(1, false);
    mVSplitView->setStretchFactor(1, 1);
    mVSplitView->handle(1)->installEventFilter(this);

    auto *prompt = new QWidget(mHSplitView);
    prompt->setObjectName(QStringLiteral("promptLine"));
    auto *promptLayout = new QHBoxLayout(prompt);
    promptLayout->setContentsMargins(2, 2, 2, 2);
    mPromptHintTextField = new QLabel(prompt);
    mPromptHintTextField->setObjectName(QStringLiteral("mPromptHintTextField"));
    mPromptContentTextField = new QLabel(prompt);
    mPromptContentTextField->setObjectName(QStringLiteral("mPromptContentTextField"));
    mPromptContentTextField->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    promptLayout->addWidget(mPromptHintTextField);
    promptLayout->addWidget(mPromptContentTextField, 1);
    prompt->setFixedHeight(prompt->sizeHint().height());
    mHSplitView->addWidget(mVSplitView);
    mHSplitView->addWidget(prompt);
    mHSplitView->setCollapsible(0, false);
    mHSplitView->setCollapsible(1, false);
    mHSplitView->setStretchFactor(0, 1);
    layout->addWidget(mHSplitView, 1);
    setCentralWidget(central);
    resize(1024, 720);
    mVSplitView->setSizes({240, 784});

    connect(lSetSettingButton, &QToolButton::clicked, this, [this] {
        if (m_settingsHandler)
            m_settingsHandler();
    });
    connect(lTakingPhotoButton, &QToolButton::clicked, &m_controller, &AppController::takePhotos);
    connect(buttonTakingPhotos, &QToolButton::clicked, &m_controller,
            &AppController::takePhotosByTimes);
    connect(buttonVideoRecording, &QToolButton::clicked, &m_controller,
            &AppController::takeVideoRecording);
    connect(lAboutButton, &QToolButton::clicked, this, [this] {
        if (m_aboutHandler)
            m_aboutHandler();
    });
    connect(lExitButton, &QToolButton::clicked, &m_controller, &AppController::exitSystem);
    connect(lButtonOfFullScreen, &QToolButton::clicked, &m_controller,
            &AppController::startFullScreen);

    // After a button's action the line tells what now goes on, not what the button did.
    for (QToolButton *button : {lSetSettingButton, lTakingPhotoButton, buttonTakingPhotos,
                                buttonVideoRecording, lAboutButton, lExitButton})
        connect(button, &QToolButton::clicked, this, &MainViewer::endHoverHint);

    connect(&m_controller, &AppController::controlsChanged, this, &MainViewer::updateControls);
    connect(&m_controller, &AppController::toolTipsChanged, this, &MainViewer::retitle);
    connect(&m_controller, &AppController::promptChanged, this, &MainViewer::updatePrompt);
    connect(&m_controller, &AppController::previewGeometryChanged, this,
            &MainViewer::setPreviewViewSize);
    connect(&m_controller, &AppController::previewFrameReady, this,
            [this] { captureView_->setFrame(m_controller.latestPreviewFrame()); });
    connect(&m_controller, &AppController::fullScreenChanged, this, &MainViewer::showFullScreen);

    m_timer = new QTimer(this);
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &MainViewer::doTimer);
    m_timer->start();
    trackMouseMoves(this);

    retitle();
    updateControls();
    updatePrompt();
}

MainViewer::~MainViewer()
{
    if (captureView_ && captureView_->parent() == nullptr)
        delete captureView_; // still out in full screen
}

QToolButton *MainViewer::makeButton(const QString &image, const char *name)
{
    auto *button = new QToolButton(this);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(QIcon(QStringLiteral(":/mac/images/%1.png").arg(image)));
    button->setIconSize(QSize(kIconSize, kIconSize));
    button->setFixedSize(kButtonSize, kButtonSize);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QToolButton *MainViewer::button(AppController::Control control) const
{
    switch (control) {
    case AppController::Control::TakePhoto:
        return lTakingPhotoButton;
    case AppController::Control::TimedShot:
        return buttonTakingPhotos;
    case AppController::Control::Recording:
        return buttonVideoRecording;
    case AppController::Control::About:
        return lAboutButton;
    case AppController::Control::Settings:
        return lSetSettingButton;
    case AppController::Control::Exit:
        return lExitButton;
    case AppController::Control::ResolutionList:
        break;
    }
    return nullptr;
}

void MainViewer::setResourcePane(QWidget *pane)
{
    if (!pane || pane == m_resourcePane)
        return;
    QList<int> sizes = mVSplitView->sizes();
    QWidget *old = mVSplitView->replaceWidget(0, pane);
    delete old;
    m_resourcePane = pane;
    mVSplitView->setCollapsible(0, true);
    // A pane narrower than its own minimum would be collapsed by the splitter at once.
    const int wanted = std::max(pane->minimumSizeHint().width(), pane->sizeHint().width());
    if (sizes.size() == 2 && sizes[0] < wanted) {
        sizes[1] = std::max(0, sizes[1] - (wanted - sizes[0]));
        sizes[0] = wanted;
    }
    mVSplitView->setSizes(sizes);
    trackMouseMoves(pane);
}

void MainViewer::retitle()
{
    using Control = AppController::Control;
    for (Control control : {Control::Settings, Control::TakePhoto, Control::TimedShot,
                            Control::Recording, Control::About, Control::Exit})
        button(control)->setToolTip(qs(m_controller.toolTip(control)));
    lButtonOfFullScreen->setToolTip(qs(m_controller.fullScreenToolTip()));
    buttonTakingPhotos->setIcon(QIcon(m_controller.bTakePhotoEachTime()
                                          ? QStringLiteral(":/mac/images/StopTimedShot.png")
                                          : QStringLiteral(":/mac/images/TimedShot.png")));
    buttonVideoRecording->setIcon(QIcon(m_controller.bVideoRecording()
                                            ? QStringLiteral(":/mac/images/StopRecordingMovie.png")
                                            : QStringLiteral(":/mac/images/RecordingMovie.png")));
    mPromptHintTextField->setText(qs(m_controller.promptLabel()));
}

void MainViewer::updateControls()
{
    using Control = AppController::Control;
    for (Control control : {Control::Settings, Control::TakePhoto, Control::TimedShot,
                            Control::Recording, Control::About})
        button(control)->setEnabled(m_controller.isEnabled(control));
    retitle();
}

void MainViewer::updatePrompt()
{
    mPromptContentTextField->setText(qs(m_controller.promptText()));
}

void MainViewer::doTimer()
{
    // A hint in force is said again, so that it follows what the button now does (a
    // recording that stopped by itself turns "stop" back into "start").
    if (m_hoveredControl)
        m_isDoingMouseMoved = m_controller.doMouseMovedOverControl(m_hoveredControl);
    else
        m_isDoingMouseMoved = false;
    if (!m_isDoingMouseMoved)
        m_controller.doTimerByMainViewer();
}

void MainViewer::endHoverHint()
{
    m_hoveredControl.reset();
    m_isDoingMouseMoved = false;
    m_controller.doTimerByMainViewer();
}

bool MainViewer::doMouseMovedByMainViewer(QPoint point)
{
    using Control = AppController::Control;
    std::optional<Control> over;
    for (Control control : {Control::Settings, Control::TakePhoto, Control::TimedShot,
                            Control::Recording, Control::About, Control::Exit}) {
        QToolButton *candidate = button(control);
        const QRect frame(candidate->mapTo(this, QPoint(0, 0)), candidate->size());
        if (candidate->isVisible() && frame.contains(point)) {
            over = control;
            break;
        }
    }
    m_isDoingMouseMoved = m_controller.doMouseMovedOverControl(over);
    m_hoveredControl = m_isDoingMouseMoved ? over : std::nullopt;
    return m_isDoingMouseMoved;
}

void MainViewer::trackMouseMoves(QWidget *widget)
{
    widget->setMouseTracking(true);
    if (widget != this)
        widget->installEventFilter(this);
    for (QWidget *child : widget->findChildren<QWidget *>()) {
        child->setMouseTracking(true);
        child->installEventFilter(this);
    }
}

void MainViewer::leaveEvent(QEvent *event)
{
    endHoverHint();
    QMainWindow::leaveEvent(event);
}

void MainViewer::changeEvent(QEvent *event)
{
    // Another window took the pointer and the keyboard (a panel, an alert).
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        endHoverHint();
    QMainWindow::changeEvent(event);
}

void MainViewer::hideEvent(QHideEvent *event)
{
    endHoverHint();
    QMainWindow::hideEvent(event);
}

void MainViewer::mouseMoveEvent(QMouseEvent *event)
{
    doMouseMovedByMainViewer(event->position().toPoint());
    QMainWindow::mouseMoveEvent(event);
}

bool MainViewer::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == captureView_ && event->type() == QEvent::Resize)
        m_controller.setPreviewShownSize(captureView_->width(), captureView_->height());
    if (watched == m_previewPane && event->type() == QEvent::Resize)
        setPreviewViewSize();
    if (watched == mVSplitView->handle(1) && event->type() == QEvent::MouseButtonDblClick) {
        toggleLeftPane();
        return true;
    }
    // The hint ends when the pointer leaves its button, and when the button is pressed:
    // what it does is about to change.
    if (qobject_cast<QToolButton *>(watched) &&
        (event->type() == QEvent::Leave || event->type() == QEvent::MouseButtonPress ||
         event->type() == QEvent::MouseButtonDblClick))
        endHoverHint();
    if (event->type() == QEvent::MouseMove) {
        auto *widget = qobject_cast<QWidget *>(watched);
        if (widget && widget->window() == this) {
            const auto *move = static_cast<QMouseEvent *>(event);
            doMouseMovedByMainViewer(widget->mapTo(this, move->position().toPoint()));
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainViewer::setPreviewViewSize()
{
    if (m_controller.mIsFullScreen())
        return;
    const QRectF rect = m_controller.previewRectInPane(QSizeF(m_previewPane->size()));
    captureView_->setGeometry(rect.toRect());
}

void MainViewer::toggleLeftPane()
{
    QList<int> sizes = mVSplitView->sizes();
    if (sizes.size() < 2)
        return;
    const int total = sizes[0] + sizes[1];
    if (sizes[0] == 0) {
        const int left = static_cast<int>(_lastSplitViewSubViewLeftWidth);
        mVSplitView->setSizes({left, std::max(0, total - left)});
        return;
    }
    _lastSplitViewSubViewLeftWidth = static_cast<float>(sizes[0]);
    mVSplitView->setSizes({0, total});
}

void MainViewer::showFullScreen(bool on)
{
    if (on) {
        captureView_->setParent(nullptr);
        captureView_->setWindowTitle(windowTitle());
        // The screen's shape is not the picture's: the picture keeps its own, as in the pane.
        captureView_->setKeepAspectRatio(true);
        captureView_->showFullScreen();
        captureView_->activateWindow();
        captureView_->setFocus();
        return;
    }
    captureView_->showNormal();
    captureView_->setKeepAspectRatio(false);
    captureView_->setParent(m_previewPane);
    captureView_->show();
    setPreviewViewSize();
    activateWindow();
}

void MainViewer::closeEvent(QCloseEvent *event)
{
    if (m_controller.windowShouldClose())
        event->accept();
    else
        event->ignore();
}
