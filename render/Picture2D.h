// Picture2D: drawing a texture as a flat picture in window pixels.
#pragma once

// Viewport and projection for the whole window of the current video mode:
// one unit per pixel, origin at the bottom left, y up. Leaves the modelview
// matrix current.
void SetPixelProjection();

// Draws the bound texture as a quad with its lower left corner at (x0, y0)
// and size w x h pixels, the texture's first row at the top.
void DrawPictureQuad(int x0, int y0, int w, int h);

// The offset that centres an image in a window along one axis; truncation
// puts an odd extra pixel on the far side.
inline int CentredOffset(int windowSize, int imageSize) { return (windowSize - imageSize) / 2; }
