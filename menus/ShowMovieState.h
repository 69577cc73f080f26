#pragma once

#include <memory>

#include "app/framework/GameState.h"
#include "app/framework/Singletons.h"

class AVIPlayer;
class D3DBitmap;

// The full-screen movie: plays one AVI file, optionally followed by a second, into the "AVI
// Frame" bitmap and stretches it over the back buffer, then makes the caller's next screen
// current when the movie ends or a key or mouse button skips it. A movie that is missing or
// fails to open or start is skipped, with its path and the player's error name in the engine
// log.
class ShowMovieState : public GameState {
public:
    static constexpr int MoviePathSize = 256;

    static ShowMovieState* Instance();
    ~ShowMovieState() override;

    int Enter() override;
    int Leave() override;
    void Update() override;
    void Draw() override;
    void KeyDown(int code) override;
    void MouseUp(int button, int x, int y, float secondsSincePress) override;

    // The frame bitmap while a movie plays, else null.
    D3DBitmap* GetFrame() const { return frame.get(); }
    bool IsFinished() const { return finished; }

    // Filled by the caller before it makes this screen current.
    char moviePath[MoviePathSize] = {};
    char secondMoviePath[MoviePathSize] = {}; // empty = none
    GameState* nextState = nullptr;

private:
    friend ShowMovieState* SingletonInstance<ShowMovieState>();
    ShowMovieState();

    struct BitmapRelease {
        void operator()(D3DBitmap* bitmap) const;
    };

    // The second movie when there is one, else the next screen.
    int MoveOn();
    int ShowNextState();

    std::unique_ptr<AVIPlayer> player;
    std::unique_ptr<D3DBitmap, BitmapRelease> frame;
    bool finished = false;
};
