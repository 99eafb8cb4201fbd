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

// The lower left corner that centres an image in a window, in window pixels
// (y up); truncation puts an odd extra pixel to the right and at the top.
inline int CentredOffset(int windowSize, int imageSize) { return (windowSize - imageSize) / 2; }
