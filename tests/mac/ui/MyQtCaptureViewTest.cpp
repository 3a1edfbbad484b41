#include "mac/ui/MyQtCaptureView.h"
#include "tests/platform/media/TestFrames.h"

#include <gtest/gtest.h>

#include <memory>

using varnolet::test::makeTestFrame;

// The picture on screen at any painted size: enlarged, shrunk, at its own size, or stretched
// one way and squeezed the other. Red above blue as seen, the green bar where the frame has
// it, and black bars beside a picture that keeps its shape.
TEST(MyQtCaptureView, PaintsThePictureUprightWhetherEnlargedShrunkOrAtItsOwnSize)
{
    struct Case
    {
        QSize frame;
        QSize view;
        bool keepShape;
    };
    const Case cases[] = {
        {{64, 48}, {200, 150}, false}, // enlarged
        {{200, 150}, {64, 48}, false}, // shrunk
        {{80, 60}, {80, 60}, false},   // its own size
        {{64, 48}, {300, 150}, true},  // enlarged, with bars left and right
        {{64, 48}, {150, 40}, false},  // wider but lower: left to the painter
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.frame.width() << "x" << c.frame.height() << " in "
                                        << c.view.width() << "x" << c.view.height());
        auto frame = std::make_shared<varnolet::BgrImage>();
        frame->width = c.frame.width();
        frame->height = c.frame.height();
        frame->bottomUp = true;
        frame->pixels = makeTestFrame(frame->width, frame->height, 1); // bar at columns 8..15
        MyQtCaptureView view;
        view.resize(c.view);
        view.setKeepAspectRatio(c.keepShape);
        view.setFrame(frame);
        const QImage image = view.grab().toImage();
        const QRect picture = view.pictureRect();
        ASSERT_TRUE(picture.isValid());
        const auto at = [&](double x, double y) {
            return image.pixelColor(picture.x() + static_cast<int>(x * picture.width()),
                                    picture.y() + static_cast<int>(y * picture.height()));
        };
        EXPECT_GT(at(0.75, 0.2).red(), 200);
        EXPECT_LT(at(0.75, 0.2).blue(), 50);
        EXPECT_GT(at(0.75, 0.8).blue(), 200);
        EXPECT_LT(at(0.75, 0.8).red(), 50);
        const double barMiddle = 12.0 / frame->width;
        EXPECT_GT(at(barMiddle, 0.5).green(), 180);
        if (c.keepShape) {
            EXPECT_GT(picture.x(), 0);
            EXPECT_EQ(image.pixelColor(picture.x() / 2, c.view.height() / 2), QColor(Qt::black));
        }
    }
}
