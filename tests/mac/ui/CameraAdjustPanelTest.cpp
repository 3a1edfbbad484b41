#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include <chrono>
#include <thread>

#include "platform/system/Clock.h"
#include "mac/core/AppControllerSettings.h"
#include "mac/ui/CameraAdjustPanel.h"
#include "platform/system/SystemPaths.h"
#include "tests/mac/uvc/CameraFixture.h"
#include "tests/support/ProgramFolderPaths.h"
#include "tests/support/TestSupport.h"

using namespace uvctest;

namespace {

constexpr AdjustField kAll[] = {AdjustField::Brightness, AdjustField::Hub, AdjustField::Saturation,
                                AdjustField::Sharpness, AdjustField::Contrast};

// A panel bound to a camera control whose camera was opened and read.
class CameraAdjustPanelTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_camera = makeCamera(kLocation, false, {0, 51, -90, 100, 7});
        m_control = makeControl({m_camera});
        m_panel = std::make_unique<CameraAdjustPanel>(*m_control);
        ASSERT_TRUE(m_control->initWithLocationID(kLocation));
        m_control->clearDefaultValue();
        m_control->getDefaultValue();
    }
    void TearDown() override
    {
        m_panel.reset();
        m_control.reset();
    }
    // The user types the text and leaves the field.
    void enter(QLineEdit *field, const QString &text)
    {
        field->setText(text);
        field->setModified(true);
        emit field->editingFinished();
    }

    std::shared_ptr<FakeUsbCamera> m_camera;
    std::unique_ptr<UVCCameraControl> m_control;
    std::unique_ptr<CameraAdjustPanel> m_panel;
};

} // namespace

TEST_F(CameraAdjustPanelTest, OpeningValuesFillSlidersAndFields)
{
    EXPECT_FALSE(m_panel->isModal());
    EXPECT_EQ(m_panel->sliderBrightness->value(), 500);
    EXPECT_EQ(m_panel->textBrightness->text(), "0.5");
    EXPECT_EQ(m_panel->sliderContrast->value(), 200);
    EXPECT_EQ(m_panel->textContrast->text(), "0.2");
    EXPECT_EQ(m_panel->sliderHub->value(), 250);
    EXPECT_EQ(m_panel->textHub->text(), "0.25");
    EXPECT_EQ(m_panel->sliderSaturation->value(), 1000);
    EXPECT_EQ(m_panel->textSharpness->text(), "1");
    EXPECT_EQ(m_panel->labHub->text(), "Hub:");
    EXPECT_EQ(m_panel->btnSetDefault->text(), "Set Default");
}

TEST_F(CameraAdjustPanelTest, MovingASliderSetsTheCameraAndTheField)
{
    m_camera->clearRequests();
    m_panel->sliderBrightness->setValue(750);
    EXPECT_EQ(m_camera->control(3, 0x02).cur, 32);
    EXPECT_FLOAT_EQ(m_control->getBrightness(), 0.75f);
    EXPECT_EQ(m_panel->textBrightness->text(), "0.75");
    EXPECT_EQ(m_camera->requests().size(), 1u);

    m_panel->sliderHub->setValue(1000);
    EXPECT_EQ(m_camera->control(3, 0x06).cur, 180);
    EXPECT_EQ(m_panel->textHub->text(), "1");
}

TEST_F(CameraAdjustPanelTest, ARefusedValueSnapsBack)
{
    m_camera->setControl(3, 0x07, {0, 100, 100, 0, UsbError::kPipe});
    m_panel->sliderSaturation->setValue(100);
    EXPECT_EQ(m_panel->sliderSaturation->value(), 1000);
    EXPECT_EQ(m_panel->textSaturation->text(), "1");
    enter(m_panel->textSaturation, "0.3");
    EXPECT_EQ(m_panel->textSaturation->text(), "1");
    EXPECT_FLOAT_EQ(m_control->getSaturation(), 1.0f);
}

TEST_F(CameraAdjustPanelTest, TypedValuesAreSentAndBadOnesPutBack)
{
    enter(m_panel->textBrightness, "0.999");
    EXPECT_EQ(m_camera->control(3, 0x02).cur, 63);
    EXPECT_EQ(m_panel->sliderBrightness->value(), 999);

    m_camera->clearRequests();
    for (const char *bad : {"abc", "1.5", "-0.2", ""}) {
        enter(m_panel->textBrightness, bad);
        EXPECT_EQ(m_panel->textBrightness->text(), "0.999") << bad;
    }
    EXPECT_TRUE(m_camera->requests().empty());
}

