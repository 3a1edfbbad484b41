#include "tests/mac/controller/AppControllerFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QLabel>
#include <QSplitter>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>

#include "mac/ui/CaptureViewMeasure.h"
#include "mac/ui/MacAlertPresenter.h"
#include "mac/ui/MainViewer.h"
#include "mac/ui/MyQtCaptureView.h"
#include "platform/widgets/MeasureController.h"
#include "platform/widgets/MeasureOverlay.h"
#include "tests/support/PhotoChecks.h"

using namespace std::chrono_literals;
using Control = AppController::Control;
using mactest::AppControllerTest;

namespace {

class MainViewerTest : public AppControllerTest
{
protected:
    MainViewer &open(bool launch = true)
    {
        AppController &controller = make(false);
        m_window = std::make_unique<MainViewer>(controller);
        m_window->resize(1000, 680);
        m_window->show();
        if (launch)
            controller.applicationDidFinishLaunching();
        return *m_window;
    }

    void TearDown() override
    {
        m_window.reset();
        AppControllerTest::TearDown();
    }

    // Saves the window's picture where the documentation keeps it (when asked to) and checks
    // that the picture is not blank.
    void screenshot(const std::string &name)
    {
        // The pointer rests on the prompt line, away from the buttons' hover frames.
        QTest::mouseMove(m_window.get(), QPoint(m_window->width() / 2, m_window->height() - 8));
        varnolet::test::processEventsFor(std::chrono::milliseconds(50));
        const QImage image = m_window->grab().toImage();
        ASSERT_FALSE(image.isNull());
        EXPECT_TRUE(image.save(varnolet::test::screenshotPath(
            QString::fromStdString("mac-main-window-" + name + ".png"))));
    }

    std::unique_ptr<MainViewer> m_window;
};

} // namespace

TEST_F(MainViewerTest, PreviewsTheCameraAndTakesAPhotoFromTheButton)
{
    plug("Camera", 0x01100000);
    MainViewer &window = open();
    ASSERT_TRUE(varnolet::test::processEventsUntil(
        [&] { return window.captureView()->frame() != nullptr; }));
    // The preview fills the pane in one direction with the camera's 4:3 shape, centred.
    const QRect view = window.captureView()->geometry();
    const QSize pane = window.captureView()->parentWidget()->size();
    EXPECT_TRUE(view.width() == pane.width() || view.height() == pane.height());
    EXPECT_NEAR(view.width() * 3.0 / 4.0, view.height(), 1.0);
    EXPECT_NEAR(view.x(), (pane.width() - view.width()) / 2, 1);
    EXPECT_NEAR(view.y(), (pane.height() - view.height()) / 2, 1);

    window.doTimer();
    EXPECT_EQ(window.promptContent()->text(), QString("系统正在以分辨率640X480进行预览"));
    EXPECT_EQ(window.promptHint()->text(), QString("Prompt:"));
    EXPECT_EQ(window.button(Control::TakePhoto)->toolTip(), QString("Take a Photo"));
    varnolet::test::processEventsFor(150ms);
    screenshot("previewing");

    QTest::mouseClick(window.button(Control::TakePhoto), Qt::LeftButton);
    ASSERT_TRUE(varnolet::test::processEventsUntil([&] { return !m_controller->bTakePhoto(); }));
    EXPECT_EQ(photos().size(), 1u);
    EXPECT_TRUE(window.button(Control::TakePhoto)->isEnabled());
}

TEST_F(MainViewerTest, RecordingButtonStartsAndStopsAMovieAndTheOtherButtonsWait)
{
    plug("Camera", 0x01100000);
    MainViewer &window = open();
    ASSERT_TRUE(varnolet::test::processEventsUntil(
        [&] { return window.captureView()->frame() != nullptr; }));
    QTest::mouseClick(window.button(Control::Recording), Qt::LeftButton);
    ASSERT_TRUE(m_controller->bVideoRecording());
    EXPECT_EQ(window.button(Control::Recording)->toolTip(), QString("Stop Recording"));
    EXPECT_TRUE(window.button(Control::Recording)->isEnabled());
    EXPECT_FALSE(window.button(Control::Settings)->isEnabled());
    EXPECT_FALSE(window.button(Control::TakePhoto)->isEnabled());
    EXPECT_FALSE(window.button(Control::TimedShot)->isEnabled());
    EXPECT_TRUE(window.exitButton()->isEnabled());
    EXPECT_TRUE(window.fullScreenButton()->isEnabled());
    window.doTimer();
    EXPECT_EQ(window.promptContent()->text(), QString("正在以分辨率640X480进行录像"));
    varnolet::test::processEventsFor(400ms);
    screenshot("recording");
    m_clock->advance(1s);

    QTest::mouseClick(window.button(Control::Recording), Qt::LeftButton);
    EXPECT_FALSE(m_controller->bVideoRecording());
    ASSERT_EQ(movies().size(), 1u);
    EXPECT_TRUE(window.button(Control::Settings)->isEnabled());
    EXPECT_EQ(window.button(Control::Recording)->toolTip(), QString("Start Recording"));
}

