// Picture2D: the 2D set-up shared by the splash and menu screens.
#include "render/Picture2D.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "core/GameEngine.h"

void SetPixelProjection()
{
    const VideoSize size = CurrentVideoSize();
    glViewport(0, 0, size.w, size.h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0, size.w, 0, size.h);
    glMatrixMode(GL_MODELVIEW);
}

void DrawPictureQuad(int x0, int y0, int w, int h)
{
    glBegin(GL_QUADS);
    glTexCoord2i(0, 0);
    glVertex3i(x0, y0 + h, 0);
    glTexCoord2i(0, 1);
    glVertex3i(x0, y0, 0);
    glTexCoord2i(1, 1);
    glVertex3i(x0 + w, y0, 0);
    glTexCoord2i(1, 0);
    glVertex3i(x0 + w, y0 + h, 0);
    glEnd();
}
