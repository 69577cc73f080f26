// bexal-master [--address A] [--port P] [--peers N] [--seconds S]
// Lists game hosts for the game's server browser. Listens on 127.0.0.1:50000 unless told
// otherwise (port 0 takes a free port, printed on the first line). Runs until interrupted or,
// with --seconds, until that many seconds have passed.
#include "platform/net/MasterServer.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void RequestStop(int)
{
    stopRequested = 1;
}

bool ParseNumber(const char* text, unsigned long max, unsigned long& value)
{
    char* end = nullptr;
    value = std::strtoul(text, &end, 10);
    return end != text && *end == '\0' && value <= max && text[0] != '-';
}

int Usage()
{
    std::fprintf(stderr, "usage: bexal-master [--address A] [--port P] [--peers N] [--seconds S]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    std::string address = "127.0.0.1";
    unsigned long port = 50000, peers = 256, seconds = 0;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--address") == 0 && hasValue)
            address = argv[++i];
        else if (std::strcmp(argv[i], "--port") == 0 && hasValue) {
            if (!ParseNumber(argv[++i], 65535, port))
                return Usage();
        } else if (std::strcmp(argv[i], "--peers") == 0 && hasValue) {
            if (!ParseNumber(argv[++i], 4095, peers) || peers == 0)
                return Usage();
        } else if (std::strcmp(argv[i], "--seconds") == 0 && hasValue) {
            if (!ParseNumber(argv[++i], 86400UL * 365, seconds))
                return Usage();
        } else
            return Usage();
    }

    platform::net::MasterServer server(address, static_cast<std::uint16_t>(port), peers);
    if (!server.IsOpen()) {
        std::fprintf(stderr, "bexal-master: %s\n", server.GetLastError().c_str());
        return 1;
    }
    std::printf("bexal-master listening on %s:%u\n", address.c_str(), server.GetPort());
    std::fflush(stdout);

    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    std::size_t refused = 0;
    while (stopRequested == 0 && (seconds == 0 || std::chrono::steady_clock::now() < end)) {
        server.Service(50);
        if (server.GetRefusedRecords() != refused) {
            refused = server.GetRefusedRecords();
            std::fprintf(stderr, "bexal-master: %s\n", server.GetLastError().c_str());
        }
    }
    return 0;
}