TEST_F(MainViewerTest, WithoutCameraTheWindowSaysSoAndTheButtonsWarn)
{
    MainViewer &window = open();
    EXPECT_EQ(m_messages->texts(), std::vector<std::string>{"Error,No Camera is Detected"});
    window.doTimer();
    EXPECT_EQ(window.promptContent()->text(), QString("Error,No Camera is Detected"));
    screenshot("no-camera");
    QTest::mouseClick(window.button(Control::TakePhoto), Qt::LeftButton);
    EXPECT_EQ(m_messages->count(), 2u);
    EXPECT_EQ(m_messages->texts().back(), "Error,No Camera is Detected");
}

TEST_F(MainViewerTest, HoverHintStaysUntilThePointerLeavesTheButtons)
{
    plug("Camera", 0x01100000);
    MainViewer &window = open();
    QToolButton *recording = window.button(Control::Recording);
    const QPoint centre = recording->mapTo(&window, recording->rect().center());
    EXPECT_TRUE(window.doMouseMovedByMainViewer(centre));
    EXPECT_TRUE(window.mIsDoingMouseMoved());
    EXPECT_EQ(window.promptContent()->text(), QString("以分辨率640X480进行录像"));
    window.doTimer(); // the status does not overwrite the hint
    EXPECT_EQ(window.promptContent()->text(), QString("以分辨率640X480进行录像"));
    const QPoint exit = window.exitButton()->mapTo(&window, window.exitButton()->rect().center());
    EXPECT_TRUE(window.doMouseMovedByMainViewer(exit));
    EXPECT_EQ(window.promptContent()->text(), QString("退出系统"));
    // The full-screen button has no hint.
    const QPoint full =
        window.fullScreenButton()->mapTo(&window, window.fullScreenButton()->rect().center());
    EXPECT_FALSE(window.doMouseMovedByMainViewer(full));
    window.doTimer();
    EXPECT_EQ(window.promptContent()->text(), QString("系统正在以分辨率640X480进行预览"));
}

TEST_F(MainViewerTest, DoubleClickOnTheLeftDividerCollapsesAndRestoresTheTreePane)
{
    MainViewer &window = open(false);
    auto *tree = new QLabel(QStringLiteral("resource tree"));
    window.setResourcePane(tree);
    EXPECT_EQ(window.resourcePane(), tree);
    EXPECT_EQ(window.vSplitView()->widget(0), tree);
    window.vSplitView()->setSizes({250, 700});
    const int before = window.vSplitView()->sizes()[0];
    ASSERT_GT(before, 0);
    QTest::mouseDClick(window.vSplitView()->handle(1), Qt::LeftButton);
    EXPECT_EQ(window.vSplitView()->sizes()[0], 0);
    EXPECT_EQ(window.lastSplitViewSubViewLeftWidth(), before);
    QTest::mouseDClick(window.vSplitView()->handle(1), Qt::LeftButton);
    EXPECT_EQ(window.vSplitView()->sizes()[0], before);
}

TEST_F(MainViewerTest, FullScreenLeavesWithEscapeOrADoubleClickAndEscapeOutsideDoesNothing)
{
    MainViewer &window = open(false);
    MyQtCaptureView *view = window.captureView();
    QTest::keyClick(view, Qt::Key_Escape); // not in full screen: nothing
    EXPECT_FALSE(m_controller->mIsFullScreen());
    QTest::mouseClick(window.fullScreenButton(), Qt::LeftButton);
    EXPECT_TRUE(m_controller->mIsFullScreen());
    EXPECT_TRUE(view->isWindow());
    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_FALSE(m_controller->mIsFullScreen());
    EXPECT_FALSE(view->isWindow());
    m_controller->startFullScreen();
    QTest::mouseDClick(view, Qt::LeftButton);
    EXPECT_FALSE(m_controller->mIsFullScreen());
    EXPECT_EQ(view->parentWidget(), window.vSplitView()->widget(1));
}

