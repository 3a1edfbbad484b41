// Pictures of the resource browser showing photos and movies, saved under
// $VARNOLET_SCREENSHOT_DIR (default /tmp/varnolet-screenshots) as mac-browser.png for the
// documentation: the photo folder on the left, the movie folder on the right. Each grab is
// checked for what a reader relies on: thumbnails drawn, badges on the movies.
#include <cmath>
#include <cstdlib>
#include <random>

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QRadialGradient>
#include <QScrollArea>
#include <QTreeView>

#include "BrowserFiles.h"
#include "mac/core/AppControllerSettings.h"
#include "mac/ui/FileBrowserView.h"
#include "mac/ui/MyResourcesTreeController.h"
#include "mac/ui/ResourceBrowserPane.h"
#include "tests/platform/media/ExifBlock.h"
#include "tests/support/TestSupport.h"

using varnolet::test::TempFolder;

namespace {

// A microscope-like picture: a lit disc of cells on a dark field.
QImage specimen(int width, int height, unsigned seed, QColor stain)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(18, 16, 22));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QRadialGradient light(width / 2.0, height / 2.0, std::min(width, height) * 0.55);
    light.setColorAt(0, QColor(250, 246, 236));
    light.setColorAt(0.85, QColor(210, 200, 190));
    light.setColorAt(1, QColor(18, 16, 22));
    painter.setBrush(light);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPointF(width / 2.0, height / 2.0), std::min(width, height) * 0.55,
                        std::min(width, height) * 0.55);
    std::minstd_rand random(seed);
    for (int i = 0; i < 40; ++i) {
        const double r = 8 + random() % 28;
        const double a = (random() % 628) / 100.0;
        const double d = (random() % 100) / 100.0 * std::min(width, height) * 0.45;
        const QPointF c(width / 2.0 + d * std::cos(a), height / 2.0 + d * std::sin(a));
        painter.setBrush(QColor(stain.red(), stain.green(), stain.blue(), 150));
        painter.setPen(QPen(stain.darker(160), 2));
        painter.drawEllipse(c, r, r * 0.8);
        painter.setBrush(stain.darker(220));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(c, r * 0.3, r * 0.3);
    }
    return image;
}

int badgeRows(const QImage &shot, const FileBrowserView &strip, QPoint offset)
{
    int count = 0;
    for (const auto &[name, rect] : strip.drawingResourcesItems()) {
        if (!FileBrowserView::isMovieFile(name))
            continue;
        // The shipped badge is a light round sign on a dark disc: look for its light part.
        const QPoint inside(offset.x() + static_cast<int>(rect.rc.origin.x) + 16,
                            offset.y() + static_cast<int>(rect.rc.origin.y) + 16);
        if (qGray(shot.pixel(inside)) > 200 || qGray(shot.pixel(inside)) < 120)
            ++count;
    }
    return count;
}

} // namespace

TEST(BrowserScreenshotTest, PhotosAndMoviesByFolder)
{
    const char *runtime = std::getenv("VARNOLET_RUNTIME_DIR");
    const std::string resources = std::string(runtime ? runtime : "") + "/Contents/Resources";
    if (!QFileInfo::exists(QString::fromStdString(resources + "/Player.png")))
        GTEST_SKIP() << "the bundle layout is not built";

    TempFolder temp;
    const std::string root = temp.path() + "/Varnolet";
    temp.makeFolder("Varnolet/Single Shots/000");
    temp.makeFolder("Varnolet/Single Shots/001");
    temp.makeFolder("Varnolet/Timed Shots/000");
    temp.makeFolder("Varnolet/Movies/000");
    const QColor stains[] = {QColor(170, 60, 150), QColor(60, 120, 190), QColor(200, 120, 40),
                             QColor(90, 160, 80)};
    for (int i = 0; i < 5; ++i) {
        const bool tall = i == 2;
        const QImage picture = specimen(tall ? 480 : 640, tall ? 640 : 480, 7 + i, stains[i % 4]);
        std::vector<uint8_t> jpeg = browsertest::encodeJpeg(picture);
        if (i == 3) // a photo turned in an editor: stored sideways, shown upright
            jpeg = varnolet::test::withExif(
                browsertest::encodeJpeg(picture.transformed(QTransform().rotate(-90))), 6);
        browsertest::writeBytes(
            root + "/Single Shots/001/SingleShot100" + std::to_string(i) + ".jpg", jpeg);
    }
    for (int i = 0; i < 3; ++i)
        browsertest::writeMovie(root + "/Movies/000/Movie000" + std::to_string(i) + ".mov",
                                specimen(320, 240, 40 + i, stains[(i + 1) % 4]), 2);

    AppControllerSettings settings{varnolet::SystemPaths::fromEnvironment()};
    settings.usingSettingParam().setIsAutoCreatingResourcesFolder(true);
    ResourceBrowserPane pane(&settings, nullptr, resources);
    pane.resize(420, 460);
    pane.setSizes({200, 220});
    pane.show();
    MyResourcesTreeController &tree = *pane.treeController();
    tree.showResourcesTree(root);
    // As after a save: the folder selected, the strip at its end.
    tree.addResource(root + "/Single Shots/001/SingleShot1004.jpg");
    QApplication::processEvents();
    pane.grab();
    ASSERT_TRUE(pane.fileBrowserView()->waitForThumbnails(std::chrono::seconds(20)));
    const QImage photos = pane.grab().toImage();
    const FileBrowserView &strip = *pane.fileBrowserView();
    EXPECT_EQ(strip.getFilesCount(), 5);
    EXPECT_GE(strip.drawingResourcesItems().size(), 3u);

    tree.addResource(root + "/Movies/000/Movie0002.mov");
    QApplication::processEvents();
    pane.fileBrowserScrollView()->ensureVisible(0, 0);
    QApplication::processEvents();
    pane.grab();
    ASSERT_TRUE(pane.fileBrowserView()->waitForThumbnails(std::chrono::seconds(20)));
    const QImage movies = pane.grab().toImage();
    EXPECT_EQ(strip.getFilesCount(), 3);
    ASSERT_EQ(strip.drawingResourcesItems().size(), 3u);
    const QPoint stripOffset = pane.fileBrowserView()->mapTo(&pane, QPoint(0, 0));
    EXPECT_EQ(badgeRows(movies, strip, stripOffset), 3);

    QImage both(photos.width() * 2 + 8, photos.height(), QImage::Format_RGB32);
    both.fill(QColor(90, 90, 90));
    QPainter painter(&both);
    painter.drawImage(0, 0, photos);
    painter.drawImage(photos.width() + 8, 0, movies);
    painter.end();
    const QString file = varnolet::test::screenshotPath("mac-browser.png");
    EXPECT_TRUE(both.save(file));
}
