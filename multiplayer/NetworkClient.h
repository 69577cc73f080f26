#pragma once

// Stand-in for the game client: nothing connects yet, so it is never connected.
class NetworkClient {
public:
    static bool IsConnected();
    static void SetPassword(const char* password);
    static const char* GetPassword();
};
