// The real program, run headless on the demo data: it starts, runs frames, and ends with the
// exit status and the exit message a player would see.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr auto startTimeout = std::chrono::seconds(60);

std::string ReadFile(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// A working folder of its own for one run, so that the logs of parallel runs stay apart.
class RunFolder {
public:
    explicit RunFolder(bool withData)
    {
        std::string pattern = (fs::temp_directory_path() / "bexal-run-XXXXXX").string();
        path = mkdtemp(pattern.data());
        if (withData) {
            for (const fs::directory_entry& entry : fs::directory_iterator(BEXAL_DATA_DIR)) {
                std::string name = entry.path().filename().string();
                if (entry.is_directory())
                    fs::create_directory_symlink(entry.path(), path / name);
            }
        }
    }
    ~RunFolder() { fs::remove_all(path); }

    fs::path path;
};

struct RunResult {
    bool exited = false;
    int status = -1;
    std::string errorOutput;
    std::string log;
};

class ProgramRun {
public:
    ProgramRun(const fs::path& folder, const std::vector<std::string>& arguments) : folder(folder)
    {
        std::vector<std::string> argv = {std::string(BEXAL_BIN_DIR) + "/bexal"};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        std::vector<char*> pointers;
        for (std::string& argument : argv)
            pointers.push_back(argument.data());
        pointers.push_back(nullptr);
        std::string errorPath = (folder / "stderr.txt").string();

        pid = fork();
        if (pid == 0) {
            if (chdir(folder.c_str()) != 0)
                _exit(126);
            int error = open(errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (error < 0)
                _exit(126);
            dup2(error, 2);
            setenv("SDL_VIDEODRIVER", "offscreen", 1);
            setenv("ALSOFT_DRIVERS", "null", 1);
            setenv("SDL_AUDIODRIVER", "dummy", 1);
            execv(pointers[0], pointers.data());
            _exit(127);
        }
        watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        inotify_add_watch(watch, folder.c_str(), IN_CREATE | IN_MODIFY | IN_CLOSE_WRITE);
    }

    ~ProgramRun()
    {
        if (pid > 0 && !finished) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (watch >= 0)
            close(watch);
    }

    // Waits, within the time limit, until the engine log holds the text or the program ended.
    bool WaitForLog(const std::string& text)
    {
        auto deadline = std::chrono::steady_clock::now() + startTimeout;
        while (std::chrono::steady_clock::now() < deadline) {
            if (ReadFile(folder / "q3D.log").find(text) != std::string::npos)
                return true;
            if (Reap(false))
                return false;
            pollfd descriptor{watch, POLLIN, 0};
            if (poll(&descriptor, 1, 100) > 0) {
                char events[4096];
                while (read(watch, events, sizeof events) > 0) {
                }
            }
        }
        return false;
    }

    RunResult Finish()
    {
        auto deadline = std::chrono::steady_clock::now() + startTimeout;
        while (!Reap(false) && std::chrono::steady_clock::now() < deadline) {
            pollfd descriptor{watch, POLLIN, 0};
            poll(&descriptor, 1, 50);
        }
        if (!finished) {
            kill(pid, SIGKILL);
            Reap(true);
        }
        result.errorOutput = ReadFile(folder / "stderr.txt");
        result.log = ReadFile(folder / "q3D.log");
        return result;
    }

    void Signal(int number) { kill(pid, number); }

private:
    bool Reap(bool block)
    {
        if (finished)
            return true;
        int status = 0;
        if (waitpid(pid, &status, block ? 0 : WNOHANG) != pid)
            return false;
        finished = true;
        result.exited = WIFEXITED(status);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
        return true;
    }

    fs::path folder;
    pid_t pid = -1;
    int watch = -1;
    bool finished = false;
    RunResult result;
};

// The stand-in movie screen notes the skipped movie on its first update: frames are running.
const std::string framesRunning = "No movie player yet";

} // namespace

TEST(ProgramRunTest, RunsFramesAndQuitsWithStatusZero)
{
    const std::vector<std::vector<std::string>> commandLines = {
        {"-win"},
        {"-win", "-nosound", "-nodinput", "-w", "640"},
        {"-nosound"},
    };
    for (const auto& commandLine : commandLines) {
        SCOPED_TRACE(commandLine.size() > 1 ? commandLine[1] : commandLine[0]);
        RunFolder folder(true);
        ProgramRun run(folder.path, commandLine);
        bool running = run.WaitForLog(framesRunning);
        // The quit message a window system sends when the user closes the game.
        run.Signal(SIGTERM);
        RunResult result = run.Finish();
        EXPECT_TRUE(running) << result.log << result.errorOutput;
        EXPECT_TRUE(result.exited);
        EXPECT_EQ(result.status, 0) << result.log << result.errorOutput;
        EXPECT_EQ(result.errorOutput.find("Message:"), std::string::npos) << result.errorOutput;
    }
}

TEST(ProgramRunTest, MissingSplashEndsWithStatusOneAndTheMessage)
{
    RunFolder folder(false);
    ProgramRun run(folder.path, {"-win"});
    RunResult result = run.Finish();
    ASSERT_TRUE(result.exited);
    EXPECT_EQ(result.status, 1) << result.log;
    EXPECT_NE(result.errorOutput.find("Message: "), std::string::npos) << result.errorOutput;
    // The same text went to the engine log.
    std::string message = result.errorOutput.substr(result.errorOutput.find("Message: ") + 9);
    message = message.substr(0, message.find('\n'));
    EXPECT_FALSE(message.empty());
    EXPECT_NE(result.log.find(message), std::string::npos) << result.log;
}

TEST(ProgramRunTest, FailedCommandLineServerOrConnectionEndsWithStatusOne)
{
    {
        RunFolder folder(true);
        ProgramRun run(folder.path, {"-win", "-nosound", "-s", "8"});
        RunResult result = run.Finish();
        ASSERT_TRUE(result.exited);
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.errorOutput.find("Message: Failed to start the server from the command line."), std::string::npos)
            << result.errorOutput;
        EXPECT_NE(result.log.find("Failed to start the server from the command line."), std::string::npos);
    }
    {
        RunFolder folder(true);
        ProgramRun run(folder.path, {"-win", "-nosound", "-c", "127.0.0.1"});
        RunResult result = run.Finish();
        ASSERT_TRUE(result.exited);
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.log.find("Connection to 127.0.0.1 failed from the command line."), std::string::npos)
            << result.log;
        // Only logged: there is no exit message to show.
        EXPECT_EQ(result.errorOutput.find("Message:"), std::string::npos) << result.errorOutput;
    }
}

