// The real program started on the demo mission from the command line, headless: it loads the
// level through the briefing, draws it, and ends with status 0 when the window is closed.
#include "tests/app/ProgramRun.h"

using namespace programrun;

TEST(MissionProgramRunTest, SkipMenuStartsTheDemoMissionAndQuitsWithStatusZero)
{
    for (const char* map : {"Maps/Demo/Demo.mis", "Maps/Demo/area.mpb"}) {
        SCOPED_TRACE(map);
        RunFolder folder(true);
        ProgramRun run(folder.path, {"-win", "-nosound", "-skipmenu", "-map", map});
        const bool loaded = run.WaitForLog(std::string(map).ends_with(".mis") ? "Maps/Demo/area.mpb Load Time: "
                                                                              : "has no squad to place");
        run.Signal(SIGTERM);
        RunResult result = run.Finish();
        EXPECT_TRUE(loaded) << result.log << result.errorOutput;
        EXPECT_TRUE(result.exited);
        EXPECT_EQ(result.status, 0) << result.log << result.errorOutput;
        EXPECT_EQ(result.log.find("left in memory on shutdown"), std::string::npos) << result.log;
    }
}
