#include <gtest/gtest.h>

#include <QLabel>

#include "mac/app/AppControllerSettings.h"
#include "mac/app/PlaceholderMainWindow.h"
#include "platform/system/SystemPaths.h"
#include "tests/support/TestSupport.h"

using varnolet::SystemPaths;
using varnolet::test::TempFolder;

TEST(PlaceholderMainWindowTest, TitledFromTheBundleInformation)
{
    TempFolder bundle;
    bundle.write("Contents/info.plist", "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                                        "<key>Oem Produce Name</key><string>Microscope Pro</string>"
                                        "</dict></plist>");
    SystemPaths::overrideProgramFolder(bundle.path() + "/");
    AppControllerSettings settings;
    settings.usingSettingParam().setResourcesSavingLocation("/data");
    PlaceholderMainWindow window(settings, true);
    SystemPaths::overrideProgramFolder("");
    window.show();
    EXPECT_EQ(window.windowTitle(), "Microscope Pro");
    auto *label = qobject_cast<QLabel *>(window.centralWidget());
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(label->text().contains("virtual camera"));
    EXPECT_TRUE(label->text().contains("/data/Varnolet"));
    EXPECT_TRUE(window.grab().save("/tmp/mac-core-placeholder.png"));

    PlaceholderMainWindow plain(settings, false); // no information list: the product name
    EXPECT_EQ(plain.windowTitle(), "Varnolet");
}
