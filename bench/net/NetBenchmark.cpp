// Round-trip latency and reliable messages per second between a server and a client on loopback:
// the network layer (service threads, framing, its queue) against bare ENet hosts serviced by the
// benchmark's own thread, the way a program that drives ENet itself would do it.

#include "bench/support/BenchmarkCommandLine.h"
#include "platform/net/Client.h"
#include "platform/net/Server.h"

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <enet/enet.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace platform::net;

constexpr std::size_t kRecordSize = 32;
constexpr int kBatch = 1000;

struct LayerPair {
    LayerPair()
    {
        if (!server.Start(2, 0) || !client.Connect("127.0.0.1", server.GetLocalPort(), 0))
            throw std::runtime_error("no loopback connection");
        int settled = 0;
        for (int spins = 0; settled < 2 && spins < 5000000; ++spins) {
            for (Packet* p = server.Receive(); p; p = server.Receive()) {
                settled += p->data[0] == 24;
                server.DeallocatePacket(p);
            }
            for (Packet* p = client.Receive(); p; p = client.Receive()) {
                settled += p->data[0] == 24;
                client.DeallocatePacket(p);
            }
        }
        if (settled < 2)
            throw std::runtime_error("no handshake");
    }
    ~LayerPair()
    {
        client.Disconnect(0);
        server.Disconnect(0);
    }
    Server server;
    Client client;
};

template <class Interface>
int Drain(Interface& from)
{
    int count = 0;
    while (Packet* packet = from.Receive()) {
        count += packet->data[0] == 100;
        from.DeallocatePacket(packet);
    }
    return count;
}

struct EnetPair {
    EnetPair()
    {
        enet_initialize();
        ENetAddress address{};
        address.host = htonl(INADDR_LOOPBACK);
        server = enet_host_create(&address, 2, 2, 0, 0);
        client = enet_host_create(nullptr, 1, 2, 0, 0);
        if (!server || !client)
            throw std::runtime_error("no ENet host");
        address.port = server->address.port;
        toServer = enet_host_connect(client, &address, 2, 0);
        ENetEvent event;
        for (int spins = 0; (!toClient || toServer->state != ENET_PEER_STATE_CONNECTED) && spins < 5000000; ++spins) {
            if (enet_host_service(server, &event, 0) > 0 && event.type == ENET_EVENT_TYPE_CONNECT)
                toClient = event.peer;
            enet_host_service(client, &event, 0);
        }
        if (!toClient)
            throw std::runtime_error("no ENet connection");
    }
    ~EnetPair()
    {
        enet_host_destroy(client);
        enet_host_destroy(server);
    }
    static int Drain(ENetHost* host)
    {
        int count = 0;
        ENetEvent event;
        while (enet_host_service(host, &event, 0) > 0)
            if (event.type == ENET_EVENT_TYPE_RECEIVE) {
                count += event.packet->data[0] == 100;
                enet_packet_destroy(event.packet);
            }
        return count;
    }
    ENetHost* server = nullptr;
    ENetHost* client = nullptr;
    ENetPeer* toServer = nullptr;
    ENetPeer* toClient = nullptr;
};

void BM_RoundTripLayer(benchmark::State& state)
{
    LayerPair pair;
    std::uint8_t record[kRecordSize] = {100};
    for (auto _ : state) {
        pair.client.Send(record, kRecordSize, PacketPriority::High, PacketReliability::ReliableOrdered);
        while (Drain(pair.server) == 0) {
        }
        pair.server.SendToPlayer(record, kRecordSize, 0, PacketPriority::High, PacketReliability::ReliableOrdered);
        while (Drain(pair.client) == 0) {
        }
    }
}

void BM_RoundTripEnet(benchmark::State& state)
{
    EnetPair pair;
    std::uint8_t record[kRecordSize] = {100};
    for (auto _ : state) {
        enet_peer_send(pair.toServer, 0, enet_packet_create(record, kRecordSize, ENET_PACKET_FLAG_RELIABLE));
        enet_host_flush(pair.client);
        while (EnetPair::Drain(pair.server) == 0) {
        }
        enet_peer_send(pair.toClient, 0, enet_packet_create(record, kRecordSize, ENET_PACKET_FLAG_RELIABLE));
        enet_host_flush(pair.server);
        while (EnetPair::Drain(pair.client) == 0) {
        }
    }
}

