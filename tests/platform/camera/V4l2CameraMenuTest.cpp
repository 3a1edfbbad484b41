#include "platform/camera/V4l2Camera.h"

#include <climits>

#include <gtest/gtest.h>

using varnolet::V4l2Camera;

TEST(V4l2CameraMenuTest, MenuIndicesStopAtTheMaximumWithoutWrappingAndStayFew)
{
    EXPECT_EQ(V4l2Camera::menuIndices(0, 3), (std::vector<int32_t>{0, 1, 2, 3}));
    EXPECT_TRUE(V4l2Camera::menuIndices(5, 4).empty());
    // A driver reporting INT32_MAX: the loop ends, and after a bounded number of queries.
    EXPECT_EQ(V4l2Camera::menuIndices(INT32_MAX - 1, INT32_MAX),
              (std::vector<int32_t>{INT32_MAX - 1, INT32_MAX}));
    const auto many = V4l2Camera::menuIndices(0, INT32_MAX);
    ASSERT_EQ(many.size(), static_cast<size_t>(V4l2Camera::kMaxMenuItems));
    EXPECT_EQ(many.back(), V4l2Camera::kMaxMenuItems - 1);
    EXPECT_EQ(V4l2Camera::menuIndices(INT32_MIN, INT32_MIN + 1).size(), 2u);
}
