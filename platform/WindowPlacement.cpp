// WindowPlacement: the title bar first, the rest where it fits.
#include "platform/WindowPlacement.h"

namespace {

// The frame's start along one axis.
int FrameStart(int workStart, int workLength, int frameLength)
{
    return frameLength <= workLength ? workStart + (workLength - frameLength) / 2 : workStart;
}

} // namespace

WindowPlacement PlaceInWorkArea(const ScreenBox& work, const ScreenBox& frame)
{
    if (frame.width <= work.width && frame.height <= work.height)
        return {false, 0, 0};
    return {true, FrameStart(work.x, work.width, frame.width) - frame.x,
            FrameStart(work.y, work.height, frame.height) - frame.y};
}
