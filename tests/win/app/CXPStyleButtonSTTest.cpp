#include "win/app/CThemeHelperST.h"
#include "win/app/CXPStyleButtonST.h"

#include <gtest/gtest.h>

#include <QImage>

#include "tests/support/TestSupport.h"

TEST(ImageButtonTest, FitKeepsTheAspectRatioAndCentres)
{
    EXPECT_EQ(CXPStyleButtonST::FitRectangle(QSize(100, 50), QRect(0, 0, 64, 64)),
              QRect(0, 16, 64, 32));
    EXPECT_EQ(CXPStyleButtonST::FitRectangle(QSize(20, 40), QRect(10, 10, 60, 60)),
              QRect(25, 10, 30, 60));
    EXPECT_EQ(CXPStyleButtonST::FitRectangle(QSize(8, 8), QRect(0, 0, 64, 32)),
              QRect(16, 0, 32, 32));
    EXPECT_TRUE(CXPStyleButtonST::FitRectangle(QSize(), QRect(0, 0, 64, 32)).isEmpty());
}

TEST(ImageButtonTest, DrawsThePictureScaledWithoutCaptionAndTheTextIsATooltip)
{
    varnolet::test::TempFolder folder;
    QImage wide(40, 20, QImage::Format_RGB32);
    wide.fill(qRgb(200, 0, 0));
    const QString path = QString::fromStdString(folder.file("Wide.png"));
    ASSERT_TRUE(wide.save(path));

    CThemeHelperST theme;
    CXPStyleButtonST button(1002, nullptr);
    button.SetThemeHelper(&theme, theme.IsAppThemed());
    ASSERT_TRUE(button.SetImageFile(path));
    button.SetTooltipText(QStringLiteral("Take a Photo"));
    button.resize(66, 66);
    const QImage shot = button.grab().toImage();

    EXPECT_TRUE(button.text().isEmpty());
    EXPECT_EQ(button.toolTip(), QStringLiteral("Take a Photo"));
    // 60 x 60 inside the 3-pixel margin: the 2:1 picture is 60 x 30, centred.
    EXPECT_EQ(QColor(shot.pixel(33, 33)), QColor(200, 0, 0));
    EXPECT_EQ(QColor(shot.pixel(5, 25)), QColor(200, 0, 0));
    EXPECT_NE(QColor(shot.pixel(33, 10)), QColor(200, 0, 0));
    EXPECT_NE(QColor(shot.pixel(33, 56)), QColor(200, 0, 0));

    // Disabled: the picture is greyed.
    button.setEnabled(false);
    const QImage greyed = button.grab().toImage();
    EXPECT_NE(QColor(greyed.pixel(33, 33)), QColor(200, 0, 0));
    const QColor g(greyed.pixel(33, 33));
    EXPECT_LE(std::abs(g.red() - g.green()), 2);
}

TEST(ImageButtonTest, AMissingPictureLeavesTheButtonEmpty)
{
    CXPStyleButtonST button(1065, nullptr);
    EXPECT_FALSE(button.SetImageFile(QStringLiteral("/nonexistent/Exit.png")));
    EXPECT_FALSE(button.HasImage());
    button.resize(40, 40);
    EXPECT_FALSE(button.grab().isNull());
}
