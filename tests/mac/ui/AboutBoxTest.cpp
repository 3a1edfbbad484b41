#include "tests/mac/ui/PanelTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

#include "mac/ui/AboutBox.h"
#include "mac/ui/NSTextFieldClickable.h"
#include "mac/core/PropertyList.h"
#include "tests/support/LayoutChecks.h"

using panels_test::fileText;
using panels_test::runtimeFolder;
using varnolet::test::expectNoOverlap;
using varnolet::test::expectTextsFit;
using varnolet::test::TempFolder;

namespace {

std::string infoPlist(const std::vector<std::pair<std::string, std::string>> &keys)
{
    std::string xml = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>";
    for (const auto &[key, value] : keys)
        xml += "<key>" + key + "</key><string>" + value + "</string>";
    return xml + "</dict></plist>";
}

const std::vector<std::pair<std::string, std::string>> kComplete{
    {"Oem Compare Name", "Optik Werke GmbH"},
    {"Oem Produce Name", "Mikroskop Viewer"},
    {"Oem Compare Wibsite", "https://optik.example/viewer"},
    {"Oem Copyright", "(c) 2026 Optik Werke"},
    {"Oem Version", "2.0.7"}};

std::vector<std::pair<std::string, std::string>> without(const std::string &key)
{
    std::vector<std::pair<std::string, std::string>> keys;
    for (const auto &entry : kComplete)
        if (entry.first != key)
            keys.push_back(entry);
    return keys;
}

} // namespace

TEST(AboutBoxTest, InformationListFillsTheFields)
{
    TempFolder folder;
    AboutBox box;
    box.initAboutDlg(folder.write("info.plist", infoPlist(kComplete)));
    EXPECT_EQ(box.lProduceNameTextFiled->text(), "Mikroskop Viewer");
    EXPECT_EQ(box.compareNameTextField->text(), "Optik Werke GmbH");
    EXPECT_EQ(box.hyperlinkTextField->text(), "https://optik.example/viewer");
    EXPECT_EQ(box.lCopyRightTextField->text(), "(c) 2026 Optik Werke");
    EXPECT_EQ(box.lVersionTextField->text(), "2.0.7");

    // Without a web address the link is empty; the rest is shown.
    AboutBox noLink;
    noLink.initAboutDlg(folder.write("nolink.plist", infoPlist(without("Oem Compare Wibsite"))));
    EXPECT_EQ(noLink.hyperlinkTextField->text(), "");
    EXPECT_EQ(noLink.lVersionTextField->text(), "2.0.7");
}

TEST(AboutBoxTest, IncompleteOrMissingInformationKeepsTheBuiltInTexts)
{
    TempFolder folder;
    for (const char *missing :
         {"Oem Compare Name", "Oem Produce Name", "Oem Copyright", "Oem Version"}) {
        AboutBox box;
        box.initAboutDlg(folder.write("info.plist", infoPlist(without(missing))));
        EXPECT_EQ(box.lProduceNameTextFiled->text(), "Varnolet") << missing;
        EXPECT_EQ(box.compareNameTextField->text(), "") << missing;
        EXPECT_EQ(box.lVersionTextField->text(), "") << missing;
    }
    AboutBox unreadable;
    unreadable.initAboutDlg(folder.write("broken.plist", "<plist><dict><key>"));
    unreadable.initAboutDlg(folder.file("absent.plist"));
    EXPECT_EQ(unreadable.lProduceNameTextFiled->text(), "Varnolet");
}

TEST(AboutBoxTest, ShippedBundleFillsTheBoxAndTheLogo)
{
    const varnolet::SystemPaths bundle = varnolet::test::withProgramFolder(runtimeFolder() + "/");
    AboutBox box;
    box.initAboutDlg(bundle);
    box.initLogImage(bundle);

    const PropertyList info = PropertyList::readFile(runtimeFolder() + "/Contents/info.plist");
    EXPECT_EQ(box.lProduceNameTextFiled->text().toStdString(),
              PropertyList::stringValue(info.item("Oem Produce Name")).value_or("?"));
    EXPECT_EQ(box.lVersionTextField->text().toStdString(),
              PropertyList::stringValue(info.item("Oem Version")).value_or("?"));
    ASSERT_FALSE(box.mLogImage.isNull());
    EXPECT_EQ(box.mLogImage.size(), box.compareLogImageView->size());

    AboutBox noLogo;
    TempFolder folder;
    noLogo.initLogImage(folder.file("log.jpg"));
    EXPECT_TRUE(noLogo.mLogImage.isNull());
    EXPECT_TRUE(noLogo.compareLogImageView->pixmap().isNull());
}

TEST(AboutBoxTest, RunsModallyOverTheMainWindowUntilOkOrTheCloseBox)
{
    QWidget window;
    window.setGeometry(50, 60, 1200, 900);
    window.show();
    AboutBox box;
    for (const bool closeBox : {false, true}) {
        bool checked = false;
        QTimer::singleShot(0, [&] {
            checked = true;
            EXPECT_TRUE(box.isVisible());
            EXPECT_TRUE(box.isModal());
            const QRect frame = box.frameGeometry();
            EXPECT_EQ(frame.x(), window.frameGeometry().x() +
                                     (window.frameGeometry().width() - frame.width()) / 2);
            EXPECT_EQ(frame.y(), window.frameGeometry().y() +
                                     (window.frameGeometry().height() - frame.height()) / 2);
            if (closeBox)
                box.close();
            else
                box.mSureButtonForAboutDlg->click();
        });
        box.about(&window);
        EXPECT_TRUE(checked);
        EXPECT_FALSE(box.isVisible()) << closeBox;
    }
}

TEST(AboutBoxTest, ClickOnTheWebAddressOpensIt)
{
    TempFolder folder;
    AboutBox box;
    std::vector<QUrl> opened;
    box.setUrlOpener([&](const QUrl &url) { opened.push_back(url); });
    box.initAboutDlg(folder.write("info.plist", infoPlist(kComplete)));
    box.show();
    QTest::mouseClick(box.hyperlinkTextField, Qt::LeftButton);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl("https://optik.example/viewer"));

    QTest::mouseClick(box.lVersionTextField, Qt::LeftButton);
    box.hyperlinkTextField->clear();
    QTest::mouseClick(box.hyperlinkTextField, Qt::LeftButton);
    EXPECT_EQ(opened.size(), 1u) << "nothing to open";
}

TEST(AboutBoxTest, NoTextIsClippedInAnyLanguage)
{
    const varnolet::SystemPaths bundle = varnolet::test::withProgramFolder(runtimeFolder() + "/");
    for (int language = 0; language < 8; ++language) {
        const std::string folder = AppControllerSettings::getLocalizedFolder(language);
        AboutBox box;
        box.initAboutDlg(bundle);
        box.initLogImage(bundle);
        box.retitle(fileText(language, "ui_alert_ok"), fileText(language, "ui_dlg_about"));
        box.show();
        QApplication::processEvents();
        EXPECT_EQ(box.windowTitle().toStdString(), fileText(language, "ui_dlg_about"));
        expectTextsFit(box, folder);
        expectNoOverlap(box, folder);
        const QString picture = QDir::temp().filePath(
            QStringLiteral("mac-about-%1.png").arg(QString::fromStdString(folder)));
        EXPECT_TRUE(box.grab().save(picture));
    }
}
