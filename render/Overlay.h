// Overlay: what play draws over the terrain once the building controls are
// in use: a crosshair at the window's centre and the row of nine slots at
// its bottom, each in its type's colour, the selected one framed. Plain
// OpenGL 1.1 quads and lines.
#pragma once

class SlotRow;

// The side of one slot, in pixels, for a window `height` pixels high.
int OverlaySlotSide(int height);

// Draws the overlay over a `width` x `height` window, leaving every OpenGL
// state it changes (matrices, enables, colour, line width, viewport) as it
// found it.
void DrawOverlay(int width, int height, const SlotRow& slots);
