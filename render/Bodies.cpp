// Bodies: coloured boxes, their sides shaded so their shape reads.
#include "render/Bodies.h"

#include <GL/gl.h>

#include "world/WalkingBody.h"

namespace {

const std::uint8_t Colours[8][3] = {
    {230, 60, 60}, {60, 120, 230}, {240, 200, 40}, {170, 70, 210},
    {40, 200, 200}, {250, 130, 30}, {240, 240, 240}, {230, 90, 170},
};

} // namespace

void BodyColour(std::uint16_t player, std::uint8_t colour[3])
{
    for (int i = 0; i < 3; ++i)
        colour[i] = Colours[player % 8][i];
}

void DrawBodies(const std::vector<BodyBox>& bodies)
{
    if (bodies.empty())
        return;
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_COLOR_MATERIAL);
    // Faces as (shade, four corners of the unit box); counter-clockwise seen from outside.
    static const float shade[6] = {1.0f, 0.55f, 0.8f, 0.8f, 0.65f, 0.65f};
    static const int faces[6][4][3] = {
        {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}}, // top
        {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}}, // bottom
        {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}}, // -y
        {{0, 1, 0}, {0, 1, 1}, {1, 1, 1}, {1, 1, 0}}, // +y
        {{0, 0, 0}, {0, 0, 1}, {0, 1, 1}, {0, 1, 0}}, // -x
        {{1, 0, 0}, {1, 1, 0}, {1, 1, 1}, {1, 0, 1}}, // +x
    };
    glBegin(GL_QUADS);
    for (const BodyBox& b : bodies) {
        const float low[3] = {b.feet[0] - BodyHalfWidth, b.feet[1] - BodyHalfWidth, b.feet[2]};
        const float size[3] = {2 * BodyHalfWidth, 2 * BodyHalfWidth, BodyHeight};
        for (int f = 0; f < 6; ++f) {
            glColor3f(b.colour[0] / 255.0f * shade[f], b.colour[1] / 255.0f * shade[f], b.colour[2] / 255.0f * shade[f]);
            for (const auto& c : faces[f])
                glVertex3f(low[0] + c[0] * size[0], low[1] + c[1] * size[1], low[2] + c[2] * size[2]);
        }
    }
    glEnd();
    glPopAttrib();
}
