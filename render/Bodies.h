// Bodies: other players, drawn where they stand as boxes of the walking
// body's size, each in a colour of its own. Plain OpenGL 1.1 quads, in the
// terrain's view, leaving the drawing state as they found it.
#pragma once
#include <cstdint>
#include <vector>

struct BodyBox {
    float feet[3];          // the centre of the box's bottom face
    std::uint8_t colour[3]; // R, G, B
};

// A colour for player number `player`, different for the first several.
void BodyColour(std::uint16_t player, std::uint8_t colour[3]);

// Draws each box, 0.6 x 0.6 x 1.8, lit by face as the terrain is.
void DrawBodies(const std::vector<BodyBox>& bodies);
