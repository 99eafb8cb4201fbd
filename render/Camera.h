// Camera: the viewer's pose, its view transform and its six frustum planes.
// Angles in degrees; z up; yaw 0 and pitch 0 look along +y.
#pragma once

struct FrustumPlane {
    float point[3] = {0, 0, 0};
    float normal[3] = {0, 0, 0};
    float d = 0;
};

enum FrustumResult { Inside = 7, Outside = 8, Intersect = 9 };

// Width over height of the current video mode (4/3 when there is none).
float VideoAspect();

class Camera {
public:
    float position[3];
    float yaw;
    float pitch;
    float direction[3];
    FrustumPlane planes[6]; // near, far, top, bottom, left, right
    float fov;
    float zNear;
    float zFar;

    // Loads the projection for the current video mode and computes the frustum.
    Camera(float x, float y, float z, float fov, float zNear, float zFar);
    // The same pose without touching OpenGL, for a given aspect ratio.
    Camera(float x, float y, float z, float fov, float zNear, float zFar, float aspect);

    // Loads the view transform into the OpenGL modelview matrix.
    void ApplyView() const;
    // Recomputes direction and planes for the current video mode.
    void UpdateFrustum();
    // Recomputes direction and planes for a given aspect ratio.
    void UpdateFrustum(float aspect);
    // Outside when all eight corners lie behind one plane, Inside when all lie
    // on the inner side of every plane (on a plane counts as inside),
    // otherwise Intersect.
    FrustumResult ClassifyBox(float x0, float y0, float z0, float x1, float y1, float z1) const;
    // The plane through p1, p2, p3 (point = p2), normal (p1 - p2) x (p3 - p2) normalised.
    static FrustumPlane FromPoints(const float p1[3], const float p2[3], const float p3[3]);
};
