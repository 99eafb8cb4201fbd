// The camera's look direction and frustum classification.
#include <gtest/gtest.h>

#include <cmath>

#include "render/Camera.h"

namespace {

Camera StartPose() { return Camera(256, 256, 128, 80, 0.1f, 10000, 800.0f / 600.0f); }

// Which planes a point lies behind.
std::vector<int> PlanesBehind(const Camera& c, float x, float y, float z)
{
    std::vector<int> behind;
    for (int i = 0; i < 6; ++i) {
        const FrustumPlane& p = c.planes[i];
        if (p.normal[0] * x + p.normal[1] * y + p.normal[2] * z + p.d < 0)
            behind.push_back(i);
    }
    return behind;
}

} // namespace

TEST(Camera, DirectionFollowsYawAndPitch)
{
    Camera c = StartPose();
    EXPECT_NEAR(c.direction[0], 0, 1e-6);
    EXPECT_NEAR(c.direction[1], 1, 1e-6);
    EXPECT_NEAR(c.direction[2], 0, 1e-6);
    c.yaw = 90;
    c.UpdateFrustum(4.0f / 3);
    EXPECT_NEAR(c.direction[0], -1, 1e-6);
    EXPECT_NEAR(c.direction[1], 0, 1e-6);
    c.yaw = 0;
    c.pitch = 90;
    c.UpdateFrustum(4.0f / 3);
    EXPECT_NEAR(c.direction[2], 1, 1e-6);
}

TEST(Camera, PlanesSeparateTheExpectedRegions)
{
    const Camera c = StartPose();
    EXPECT_TRUE(PlanesBehind(c, 256, 306, 128).empty());
    EXPECT_EQ(PlanesBehind(c, 256, 306, 1000), (std::vector<int>{2}));       // top
    EXPECT_EQ(PlanesBehind(c, 256, 306, -1000), (std::vector<int>{3}));      // bottom
    EXPECT_EQ(PlanesBehind(c, -1000, 306, 128), (std::vector<int>{4}));      // left
    EXPECT_EQ(PlanesBehind(c, 2000, 306, 128), (std::vector<int>{5}));       // right
    EXPECT_EQ(PlanesBehind(c, 256, 256 + 10001, 128), (std::vector<int>{1})); // far
    EXPECT_EQ(PlanesBehind(c, 256, 255, 128), (std::vector<int>{0, 2, 3, 4, 5}));
    for (const FrustumPlane& p : c.planes)
        EXPECT_NEAR(p.normal[0] * p.normal[0] + p.normal[1] * p.normal[1] + p.normal[2] * p.normal[2], 1, 1e-5);
    // Half sizes of the frustum at the far plane: the far corners lie on the side planes.
    const float t = std::tan(80 * 0.017453292f * 0.5f);
    EXPECT_NEAR(t, 0.8391f, 1e-4);
    EXPECT_NEAR(c.planes[1].point[2] - 128, 8391.0f, 1.0f); // far top left corner height
}

TEST(Camera, ClassifyBox)
{
    const Camera c = StartPose();
    EXPECT_EQ(c.ClassifyBox(250, 200, 120, 260, 210, 130), Outside); // behind
    EXPECT_EQ(c.ClassifyBox(250, 250, 120, 260, 260, 130), Intersect); // contains the camera
    EXPECT_EQ(c.ClassifyBox(255, 300, 127, 257, 302, 129), Inside);
    EXPECT_EQ(c.ClassifyBox(-9000, 300, 120, -8000, 302, 130), Outside); // far left
    EXPECT_EQ(c.ClassifyBox(255, 300, 1000, 257, 302, 1100), Outside);   // far above

    // A plane through a box corner: build one from three chosen points.
    const float p1[3] = {0, 0, 0}, p2[3] = {1, 0, 0}, p3[3] = {0, 1, 0};
    const FrustumPlane up = Camera::FromPoints(p3, p2, p1); // (p3-p2) x (p1-p2) points +z
    EXPECT_NEAR(up.normal[2], 1, 1e-6);
    EXPECT_EQ(up.d, 0.0f);
    Camera touching = StartPose();
    for (FrustumPlane& p : touching.planes)
        p = up;
    EXPECT_EQ(touching.ClassifyBox(0, 0, 0, 1, 1, 1), Inside); // corners on the plane count in
    EXPECT_EQ(touching.ClassifyBox(0, 0, -1, 1, 1, 1), Intersect);
    EXPECT_EQ(touching.ClassifyBox(0, 0, -2, 1, 1, -1), Outside);
}