TEST_F(MainViewerTest, ClosingAsksAndOnlyOkCloses)
{
    plug("Camera", 0x01100000);
    MainViewer &window = open();
    m_messages->setAnswer(varnolet::MessageResult::Cancel);
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(m_controller->isPreviewRunning());
    m_messages->setAnswer(varnolet::MessageResult::Ok);
    EXPECT_TRUE(window.close());
    EXPECT_TRUE(m_controller->isExitSystem());
    EXPECT_FALSE(m_controller->isPreviewRunning());
}

TEST_F(MainViewerTest, FullScreenKeepsThePicturesShapeWithBarsBesideIt)
{
    plug("Camera", 0x01100000);
    MainViewer &window = open();
    ASSERT_TRUE(waitFrames(1));
    m_controller->resolutionSelectionDidChange(1); // 1280X720 of the camera's list
    ASSERT_EQ(m_controller->mCurrentCaptureResolution().getPixelFormatString(), "1280X720");
    m_controller->startFullScreen();
    MyQtCaptureView *view = window.captureView();
    ASSERT_TRUE(view->isFullScreen());
    ASSERT_TRUE(varnolet::test::processEventsUntil(
        [&] { return view->frame() && view->frame()->width == 1280; }));
    varnolet::test::processEventsFor(100ms);

    // The screen's shape is not 16:9: the picture fills one direction, centred, 16:9.
    const QRect picture = view->pictureRect();
    const QSize screen = view->size();
    ASSERT_NE(screen.width() * 9, screen.height() * 16) << "the check needs another shape";
    EXPECT_TRUE(picture.width() == screen.width() || picture.height() == screen.height());
    EXPECT_NEAR(picture.width() * 9.0 / 16.0, picture.height(), 1.0);
    EXPECT_NEAR(picture.x(), (screen.width() - picture.width()) / 2, 1);
    EXPECT_NEAR(picture.y(), (screen.height() - picture.height()) / 2, 1);

    const QImage image = view->grab().toImage();
    EXPECT_TRUE(image.save(varnolet::test::screenshotPath("mac-full-screen-1280x720.png")));
    const QPoint bar = picture.y() > 0 ? QPoint(screen.width() / 2, picture.y() / 2)
                                       : QPoint(picture.x() / 2, screen.height() / 2);
    EXPECT_EQ(image.pixelColor(bar), QColor(Qt::black));
    // The test picture is not black anywhere across its middle row.
    int lit = 0;
    for (int x = picture.left(); x <= picture.right(); x += 8)
        lit += image.pixelColor(x, picture.center().y()) != QColor(Qt::black);
    EXPECT_GT(lit, picture.width() / 8 / 2);

    m_controller->stopFullScreen();
    EXPECT_EQ(view->pictureRect(), view->rect()) << "in the pane the view has the shape itself";
}

TEST_F(MainViewerTest, HoverHintEndsWhenThePointerLeavesOrTheButtonIsPressed)
{
    plug("Camera", 0x01100000);
    MainViewer &window = open();
    ASSERT_TRUE(waitFrames(1));
    QToolButton *recording = window.button(Control::Recording);
    const QPoint centre = recording->mapTo(&window, recording->rect().center());
    const QString preview = QString("系统正在以分辨率640X480进行预览");

    // Leaving the button, or the window: the status at once.
    for (QWidget *left : {static_cast<QWidget *>(recording), static_cast<QWidget *>(&window)}) {
        ASSERT_TRUE(window.doMouseMovedByMainViewer(centre));
        ASSERT_EQ(window.promptContent()->text(), QString("以分辨率640X480进行录像"));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(left, &leave);
        EXPECT_FALSE(window.mIsDoingMouseMoved()) << left->objectName().toStdString();
        EXPECT_EQ(window.promptContent()->text(), preview) << left->objectName().toStdString();
    }

    // A state that changes under a resting pointer changes the hint with the next tick.
    ASSERT_TRUE(window.doMouseMovedByMainViewer(centre));
    m_controller->takeVideoRecording();
    ASSERT_TRUE(m_controller->bVideoRecording());
    window.doTimer();
    EXPECT_EQ(window.promptContent()->text(), QString("停止录像"));

    // Pressing the button ends the hint: the line tells what now happens.
    QTest::mouseClick(recording, Qt::LeftButton);
    EXPECT_FALSE(m_controller->bVideoRecording());
    EXPECT_FALSE(window.mIsDoingMouseMoved());
    EXPECT_EQ(window.promptContent()->text(), preview);
    window.doTimer();
    EXPECT_EQ(window.promptContent()->text(), preview);
}

