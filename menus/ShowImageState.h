#pragma once

#include <memory>

#include "app/framework/GameState.h"
#include "app/framework/Singletons.h"

class D3DBitmap;
class SoundStream;

// A full-screen picture, optionally with a voice-over, shown until a key or mouse button is
// pressed; then the caller's next screen follows. Leaving clears both paths, so every use sets
// them again.
class ShowImageState : public GameState {
public:
    static constexpr int PathSize = 256;

    static ShowImageState* Instance();
    ~ShowImageState() override;

    int Enter() override;
    int Leave() override;
    void Update() override {}
    void Draw() override;
    void KeyDown(int code) override;
    void MouseUp(int button, int x, int y, float secondsSincePress) override;

    // The picture while the screen is current, else null.
    D3DBitmap* GetImage() const { return image.get(); }
    SoundStream* GetSound() const { return sound.get(); }

    // Filled by the caller before it makes this screen current.
    char imagePath[PathSize] = {};
    char soundPath[PathSize] = {}; // empty = no voice-over
    GameState* nextState = nullptr;

private:
    friend ShowImageState* SingletonInstance<ShowImageState>();
    ShowImageState();

    struct BitmapRelease {
        void operator()(D3DBitmap* bitmap) const;
    };

    int ShowNextState();

    std::unique_ptr<D3DBitmap, BitmapRelease> image;
    std::unique_ptr<SoundStream> sound;
};