TEST_F(CameraAdjustPanelTest, CancelAfterMovingAllFiveSendsTheOpeningValues)
{
    QObject::connect(m_panel.get(), &CameraAdjustPanel::cancelClicked, m_panel.get(), [this] {
        m_control->setPreValue();
        m_panel->close();
    });
    m_panel->show();
    for (AdjustField field : kAll)
        m_panel->slider(field)->setValue(10);
    m_camera->clearRequests();
    m_panel->btnCancel->click();

    const std::vector<std::pair<int, int>> expected = {
        {0x08, 7}, {0x07, 100}, {0x03, 51}, {0x02, 0}, {0x06, -90}};
    EXPECT_EQ(setRequests(*m_camera), expected);
    EXPECT_EQ(m_panel->sliderContrast->value(), 200);
    EXPECT_EQ(m_panel->textHub->text(), "0.25");
    EXPECT_FALSE(m_panel->isVisible());
}

TEST_F(CameraAdjustPanelTest, ButtonsAreSignals)
{
    QSignalSpy ok(m_panel.get(), &CameraAdjustPanel::okClicked);
    QSignalSpy cancel(m_panel.get(), &CameraAdjustPanel::cancelClicked);
    QSignalSpy setDefault(m_panel.get(), &CameraAdjustPanel::setDefaultClicked);
    m_panel->btnOk->click();
    m_panel->btnSetDefault->click();
    m_panel->btnSetDefault->click();
    EXPECT_EQ(ok.count(), 1);
    EXPECT_EQ(cancel.count(), 0);
    EXPECT_EQ(setDefault.count(), 2);
}

TEST_F(CameraAdjustPanelTest, TextsComeFromTheLanguageFile)
{
    varnolet::test::TempFolder bundle;
    bundle.write("Contents/Resources/" + AppControllerSettings::getLocalizedFolder(3) +
                     "/Localizable.strings",
                 "\"ui_adjust_lab_brightness\" = \"Helligkeit:\";\n"
                 "\"ui_adjust_btn_setdefault\" = \"Standardwerte wiederherstellen\";\n"
                 "\"ui_dlg_adjust\" = \"Kameraeinstellung\";\n");
    AppControllerSettings settings(varnolet::test::withProgramFolder(bundle.path() + "/"));
    settings.usingSettingParam().setLanuageSelector(3);
    m_control->changedLanuage(settings, 3);

    EXPECT_EQ(m_panel->labBrightness->text(), "Helligkeit:");
    EXPECT_EQ(m_panel->btnSetDefault->text(), "Standardwerte wiederherstellen");
    EXPECT_EQ(m_panel->labContrast->text(), "Contrast:"); // missing key: built-in text
    EXPECT_EQ(m_panel->btnOk->text(), "Ok");
    EXPECT_EQ(m_panel->windowTitle(), "Kameraeinstellung");

    // Nothing clipped: every label and button gets at least the width its text needs.
    m_panel->show();
    QApplication::processEvents();
    for (AdjustField field : kAll)
        EXPECT_GE(m_panel->label(field)->width(), m_panel->label(field)->sizeHint().width());
    for (QPushButton *button : {m_panel->btnOk, m_panel->btnCancel, m_panel->btnSetDefault})
        EXPECT_GE(button->width(), button->sizeHint().width());
}

TEST_F(CameraAdjustPanelTest, Screenshot)
{
    m_panel->show();
    QApplication::processEvents();
    const QImage image = m_panel->grab().toImage();
    EXPECT_GE(image.width(), m_panel->sizeHint().width());
    EXPECT_GE(image.height(), m_panel->sizeHint().height());
    EXPECT_TRUE(image.save(varnolet::test::screenshotPath("mac-adjust-panel.png")));
}

TEST_F(CameraAdjustPanelTest, APanelGoneIsNoLongerFilled)
{
    m_panel.reset();
    EXPECT_EQ(m_control->adjustView(), nullptr);
    EXPECT_TRUE(m_control->setBrightness(0.25f));
}

