#include "multiplayer/NetworkServer.h"

#include "multiplayer/ServerSettings.h"

#include <string>

namespace {

ServerSettings& PublishedSettings()
{
    static ServerSettings settings;
    return settings;
}

std::string& Password()
{
    static std::string password;
    return password;
}

} // namespace

bool NetworkServer::IsActive()
{
    return false;
}

void NetworkServer::SetServerSettings(const ServerSettings* settings)
{
    if (settings)
        PublishedSettings() = *settings;
}

void NetworkServer::GetServerSettings(ServerSettings* settings)
{
    if (settings)
        *settings = PublishedSettings();
}

void NetworkServer::SetPassword(const char* password)
{
    Password() = password ? password : "";
}

const char* NetworkServer::GetPassword()
{
    return Password().c_str();
}
