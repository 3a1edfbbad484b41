#include "win/app/CAboutDlg.h"
#include "win/app/CPictureBox.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "tests/support/RecordingMessagePresenter.h"
#include "tests/support/TestSupport.h"
#include "win/common/AppServices.h"

using varnolet::test::processEventsUntil;

namespace {

class AboutDlgTest : public ::testing::Test
{
protected:
    // A logo of one colour at Resource/Image/log.bmp (found as "Resource/image/log.bmp").
    void writeLogo(int width, int height, QRgb colour)
    {
        m_program.makeFolder("Resource/Image");
        QImage logo(width, height, QImage::Format_RGB888);
        logo.fill(colour);
        ASSERT_TRUE(
            logo.save(QString::fromStdString(m_program.file("Resource/Image/log.bmp")), "BMP"));
    }

    varnolet::test::TempFolder m_program;
    AppServices m_services{varnolet::SystemPaths({.program = m_program.path() + "/"})};
    varnolet::MessageRecorder m_messages;
};

} // namespace

TEST_F(AboutDlgTest, ShowsTheFiveOemStringsAndTheLogo)
{
    m_services.Settings().LoadSettingsFrom(
        m_program.write("config.ini", "[oem]\ncompanyname=Hollenby Industries Ltd\n"
                                      "producename=Varnolet\n"
                                      "companywebsite=https://www.hollenby.example/\n"
                                      "copyright=© 2026 Hollenby\nversion=3.1.00\n"));
    writeLogo(100, 20, qRgb(0, 90, 200)); // 5:1, much wider than the box

    CAboutDlg about(m_services, m_messages.box());
    EXPECT_EQ(about.ProductName()->text(), QStringLiteral("Varnolet"));
    EXPECT_EQ(about.CompanyName()->text(), QStringLiteral("Hollenby Industries Ltd"));
    EXPECT_TRUE(about.WebSite()->text().contains(QStringLiteral("https://www.hollenby.example/")));
    EXPECT_EQ(about.Copyright()->text(), QStringLiteral("© 2026 Hollenby"));
    EXPECT_EQ(about.Version()->text(), QStringLiteral("3.1.00")); // as read, no prefix
    EXPECT_TRUE(about.Version()->alignment() & Qt::AlignRight);
    EXPECT_TRUE(about.ProductName()->alignment() & Qt::AlignHCenter);
    EXPECT_EQ(about.OkButton()->text(), QStringLiteral("确定"));
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About"));

    // The logo is stretched over the whole box: its corners show the logo, not white.
    EXPECT_EQ(about.Logo()->BitmapWidth(), 100);
    const QImage box = about.Logo()->grab().toImage();
    EXPECT_EQ(QColor(box.pixel(1, 1)), QColor(0, 90, 200));
    EXPECT_EQ(QColor(box.pixel(box.width() - 2, box.height() - 2)), QColor(0, 90, 200));
}

TEST_F(AboutDlgTest, NoLogoLeavesAWhiteBox)
{
    CAboutDlg about(m_services, m_messages.box(),
                    AboutTexts{QStringLiteral("Varnolet"), {}, {}, {}, QStringLiteral("3.1.00")},
                    nullptr);
    EXPECT_EQ(about.Logo()->BitmapWidth(), 0);
    const QImage box = about.Logo()->grab().toImage();
    EXPECT_EQ(QColor(box.pixel(box.width() / 2, box.height() / 2)), QColor(Qt::white));
}

TEST_F(AboutDlgTest, TheLinkOpensTheWebSite)
{
    CAboutDlg about(m_services, m_messages.box(),
                    AboutTexts{{}, {}, QStringLiteral("www.hollenby.example"), {}, {}}, nullptr);
    QUrl opened;
    about.SetLinkOpener([&](const QUrl &url) { opened = url; });
    emit about.WebSite()->linkActivated(QStringLiteral("www.hollenby.example"));
    EXPECT_EQ(opened.host(), QStringLiteral("www.hollenby.example"));
}

TEST_F(AboutDlgTest, EnterIsSwallowedOkAndEscapeClose)
{
    CAboutDlg about(m_services, m_messages.box(), AboutTexts{}, nullptr);
    about.show();
    processEventsUntil([&] { return about.isVisible(); });
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(&about, &enter);
    EXPECT_TRUE(about.isVisible());
    about.OkButton()->click();
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.result(), QDialog::Accepted);

    about.show();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&about, &escape);
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.result(), QDialog::Rejected);
}