void BM_RateLayer(benchmark::State& state)
{
    LayerPair pair;
    std::uint8_t record[kRecordSize] = {100};
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i)
            pair.client.Send(record, kRecordSize, PacketPriority::High, PacketReliability::ReliableOrdered);
        for (int received = 0; received < kBatch;) {
            received += Drain(pair.server);
            Drain(pair.client); // as the ENet side below: the sender's own pump
        }
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}

void BM_RateEnet(benchmark::State& state)
{
    EnetPair pair;
    std::uint8_t record[kRecordSize] = {100};
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i)
            enet_peer_send(pair.toServer, 0, enet_packet_create(record, kRecordSize, ENET_PACKET_FLAG_RELIABLE));
        enet_host_flush(pair.client);
        for (int received = 0; received < kBatch;) {
            received += EnetPair::Drain(pair.server);
            EnetPair::Drain(pair.client); // its acknowledgements open the sender's window
        }
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}

// Each side runs in turns with the other (random interleaving), after a warm-up, several times; the
// ratios compare the fastest runs and the median runs, which a busy machine disturbs the least.
constexpr int kRepetitions = 5;
constexpr double kWarmUpSeconds = 0.1;
BENCHMARK(BM_RoundTripLayer)->UseRealTime()->Unit(benchmark::kMicrosecond)->MinWarmUpTime(kWarmUpSeconds)->Repetitions(kRepetitions);
BENCHMARK(BM_RoundTripEnet)->UseRealTime()->Unit(benchmark::kMicrosecond)->MinWarmUpTime(kWarmUpSeconds)->Repetitions(kRepetitions);
BENCHMARK(BM_RateLayer)->UseRealTime()->Unit(benchmark::kMillisecond)->MinWarmUpTime(kWarmUpSeconds)->Repetitions(kRepetitions);
BENCHMARK(BM_RateEnet)->UseRealTime()->Unit(benchmark::kMillisecond)->MinWarmUpTime(kWarmUpSeconds)->Repetitions(kRepetitions);

// The real time per iteration of every repetition, by benchmark.
class RepetitionReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                times[run.run_name.function_name].push_back(run.GetAdjustedRealTime());
        ConsoleReporter::ReportRuns(runs);
    }
    // The fastest and the median time of a benchmark; 0 when it did not run.
    double Fastest(const std::string& name) const { return Sorted(name).empty() ? 0 : Sorted(name).front(); }
    double Median(const std::string& name) const
    {
        const std::vector<double> sorted = Sorted(name);
        return sorted.empty() ? 0 : sorted[sorted.size() / 2];
    }

private:
    std::vector<double> Sorted(const std::string& name) const
    {
        const auto found = times.find(name);
        std::vector<double> sorted = found == times.end() ? std::vector<double>{} : found->second;
        std::sort(sorted.begin(), sorted.end());
        return sorted;
    }
    std::map<std::string, std::vector<double>> times;
};

} // namespace

int main(int argc, char** argv)
{
    // Repetitions run in turns unless the command line says otherwise.
    BenchmarkCommandLine commandLine(argc, argv, {"--benchmark_enable_random_interleaving=true"});
    RepetitionReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto print = [&reporter](const char* what, const char* mine, const char* baseline, bool perItem, const char* goal) {
        const double a[2] = {reporter.Fastest(mine), reporter.Median(mine)};
        const double b[2] = {reporter.Fastest(baseline), reporter.Median(baseline)};
        if (a[0] <= 0 || b[0] <= 0)
            return;
        // Times per iteration: a rate ratio is the baseline's time over ours, a latency ratio ours over it.
        std::printf("%s: fastest %.3f, median %.3f (%s)\n", what, perItem ? b[0] / a[0] : a[0] / b[0],
                    perItem ? b[1] / a[1] : a[1] / b[1], goal);
    };
    print("layer round trip / ENet round trip", "BM_RoundTripLayer", "BM_RoundTripEnet", false, "goal at most 1.2");
    print("layer message rate / ENet message rate", "BM_RateLayer", "BM_RateEnet", true, "goal at least 0.8");
    benchmark::Shutdown();
    return 0;
}
