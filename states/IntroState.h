// IntroState: the splash picture fading in; any key goes on to play.
#pragma once
#include "core/GameState.h"

class Texture;

class IntroState : public GameState {
public:
    Texture* texture = nullptr;
    float alpha = 0.0f;

    void Init() override;
    void Cleanup() override;
    void Pause() override;
    void Resume() override;
    void HandleEvents(GameEngine* game) override;
    void Update(GameEngine* game) override;
    void Draw(GameEngine* game) override;
};

extern IntroState introState;