TEST_F(CameraAdjustPanelTest, ReturnInAFieldAppliesItsValueAndKeepsThePanelOpen)
{
    QSignalSpy ok(m_panel.get(), &CameraAdjustPanel::okClicked);
    QObject::connect(m_panel.get(), &CameraAdjustPanel::okClicked, m_panel.get(), &QWidget::close);
    m_panel->show();
    m_panel->activateWindow();
    m_panel->textBrightness->setFocus();
    m_panel->textBrightness->selectAll();
    m_camera->clearRequests();
    QTest::keyClicks(m_panel->textBrightness, "0.75");
    QTest::keyClick(m_panel->textBrightness, Qt::Key_Return);
    EXPECT_EQ(m_camera->control(3, 0x02).cur, 32);
    EXPECT_EQ(m_panel->sliderBrightness->value(), 750);
    EXPECT_EQ(ok.count(), 0);
    EXPECT_TRUE(m_panel->isVisible());

    // Return again, and leaving the field, with the text unchanged: nothing is sent.
    QTest::keyClick(m_panel->textBrightness, Qt::Key_Return);
    m_panel->textContrast->setFocus();
    EXPECT_EQ(m_camera->requests().size(), 1u);
    EXPECT_TRUE(m_panel->isVisible());
}

TEST(CameraAdjustPanelSlowCameraTest, ASlowCameraDoesNotHoldUpTheWindow)
{
    using namespace std::chrono;
    auto camera = makeCamera(kLocation, false, {0, 51, -90, 100, 7});
    UVCCameraControl control(std::make_unique<FakeUsbBackend>(std::vector{camera}),
                             std::make_shared<varnolet::SystemClock>(),
                             UVCCameraControl::PanelRequests::OnRequestThread);
    CameraAdjustPanel panel(control);
    ASSERT_TRUE(control.initWithLocationID(kLocation));
    control.clearDefaultValue();
    control.getDefaultValue();
    panel.show();
    camera->setRequestDelay(milliseconds(150));
    camera->clearRequests();

    // Set Default after the user moved two sliders: three requests queued at most, each
    // answered 150 ms later, while the window goes on.
    const auto started = steady_clock::now();
    panel.sliderBrightness->setValue(900);
    for (int position = 100; position <= 900; position += 100)
        panel.sliderContrast->setValue(position);
    control.setDefaultValue();
    const auto queued = steady_clock::now() - started;
    EXPECT_LT(queued, milliseconds(100)) << "the clicks returned before the camera answered";
    EXPECT_EQ(panel.sliderContrast->value(), 900) << "the slider stays where it was put";

    ASSERT_TRUE(control.waitForPanelRequests(seconds(10)));
    ASSERT_TRUE(varnolet::test::processEventsUntil([&] {
        return panel.sliderContrast->value() == 200 && panel.sliderBrightness->value() == 500;
    }));
    // The contrast values the slider passed on its way were dropped while they waited; the
    // five defaults went in the order asked (a brightness already on its way goes first).
    const std::vector<std::pair<int, int>> sets = setRequests(*camera);
    ASSERT_GE(sets.size(), 5u);
    EXPECT_LE(sets.size(), 6u);
    const std::vector<std::pair<int, int>> defaults = {
        {0x08, 7}, {0x07, 100}, {0x03, 51}, {0x02, 0}, {0x06, -90}};
    EXPECT_EQ(std::vector(sets.end() - 5, sets.end()), defaults);
    for (const FakeUsbCamera::Request &request : camera->requests())
        EXPECT_NE(request.thread, std::this_thread::get_id());
    EXPECT_EQ(panel.textContrast->text(), "0.2");
    EXPECT_FLOAT_EQ(control.getBrightness(), 0.5f);

    // Closing the camera drops what still waits.
    camera->clearRequests();
    panel.sliderSaturation->setValue(0);
    panel.sliderSharpness->setValue(0);
    panel.sliderHub->setValue(0);
    control.releaseControl();
    EXPECT_LE(setRequests(*camera).size(), 1u);
    varnolet::test::processEventsFor(milliseconds(50));
    EXPECT_FLOAT_EQ(control.getSaturation(), 1.0f) << "no answer for a closed camera";
}