TEST(MacAlertPresenterTest, QuestionDefaultsToCancelAndAlertsBelongToTheModalPanel)
{
    MacAlertPresenter alerts(
        [](const std::string &, const std::string &fallback) { return fallback; });
    QWidget mainWindow;
    mainWindow.show();
    alerts.setParentWindow(&mainWindow);
    QDialog panel(nullptr);
    panel.setModal(true);

    struct Case
    {
        const char *name;
        std::function<void(QMessageBox &)> answer;
        varnolet::MessageResult expected;
    };
    const Case cases[] = {
        {"Return", [](QMessageBox &box) { QTest::keyClick(&box, Qt::Key_Return); },
         varnolet::MessageResult::Cancel},
        {"Escape", [](QMessageBox &box) { QTest::keyClick(&box, Qt::Key_Escape); },
         varnolet::MessageResult::Cancel},
        {"Ok clicked",
         [](QMessageBox &box) {
             for (QAbstractButton *button : box.buttons())
                 if (button->text() == "Ok")
                     button->click();
         },
         varnolet::MessageResult::Ok},
    };
    for (const Case &c : cases) {
        QWidget *owner = nullptr;
        QString defaultButton;
        varnolet::MessageResult result = varnolet::MessageResult::Queued;
        QTimer::singleShot(0, [&] {
            QTimer::singleShot(0, [&] {
                auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                ASSERT_NE(box, nullptr);
                owner = box->parentWidget();
                defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
                c.answer(*box);
            });
            result = alerts.present({"Quit?", "Varnolet", varnolet::MessageIcon::Question,
                                     varnolet::MessageButtons::OkCancel});
            panel.accept();
        });
        panel.exec();
        EXPECT_EQ(result, c.expected) << c.name;
        EXPECT_EQ(owner, &panel) << c.name << ": not the main window, which would cover the panel";
        EXPECT_EQ(defaultButton, "Cancel") << c.name;
    }
}

TEST_F(MainViewerTest, CalibratedPhotosFromTheButtonAndTheSnapshotButtonCarryTheScale)
{
    if (!varnolet::test::haveExiftool())
        GTEST_SKIP() << "exiftool is not installed (scripts/install-deps.sh installs it)";
    QFile::remove(QString::fromStdString(CaptureViewMeasure::storePath(paths())));
    plug("Camera", 0x01100000);
    MainViewer &window = open();
    ASSERT_TRUE(varnolet::test::processEventsUntil(
        [&] { return window.captureView()->frame() != nullptr; }));
    auto *overlay = window.captureView()->findChild<varnolet::MeasureOverlay *>();
    ASSERT_NE(overlay, nullptr);
    varnolet::MeasureController &measure = overlay->controller();
    EXPECT_EQ(measure.pictureSize(), QSize(640, 480));
    EXPECT_EQ(measure.camera(), "usb:046d:0825"); // the fake USB identity, no serial
    ASSERT_TRUE(measure.calibrate(452.0, 1.0, varnolet::LengthUnit::Millimetre, "10x"));
    EXPECT_TRUE(varnolet::test::fileExists(CaptureViewMeasure::storePath(paths())));
    measure.setTool(varnolet::Measurement::Tool::Line);
    QTest::mouseClick(overlay, Qt::LeftButton, {},
                      overlay->fromPicture(QPointF(90, 150)).toPoint());
    QTest::mouseClick(overlay, Qt::LeftButton, {},
                      overlay->fromPicture(QPointF(250, 170)).toPoint());
    ASSERT_EQ(measure.scene().measurements.size(), 1u);
    measure.setTool(std::nullopt);
    measure.setBurnIn(true);
    varnolet::test::processEventsFor(150ms);
    screenshot("measuring");

    QTest::mouseClick(window.button(Control::TakePhoto), Qt::LeftButton);
    ASSERT_TRUE(varnolet::test::processEventsUntil([&] { return !m_controller->bTakePhoto(); }));
    m_controller->setMIsHandwareTrigger(true);
    ASSERT_TRUE(varnolet::test::processEventsUntil([&] { return photos().size() == 2; }));
    const double perCentimetre = 10000.0 / measure.scene().micrometresPerPixel;
    for (const std::string &photo : photos()) {
        const QJsonObject tags = varnolet::test::exiftoolTags(photo);
        EXPECT_NEAR(tags.value("IFD0:XResolution").toDouble(), perCentimetre, 1e-3) << photo;
        EXPECT_EQ(tags.value("IFD0:ResolutionUnit").toInt(), 3) << photo;
        EXPECT_EQ(tags.value("JFIF:ResolutionUnit").toInt(), 2) << photo;
        EXPECT_TRUE(tags.value("IFD0:ImageDescription")
                        .toString()
                        .endsWith(QStringLiteral("\u00b5m per pixel, preset 10x")))
            << photo;
    }
}
