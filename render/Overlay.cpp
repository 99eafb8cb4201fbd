// Overlay: the crosshair and the slot row, in window pixels.
#include "render/Overlay.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "world/Building.h"
#include "world/VoxelType.h"

namespace {

void Quad(float x0, float y0, float x1, float y1)
{
    glVertex2f(x0, y0);
    glVertex2f(x1, y0);
    glVertex2f(x1, y1);
    glVertex2f(x0, y1);
}

// A frame `w` pixels wide around the box, as four quads.
void Frame(float x0, float y0, float x1, float y1, float w)
{
    Quad(x0 - w, y0 - w, x1 + w, y0);
    Quad(x0 - w, y1, x1 + w, y1 + w);
    Quad(x0 - w, y0, x0, y1);
    Quad(x1, y0, x1 + w, y1);
}

void Crosshair(float cx, float cy, float arm)
{
    // Dark under light, so that it reads over snow as over stone.
    glLineWidth(3);
    glColor3f(0.05f, 0.05f, 0.05f);
    glBegin(GL_LINES);
    glVertex2f(cx - arm - 1, cy);
    glVertex2f(cx + arm + 1, cy);
    glVertex2f(cx, cy - arm - 1);
    glVertex2f(cx, cy + arm + 1);
    glEnd();
    glLineWidth(1);
    glColor3f(1, 1, 1);
    glBegin(GL_LINES);
    glVertex2f(cx - arm, cy);
    glVertex2f(cx + arm, cy);
    glVertex2f(cx, cy - arm);
    glVertex2f(cx, cy + arm);
    glEnd();
}

} // namespace

int OverlaySlotSide(int height) { return std::max(16, height / 14); }

void DrawOverlay(int width, int height, const SlotRow& slots)
{
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LINE_BIT | GL_VIEWPORT_BIT | GL_TRANSFORM_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_COLOR_MATERIAL);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, width, 0, height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();

    // Pixel centres: the lines fall on whole pixels.
    Crosshair(width / 2 + 0.5f, height / 2 + 0.5f, std::max(6.0f, height / 60.0f));

    const float side = static_cast<float>(OverlaySlotSide(height));
    const float gap = std::max(2.0f, side / 8);
    const float rowWidth = SlotRow::Slots * side + (SlotRow::Slots - 1) * gap;
    const float left = std::floor((width - rowWidth) / 2), bottom = gap * 2;
    glBegin(GL_QUADS);
    glColor3f(0.08f, 0.08f, 0.08f);
    Quad(left - gap, bottom - gap, left + rowWidth + gap, bottom + side + gap);
    for (int i = 0; i < SlotRow::Slots; ++i) {
        const std::uint8_t* rgb = Palette[slots.TypeIn(i + 1)];
        const float x = left + i * (side + gap);
        glColor3ub(rgb[0], rgb[1], rgb[2]);
        Quad(x, bottom, x + side, bottom + side);
    }
    const float x = left + (slots.Selected() - 1) * (side + gap);
    glColor3f(1, 1, 1);
    Frame(x, bottom, x + side, bottom + side, std::max(2.0f, gap * 0.75f));
    glEnd();

    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glPopAttrib(); // the matrix mode, viewport, enables, colour and line width
}
