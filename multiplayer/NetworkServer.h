#pragma once

struct ServerSettings;

// Stand-in for the game server: nothing is hosted yet, so it is never active.
class NetworkServer {
public:
    static bool IsActive();
    // Publishes the settings (kept for the server to come).
    static void SetServerSettings(const ServerSettings* settings);
    static void GetServerSettings(ServerSettings* settings);
    static void SetPassword(const char* password);
    static const char* GetPassword();
};
