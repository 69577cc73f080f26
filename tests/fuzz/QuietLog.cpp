// The fuzzing targets read definitions without an application: their log lines go nowhere, so
// that a run of millions of inputs does not drown its own report.
#include "engine/core/EngineLog.h"

namespace {

class QuietLog final : public EngineLogSink {
public:
    void WriteLogLine(const char*) override {}
};

QuietLog quiet;
EngineLogRoute quietRoute(quiet);

} // namespace
