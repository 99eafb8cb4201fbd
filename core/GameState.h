// GameState: one screen of the program; the engine drives its seven operations.
#pragma once

class GameEngine;

class GameState {
public:
    // Becomes the current state.
    virtual void Init() = 0;
    // Stops being the current state; must allow a later Init.
    virtual void Cleanup() = 0;
    virtual void Pause() = 0;
    virtual void Resume() = 0;
    // One pass of the main loop: input, simulation, picture.
    virtual void HandleEvents(GameEngine* game) = 0;
    virtual void Update(GameEngine* game) = 0;
    virtual void Draw(GameEngine* game) = 0;

protected:
    // States are program-wide objects that are never deleted through this base.
    ~GameState() = default;
};
