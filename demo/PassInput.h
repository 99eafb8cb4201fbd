// PassInput: the input one pass of play consumes, live or replayed from a demo.
#pragma once
#include <cstdint>

// The movement keys, one bit each, in the order the controller tests them.
enum MoveKey : std::uint8_t {
    MoveRight = 1,   // D
    MoveLeft = 2,    // A
    MoveForward = 4, // W
    MoveBack = 8,    // S
    MoveUp = 16,     // space
    AllMoveKeys = 31,
};

struct PassInput {
    std::int32_t dx = 0, dy = 0; // relative mouse motion since the previous pass, in counts
    std::uint8_t keys = 0;       // MoveKey bits of the keys held
    bool dig = false;            // the left button was seen down in this pass
};

inline bool operator==(const PassInput& a, const PassInput& b)
{
    return a.dx == b.dx && a.dy == b.dy && a.keys == b.keys && a.dig == b.dig;
}
