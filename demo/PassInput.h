// PassInput: the input one pass of play consumes, live or replayed from a demo.
#pragma once
#include <cstdint>

// The movement keys, one bit each, in the order the controller tests them.
enum MoveKey : std::uint8_t {
    MoveRight = 1,   // D
    MoveLeft = 2,    // A
    MoveForward = 4, // W
    MoveBack = 8,    // S
    MoveUp = 16,     // space: up when flying, a jump when walking
    AllMoveKeys = 31,
};

// The building and walking controls, one bit each. MoveDown is held like
// the movement keys; the others are presses, seen at most once a pass.
enum PassAction : std::uint8_t {
    MoveDown = 1,     // Shift held: flying moves down
    PlaceVoxel = 2,   // the right button was pressed
    PickType = 4,     // the middle button was pressed
    RemoveVoxel = 8,  // the left button was pressed with Ctrl held
    ToggleWalk = 16,  // F was pressed
    ToggleHud = 32,   // H was pressed
    AllActions = 63,
};

struct PassInput {
    std::int32_t dx = 0, dy = 0; // relative mouse motion since the previous pass, in counts
    std::uint8_t keys = 0;       // MoveKey bits of the keys held
    bool dig = false;            // the left button (without Ctrl) was seen down in this pass
    std::uint8_t actions = 0;    // PassAction bits
    std::uint8_t slot = 0;       // 1 to 9: that number key was pressed (the last of a pass); 0: none
    std::int8_t wheel = 0;       // wheel steps after the number key: + toward slot 9, - toward 1
};

inline bool operator==(const PassInput& a, const PassInput& b)
{
    return a.dx == b.dx && a.dy == b.dy && a.keys == b.keys && a.dig == b.dig && a.actions == b.actions &&
           a.slot == b.slot && a.wheel == b.wheel;
}

// True when the pass used a control the building and walking added (any
// action but MoveDown, a number key, the wheel): the crosshair and slot row
// appear from then on.
inline bool UsesNewControl(const PassInput& input)
{
    return (input.actions & ~MoveDown) != 0 || input.slot != 0 || input.wheel != 0;
}
