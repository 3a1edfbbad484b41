#pragma once

#include <functional>
#include <map>
#include <optional>

#include <QMainWindow>

#include "mac/controller/AppController.h"

class QLabel;
class QSplitter;
class QTimer;
class QToolButton;
class CaptureViewMeasure;
class MyQtCaptureView;

// The main window: the job buttons, the preview, the two split views (the collapsible left
// pane holds the resource browser, the right one the preview) and the prompt line under
// them. It shows the controller's state and forwards the user's actions; a one-second
// timer and the mouse moves drive the prompt line.
class MainViewer final : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainViewer(AppController &controller, QWidget *parent = nullptr);
    ~MainViewer() override;

    // Puts a widget (the resource browser) into the left pane; the window owns it.
    void setResourcePane(QWidget *pane);
    QWidget *resourcePane() const { return m_resourcePane; }
    // What the Settings and About buttons open (the settings and about panels).
    void setSettingsHandler(std::function<void()> handler)
    {
        m_settingsHandler = std::move(handler);
    }
    void setAboutHandler(std::function<void()> handler) { m_aboutHandler = std::move(handler); }

    // Called for every mouse move (window coordinates); answers whether a hint was shown.
    bool doMouseMovedByMainViewer(QPoint point);
    bool mIsDoingMouseMoved() const { return m_isDoingMouseMoved; }
    // The once-a-second tick: the status, or the hint in force said again.
    void doTimer();
    // The hint ends and the status line shows the status at once.
    void endHoverHint();

    // Double click on the left divider: collapse the left pane, or bring it back.
    void toggleLeftPane();
    float lastSplitViewSubViewLeftWidth() const { return _lastSplitViewSubViewLeftWidth; }

    // Controls, for the controller's tests and the screenshots.
    QToolButton *button(AppController::Control control) const;
    QToolButton *exitButton() const { return lExitButton; }
    QToolButton *fullScreenButton() const { return lButtonOfFullScreen; }
    MyQtCaptureView *captureView() const { return captureView_; }
    QSplitter *vSplitView() const { return mVSplitView; }
    QSplitter *hSplitView() const { return mHSplitView; }
    QLabel *promptContent() const { return mPromptContentTextField; }
    QLabel *promptHint() const { return mPromptHintTextField; }

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QToolButton *makeButton(const QString &image, const char *name);
    void retitle();
    void updateControls();
    void updatePrompt();
    void setPreviewViewSize();
    void showFullScreen(bool on);
    void trackMouseMoves(QWidget *widget);

    AppController &m_controller;
    QToolButton *lSetSettingButton = nullptr;
    QToolButton *lTakingPhotoButton = nullptr;
    QToolButton *buttonTakingPhotos = nullptr;
    QToolButton *buttonVideoRecording = nullptr;
    QToolButton *lAboutButton = nullptr;
    QToolButton *lExitButton = nullptr;
    QToolButton *lButtonOfFullScreen = nullptr;
    QSplitter *mHSplitView = nullptr;
    QSplitter *mVSplitView = nullptr;
    QWidget *m_resourcePane = nullptr;
    QWidget *m_previewPane = nullptr;
    MyQtCaptureView *captureView_ = nullptr;
    CaptureViewMeasure *m_captureViewMeasure = nullptr; // child of captureView_
    QLabel *mPromptHintTextField = nullptr;
    QLabel *mPromptContentTextField = nullptr;
    QTimer *m_timer = nullptr;
    bool m_isDoingMouseMoved = false;
    std::optional<AppController::Control> m_hoveredControl; // the button of the hint in force
    float _lastSplitViewSubViewLeftWidth = 0.0f;
    std::function<void()> m_settingsHandler;
    std::function<void()> m_aboutHandler;
};
