#include "tests/mac/ui/PanelTestSupport.h"

#include <atomic>
#include <set>
#include <thread>

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

#include "mac/ui/SettingsPanel.h"
#include "platform/system/ThreadName.h"

using panels_test::FakePanelHost;

// The capture thread names snapshot-button photos from the settings in force at any time,
// under the controller's lock; the panel changes them under the same lock.
TEST(SettingsPanelThreadsTest, CaptureThreadReadsWholeSettingsWhileThePanelChangesThem)
{
    FakePanelHost host;
    SettingsPanel panel(host);
    panel.updateValueToUI();
    const std::set<std::string> locations{host.folder("pictures"), host.folder("elsewhere")};

    std::atomic<bool> stop{false};
    std::atomic<int> reads{0};
    std::set<std::string> seen;
    std::thread capture([&] {
        varnolet::ThreadName::set("capture");
        while (!stop) {
            std::lock_guard lock(host.lock);
            const SettingParams &using_ = host.view();
            seen.insert(using_.resourcesSavingLocation());
            (void)using_.isAutoCreatingResourcesFolder();
            (void)using_.currentShotsTimedShotSetting().nCurrentValueForTimedShot;
            ++reads;
        }
    });

    for (int round = 0; round < 40; ++round) {
        panel.resourcesSavingLocationTextField->setText(
            QString::fromStdString(round % 2 ? host.folder("pictures") : host.folder("elsewhere")));
        panel.mAutoCreatingFolderComboBox->setCurrentIndex(round % 2);
        panel.lShotsTakingPreHourRadioCell->click();
        EXPECT_TRUE(panel.applySetting()) << round;
        panel.updateValueToUI();
        panel.setDefaultSetting();
        emit panel.languageComboBox->activated(round % 8);
        panel.lTimesOfTakingDayRaidoCell->click();
        panel.cancelSetting();
        panel.updateValueToUI();
    }
    // Let the reader run at least a little alongside the changes.
    while (reads < 10)
        std::this_thread::yield();
    stop = true;
    capture.join();

    for (const std::string &location : seen)
        EXPECT_TRUE(locations.count(location)) << location;
    EXPECT_EQ(host.view().resourcesSavingLocation(), host.folder("pictures"));
}
