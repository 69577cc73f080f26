#pragma once

// Stand-in for the in-game console ("command line") and its chat lines: the background texture's
// life, which the start-up begins and the clean-up ends, and the calls screens make each frame.
// Until the console is built it takes no keys, draws nothing and has no position.
class CommandLine {
public:
    static CommandLine& Instance();

    void Update() {}
    void Draw() {}
    // True when the console used the key.
    bool KeyDown(int) { return false; }
    // The console's top y, -1 when it has no position.
    int GetTop() const { return -1; }

    // Loads the console's background sprite.
    void CreateBackground();
    bool HasBackground() const { return backgroundLoaded; }

private:
    friend class ChatLine;
    CommandLine() = default;

    bool backgroundLoaded = false;
};

class ChatLine {
public:
    // Frees the console's background sprite.
    static void ReleaseTexture();
    static void BeginTyping() {}
    static void SetSquadTarget() {}
    static void SetText(const char*) {}
};
