// IntroState: the splash picture fading in; any key goes on to play.
#pragma once
#include "core/GameState.h"

class Texture;

class IntroState : public GameState {
public:
    Texture* texture = nullptr;
    float alpha = 0.0f;
    // A replay needs no key: the first pass goes on to play unless it brings
    // Escape or the close request.
    bool startPlayAtOnce = false;

    void Init() override;
    void Cleanup() override;
    void Pause() override;
    void Resume() override;
    void HandleEvents(GameEngine* game) override;
    void Update(GameEngine* game) override;
    void Draw(GameEngine* game) override;
};

extern IntroState introState;
