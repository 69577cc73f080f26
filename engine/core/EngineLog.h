#pragma once

// The one route of the engine log. Code with the device in hand may call Device::Log; every other
// line goes through LogToEngine, which hands it to the sink the program installed (the device's
// "q3D.log") or, with none installed yet (tools, tests, early start-up), to standard error so that
// it is never lost.

class EngineLogSink {
public:
    virtual ~EngineLogSink() = default;
    // One formatted line, without its newline.
    virtual void WriteLogLine(const char* line) = 0;
};

// Installs a sink for as long as it lives; the sink it replaced comes back when it ends. Routes
// nest: end them in the reverse order of their making.
class EngineLogRoute {
public:
    explicit EngineLogRoute(EngineLogSink& sink);
    ~EngineLogRoute();
    EngineLogRoute(const EngineLogRoute&) = delete;
    EngineLogRoute& operator=(const EngineLogRoute&) = delete;

private:
    EngineLogSink* previous;
};

void LogToEngine(const char* format, ...) __attribute__((format(printf, 1, 2)));
