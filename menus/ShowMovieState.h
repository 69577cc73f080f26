#pragma once

#include "app/GameState.h"
#include "app/Singletons.h"

// Stand-in for the movie screen: holds the movie and the screen that follows it. Until the movie
// player is built it notes the skipped movie in the engine log and goes straight on to the next
// screen on its first update.
class ShowMovieState : public GameState {
public:
    static constexpr int MoviePathSize = 256;

    static ShowMovieState* Instance();

    void Update() override;
    void Draw() override {}

    char moviePath[MoviePathSize] = {};
    GameState* nextState = nullptr;

private:
    friend ShowMovieState* SingletonInstance<ShowMovieState>();
    ShowMovieState() = default;
};
