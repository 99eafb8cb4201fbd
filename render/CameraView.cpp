// Camera: the parts that talk to OpenGL and to the video mode.
#include "render/Camera.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "core/GameEngine.h"

float VideoAspect()
{
    const VideoSize size = CurrentVideoSize();
    if (size.h <= 0)
        return 4.0f / 3.0f;
    return static_cast<float>(size.w) / static_cast<float>(size.h);
}

Camera::Camera(float x, float y, float z, float fov, float zNear, float zFar)
    : position{x, y, z}, yaw(0), pitch(0), direction{0, 0, 0}, fov(fov), zNear(zNear), zFar(zFar)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(fov, VideoAspect(), zNear, zFar);
    glMatrixMode(GL_MODELVIEW);
    UpdateFrustum();
}

void Camera::UpdateFrustum()
{
    UpdateFrustum(VideoAspect());
}

void Camera::ApplyView() const
{
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(-90, 1, 0, 0);
    glRotatef(-pitch, 1, 0, 0);
    glRotatef(-yaw, 0, 0, 1);
    glTranslatef(-position[0], -position[1], -position[2]);
}
