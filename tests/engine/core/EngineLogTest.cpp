#include "engine/core/EngineLog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class RecordingLog final : public EngineLogSink {
public:
    void WriteLogLine(const char* line) override { lines.emplace_back(line); }
    std::vector<std::string> lines;
};

} // namespace

TEST(EngineLog, EachLineGoesToTheNewestRouteThenBackToTheOneBefore)
{
    RecordingLog outer, inner;
    testing::internal::CaptureStderr();
    LogToEngine("before %d", 0);
    {
        EngineLogRoute outerRoute(outer);
        LogToEngine("outer %s", "one");
        {
            EngineLogRoute innerRoute(inner);
            LogToEngine("inner %d", 2);
        }
        LogToEngine("outer %s", "again");
    }
    LogToEngine("after");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "before 0\nafter\n");
    EXPECT_EQ(outer.lines, (std::vector<std::string>{"outer one", "outer again"}));
    EXPECT_EQ(inner.lines, (std::vector<std::string>{"inner 2"}));
}

TEST(EngineLog, ALongLineIsCutToTheLineBufferNeverLost)
{
    RecordingLog log;
    EngineLogRoute route(log);
    const std::string word(3000, 'w');
    LogToEngine("%s", word.c_str());
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0], word.substr(0, 2047));
}
