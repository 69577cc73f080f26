#include "multiplayer/NetworkClient.h"

#include <string>

namespace {

std::string& Password()
{
    static std::string password;
    return password;
}

} // namespace

bool NetworkClient::IsConnected()
{
    return false;
}

void NetworkClient::SetPassword(const char* password)
{
    Password() = password ? password : "";
}

const char* NetworkClient::GetPassword()
{
    return Password().c_str();
}
