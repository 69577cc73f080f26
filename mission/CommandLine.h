#pragma once

// Stand-in for the in-game console ("command line") and its chat lines: only the background
// texture's life, which the start-up begins and the clean-up ends.
class CommandLine {
public:
    static CommandLine& Instance();

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
};
