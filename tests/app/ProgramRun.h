#pragma once

// Runs of the real program in a working folder of its own, headless, for the tests that start it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace programrun {

namespace fs = std::filesystem;

inline std::string ReadFile(const fs::path& path)
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

        const pid_t parent = getpid();
        pid = fork();
        if (pid == 0) {
            // A run waits for the program's own events without a clock of its own, so a test
            // that is stopped from outside (ctest's time limit) must take the program with it.
            if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent)
                _exit(126);
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
        // Readable once the program has ended.
        ended = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    }

    ~ProgramRun()
    {
        if (pid > 0 && !finished) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (watch >= 0)
            close(watch);
        if (ended >= 0)
            close(ended);
    }

    // Waits until the engine log holds the text, count times (true), or the program ended without
    // writing it so often (false). However slow a busy machine makes the program, only its own
    // events end the wait.
    bool WaitForLog(const std::string& text, int count = 1)
    {
        while (true) {
            if (CountInLog(text) >= count)
                return true;
            if (Reap(false))
                return CountInLog(text) >= count;
            WaitForEvent();
        }
    }

    int CountInLog(const std::string& text) const
    {
        const std::string log = ReadFile(folder / "q3D.log");
        int found = 0;
        for (std::size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + text.size()))
            ++found;
        return found;
    }

    std::string Log() const { return ReadFile(folder / "q3D.log"); }

    // Waits until the program has ended and returns its status and output.
    RunResult Finish()
    {
        Reap(true);
        result.errorOutput = ReadFile(folder / "stderr.txt");
        result.log = ReadFile(folder / "q3D.log");
        return result;
    }

    void Signal(int number) { kill(pid, number); }

private:
    // Sleeps until the program writes into its folder or ends. The poll's limit only guards
    // against a missed notice: it is a check again, never the end of a wait.
    void WaitForEvent()
    {
        pollfd descriptors[2] = {{watch, POLLIN, 0}, {ended, POLLIN, 0}};
        if (poll(descriptors, ended >= 0 ? 2 : 1, 1000) > 0 && (descriptors[0].revents & POLLIN)) {
            char events[4096];
            while (read(watch, events, sizeof events) > 0) {
            }
        }
    }

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
    int ended = -1;
    bool finished = false;
    RunResult result;
};

// The opening movie notes that it played to its end before the next screen follows: frames are
// running.
inline const std::string framesRunning = "Movie Movies/opening.avi played to its end";

} // namespace programrun
