#pragma once

// Stand-in for the chat profanity filter: only its switch so far.
class ProfanityFilter {
public:
    static void Enable();
    static void Disable();
    static bool IsEnabled();
};