TEST(ProgramRunTest, OptionsAreSavedWhenTheOptionsScreenIsLeftAndReadAtTheNextStart)
{
    RunFolder folder(true);
    {
        ProgramRun run(folder.path, {"-win", "-nosound", "-options"});
        EXPECT_TRUE(run.WaitForLog(framesRunning));
        run.Signal(SIGTERM);
        RunResult result = run.Finish();
        EXPECT_EQ(result.status, 0) << result.log << result.errorOutput;
        EXPECT_NE(result.log.find("Bexal.cfg could not be loaded, using defaults"), std::string::npos) << result.log;
    }
    std::string options = ReadFile(folder.path / "Bexal.cfg");
    ASSERT_EQ(options.size(), 193u);
    EXPECT_EQ(options.substr(0, 4), std::string("\x52\xB8\xDE\x3F", 4));
    EXPECT_NE(ReadFile(folder.path / "keys.cfg").find("\nRun; 16\n"), std::string::npos);

    // Music volume 40 and Run on Control, as a player would have set them.
    options[4 + 22 * 4] = 40;
    std::ofstream(folder.path / "Bexal.cfg", std::ios::binary) << options;
    std::ofstream(folder.path / "keys.cfg") << "Run; 17\n";
    fs::remove(folder.path / "q3D.log");
    {
        ProgramRun run(folder.path, {"-win", "-nosound", "-options"});
        EXPECT_TRUE(run.WaitForLog(framesRunning));
        run.Signal(SIGTERM);
        RunResult result = run.Finish();
        EXPECT_EQ(result.status, 0) << result.log << result.errorOutput;
        EXPECT_EQ(result.log.find("Bexal.cfg could not be loaded"), std::string::npos) << result.log;
    }
    EXPECT_EQ(ReadFile(folder.path / "Bexal.cfg"), options);
    const std::string keys = ReadFile(folder.path / "keys.cfg");
    EXPECT_NE(keys.find("\nRun; 17\n"), std::string::npos) << keys;
    EXPECT_NE(keys.find("\nCommand: Move To Point; -1\n"), std::string::npos) << keys;
}
