// Camera: the frustum maths, free of OpenGL (the view is in CameraView.cpp).
#include "render/Camera.h"

#include <cmath>

namespace {

const float DegreesToRadians = 0.017453292f;

struct Vec3 {
    float x, y, z;
};
inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vec3 Cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 Load(const float v[3]) { return {v[0], v[1], v[2]}; }

} // namespace

Camera::Camera(float x, float y, float z, float fov, float zNear, float zFar, float aspect)
    : position{x, y, z}, yaw(0), pitch(0), direction{0, 0, 0}, fov(fov), zNear(zNear), zFar(zFar)
{
    UpdateFrustum(aspect);
}

void Camera::UpdateFrustum(float aspect)
{
    const float a = (yaw + 90) * DegreesToRadians;
    const float b = (90 - pitch) * DegreesToRadians;
    const float e = -pitch * DegreesToRadians;

    const Vec3 D = {std::sin(b) * std::cos(a), std::sin(a) * std::sin(b), std::cos(b)};
    direction[0] = D.x;
    direction[1] = D.y;
    direction[2] = D.z;
    const Vec3 U = {std::sin(e) * std::cos(a), std::sin(e) * std::sin(a), std::cos(e)};
    const Vec3 R = Cross(D, U);

    const Vec3 p = Load(position);
    const Vec3 nc = p + D * zNear;
    const Vec3 fc = p + D * zFar;
    const float t = std::tan(fov * DegreesToRadians * 0.5f);
    const float hN = zNear * t, hF = zFar * t;
    const float wN = hN * aspect, wF = hF * aspect;

    const Vec3 ntl = nc + U * hN - R * wN, ntr = nc + U * hN + R * wN;
    const Vec3 nbl = nc - U * hN - R * wN, nbr = nc - U * hN + R * wN;
    const Vec3 ftl = fc + U * hF - R * wF, ftr = fc + U * hF + R * wF;
    const Vec3 fbl = fc - U * hF - R * wF, fbr = fc - U * hF + R * wF;

    const Vec3 corners[6][3] = {
        {nbr, ntr, ntl}, {fbl, ftl, ftr}, {ftl, ntl, ntr}, {fbr, nbr, nbl}, {fbl, nbl, ntl}, {fbr, ntr, nbr},
    };
    for (int i = 0; i < 6; ++i)
        planes[i] = FromPoints(&corners[i][0].x, &corners[i][1].x, &corners[i][2].x);
}

FrustumPlane Camera::FromPoints(const float p1[3], const float p2[3], const float p3[3])
{
    const Vec3 a = Load(p1), b = Load(p2), c = Load(p3);
    const Vec3 u = c - b, v = a - b;
    const Vec3 cross = Cross(v, u);
    const Vec3 n = cross * (1 / std::sqrt(Dot(cross, cross)));
    FrustumPlane plane;
    plane.normal[0] = n.x;
    plane.normal[1] = n.y;
    plane.normal[2] = n.z;
    plane.point[0] = b.x;
    plane.point[1] = b.y;
    plane.point[2] = b.z;
    plane.d = -Dot(n, b);
    return plane;
}

FrustumResult Camera::ClassifyBox(float x0, float y0, float z0, float x1, float y1, float z1) const
{
    const Vec3 corners[8] = {{x0, y0, z0}, {x0, y1, z0}, {x1, y0, z0}, {x1, y1, z0},
                             {x0, y1, z1}, {x1, y0, z1}, {x0, y0, z1}, {x1, y1, z1}};
    FrustumResult result = Inside;
    for (const FrustumPlane& plane : planes) {
        const Vec3 n = Load(plane.normal);
        int in = 0, out = 0;
        for (int c = 0; c < 8 && (in == 0 || out == 0); ++c) {
            if (Dot(n, corners[c]) + plane.d < 0)
                ++out;
            else
                ++in;
        }
        if (in == 0)
            return Outside;
        if (out != 0)
            result = Intersect;
    }
    return result;
}
