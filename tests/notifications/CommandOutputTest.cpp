#include "notifications/CommandOutput.h"

#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "localisation/TempFolder.h"
#include "notifications/EventLine.h"
#include "platform/DateTime.h"
#include "platform/Sync.h"
#include "support/LogCapture.h"
#include "support/ScopedEnvironment.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;
namespace fs = std::filesystem;

std::string ReadFile(const std::string& Path) {
    std::ifstream in(Path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Waits up to TimeoutMs for Ready; the commands run on their own, so the tests look again and
// again.
bool Eventually(const std::function<bool()>& Ready, int TimeoutMs = 10000) {
    const auto deadline = steady_clock::now() + milliseconds(TimeoutMs);
    while (!Ready()) {
        if (steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(milliseconds(20));
    }
    return true;
}

// A shell script as the command: the script, then $0 = the test's folder, then $1...
TCommandSettings Script(const std::string& Event, const std::string& Text,
                        const std::string& Folder, std::vector<std::string> More = {}) {
    TCommandSettings command{Event, "/bin/sh", {"-c", Text, Folder}};
    command.Arguments.insert(command.Arguments.end(), More.begin(), More.end());
    return command;
}

class CommandOutputTest : public ::testing::Test {
protected:
    std::string File(const std::string& Name) const { return FFolder.Path() + "/" + Name; }
    bool Exists(const std::string& Name) const { return fs::exists(File(Name)); }
    bool Logged(const std::string& Line) const {
        return Eventually([&] { return FLog.Contains(Line); });
    }

    TempFolder FFolder;
    LogCapture FLog;
    TEvent FStopping{true, false};
};

TEST_F(CommandOutputTest, TheCommandGetsTheJsonOnItsInputAndTheValuesInItsEnvironment) {
    // A value of the program's own environment goes on; one of the event's names is replaced.
    TScopedEnvironment mark("HOOKS_TEST_MARK", "kept");
    TScopedEnvironment stale("TANDREL_ZONE", "stale");
    TCommandOutput output({Script("motion_start",
                                  "cat > \"$0/input.json\"; "
                                  "env | grep -E '^(TANDREL_|HOOKS_TEST_MARK=)' | sort "
                                  "> \"$0/env.part\"; mv \"$0/env.part\" \"$0/env.txt\"",
                                  FFolder.Path())},
                          10);
    const TDateTime time = Now();
    TNotificationEvent event("motion_start", time);
    event.Add("camera", "Front door")
        .Add("instance", "Home")
        .Add("zone", int64_t{2})
        .Add("activity", 12.5)
        .Add("snapshot", "/var/tmp/motion 1.jpg")
        .Add("odd-key.x", "v");
    EXPECT_TRUE(output.Wants(event));
    EXPECT_FALSE(output.Wants(TNotificationEvent("motion_end", time)));

    output.Open();
    EXPECT_EQ(output.Deliver(event, FStopping), "");
    ASSERT_TRUE(Eventually([&] { return Exists("env.txt"); }));
    output.Close();
    EXPECT_EQ(ReadFile(File("input.json")), event.Json() + "\n");
    const std::string expected =
        "HOOKS_TEST_MARK=kept\n"
        "TANDREL_ACTIVITY=12.5\n"
        "TANDREL_CAMERA=Front door\n"
        "TANDREL_EVENT=motion_start\n"
        "TANDREL_INSTANCE=Home\n"
        "TANDREL_ODD_KEY_X=v\n"
        "TANDREL_SNAPSHOT=/var/tmp/motion 1.jpg\n"
        "TANDREL_TIME=" +
        IsoLocalTime(time) +
        "\n"
        "TANDREL_ZONE=2\n";
    EXPECT_EQ(ReadFile(File("env.txt")), expected);
    EXPECT_TRUE(FLog.Lines().empty());
}

// The program holds descriptors a command must not keep alive (its single-instance lock above
// all); the command sees its standard three only.
TEST_F(CommandOutputTest, NoDescriptorBeyondTheStandardOnesIsInherited) {
    const int inheritable = ::open("/dev/null", O_RDONLY);
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    TCommandOutput output({Script("test",
                                  "ls -l /proc/self/fd > \"$0/fds.part\"; "
                                  "mv \"$0/fds.part\" \"$0/fds.txt\"",
                                  FFolder.Path())},
                          10);
    ASSERT_EQ(output.Deliver(TNotificationEvent("test", Now()), FStopping), "");
    ASSERT_TRUE(Eventually([&] { return Exists("fds.txt"); }));
    output.Close();
    ::close(inheritable);
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);

    // "lr-x------ 1 user user 64 ... 3 -> /proc/1234/fd": the folder ls reads is its own.
    std::set<int> descriptors;
    std::istringstream lines(ReadFile(File("fds.txt")));
    std::string line;
    while (std::getline(lines, line)) {
        const size_t arrow = line.find(" -> ");
        if (arrow == std::string::npos) {
            continue;
        }
        const std::string target = line.substr(arrow + 4);
        if (target.rfind("/proc/", 0) == 0 && target.size() > 3 &&
            target.compare(target.size() - 3, 3, "/fd") == 0) {
            continue;
        }
        const size_t number = line.rfind(' ', arrow - 1);
        descriptors.insert(std::stoi(line.substr(number + 1, arrow - number - 1)));
    }
    EXPECT_EQ(descriptors, (std::set<int>{0, 1, 2})) << ReadFile(File("fds.txt"));
}

// The time-out ends the command's whole process group: SIGTERM first, SIGKILL for what ignores
// it.
TEST_F(CommandOutputTest, ACommandRunningTooLongIsEndedWithWhatItStarted) {
    struct Case {
        const char* Label;
        const char* Script;
    };
    const Case cases[] = {
        {"sleeps", "sleep 60 & echo $! > \"$0/child\"; sleep 60"},
        {"ignores SIGTERM", "trap '' TERM; sleep 60 & echo $! > \"$0/child\"; sleep 60"},
    };
    for (const Case& c : cases) {
        FLog.Clear();
        fs::remove(File("child"));
        TCommandOutput output({Script("alarm_on", c.Script, FFolder.Path())}, 1);
        const auto start = steady_clock::now();
        ASSERT_EQ(output.Deliver(TNotificationEvent("alarm_on", Now()), FStopping), "");
        ASSERT_TRUE(Eventually([&] { return !ReadFile(File("child")).empty(); })) << c.Label;
        const std::string child = std::to_string(std::stoi(ReadFile(File("child"))));
        EXPECT_TRUE(Logged("Command /bin/sh for alarm_on ran longer than 1 s and was ended."))
            << c.Label;
        EXPECT_GE(steady_clock::now() - start, milliseconds(900)) << c.Label;
        // The background sleep went with it (gone, or a zombie left for its new parent).
        EXPECT_TRUE(Eventually([&] {
            const std::string stat = ReadFile("/proc/" + child + "/stat");
            return stat.empty() || stat.find(") Z ") != std::string::npos;
        })) << c.Label;
        output.Close();
        EXPECT_EQ(FLog.Lines().size(), 1u) << c.Label;
    }
}

TEST_F(CommandOutputTest, WhatACommandPrintsNeverBlocksItAndItsTailIsLoggedOnFailure) {
    TCommandOutput output(
        {Script("test", "head -c 20000000 /dev/zero; touch \"$0/done\"", FFolder.Path()),
         Script("test", "seq 1 100000; echo 'last words' >&2; exit 3", FFolder.Path()),
         Script("test", "kill -SEGV $$", FFolder.Path())},
        30);
    ASSERT_EQ(output.Deliver(TNotificationEvent("test", Now()), FStopping), "");
    EXPECT_TRUE(Eventually([&] { return Exists("done"); }, 20000));
    const std::string prefix = "Command /bin/sh for test ended with exit status 3: ";
    std::string failure;
    EXPECT_TRUE(Eventually([&] {
        for (const std::string& line : FLog.Lines()) {
            if (line.rfind(prefix, 0) == 0) {
                failure = line;
            }
        }
        return !failure.empty();
    }));
    EXPECT_TRUE(
        Logged("Command /bin/sh for test was ended by signal 11 (Segmentation fault) "
               "(it printed nothing)"));
    output.Close();
    // The last lines only, on one line.
    const std::string end = "99998 | 99999 | 100000 | last words";
    ASSERT_GT(failure.size(), end.size());
    EXPECT_EQ(failure.substr(failure.size() - end.size()), end) << failure;
    EXPECT_LE(failure.size(), prefix.size() + TCommandOutput::kTailBytes + 2 * 400);
    EXPECT_GT(failure.size(), prefix.size() + TCommandOutput::kTailBytes - 100);
    EXPECT_EQ(FLog.Lines().size(), 2u);
}

TEST_F(CommandOutputTest, AProgramThatCannotBeStartedIsSaidClearly) {
    const std::string notExecutable = FFolder.Write("plain.sh", "#!/bin/sh\nexit 0\n");
    struct Case {
        std::string Program;
        std::string Error;
    };
    const Case cases[] = {
        {"tandrel-no-such-program",
         "Command tandrel-no-such-program cannot be started: No such file or directory"},
        {notExecutable, "Command " + notExecutable + " cannot be started: Permission denied"},
    };
    for (const Case& c : cases) {
        FLog.Clear();
        TCommandOutput output({{"learning_done", c.Program, {"--token", "argument-secret"}}}, 10);
        EXPECT_EQ(output.Deliver(TNotificationEvent("learning_done", Now()), FStopping), c.Error);
        EXPECT_EQ(FLog.Lines(), std::vector<std::string>{c.Error});
        // A slot given back: the command can be tried again at once.
        for (int i = 0; i < TCommandOutput::kMaxRunning + 1; ++i) {
            EXPECT_EQ(output.Deliver(TNotificationEvent("learning_done", Now()), FStopping),
                      c.Error);
        }
    }
}

// Four run at once; a fifth waits for a slot, or gives up when the program ends. What still runs
// at the close is ended, and nothing is left unreaped.
class CommandSlots : public CommandOutputTest {
protected:
    CommandSlots() {
        for (int i = 1; i <= TCommandOutput::kMaxRunning + 1; ++i) {
            FCommands.push_back(Script("test",
                                       "touch \"$0/started-$1\"; "
                                       "while [ ! -e \"$0/go\" ]; do sleep 0.05; done",
                                       FFolder.Path(), {std::to_string(i)}));
        }
    }
    int Started() const {
        int started = 0;
        for (int i = 1; i <= TCommandOutput::kMaxRunning + 1; ++i) {
            started += Exists("started-" + std::to_string(i)) ? 1 : 0;
        }
        return started;
    }

    std::vector<TCommandSettings> FCommands;
};

TEST_F(CommandSlots, TheFifthWaitsForAFreeSlot) {
    TCommandOutput output(FCommands, 30);
    TEvent delivered(true, false);
    std::string result = "not returned";
    std::thread deliverer([&] {
        result = output.Deliver(TNotificationEvent("test", Now()), FStopping);
        delivered.SetEvent();
    });
    ASSERT_TRUE(Eventually([&] { return Started() == TCommandOutput::kMaxRunning; }));
    EXPECT_EQ(delivered.WaitFor(300), WAIT_TIMEOUT);
    EXPECT_FALSE(Exists("started-5"));
    FFolder.Write("go", "");
    EXPECT_EQ(delivered.WaitFor(10000), WAIT_OBJECT_0);
    deliverer.join();
    EXPECT_EQ(result, "");
    EXPECT_TRUE(Eventually([&] { return Exists("started-5"); }));
    output.Close();
    EXPECT_TRUE(FLog.Lines().empty());
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(CommandSlots, TheProgramsEndBreaksOffTheWaitAndTheCloseEndsTheRunningOnes) {
    TCommandOutput output(FCommands, 30);
    std::string result;
    std::thread deliverer(
        [&] { result = output.Deliver(TNotificationEvent("test", Now()), FStopping); });
    ASSERT_TRUE(Eventually([&] { return Started() == TCommandOutput::kMaxRunning; }));
    FStopping.SetEvent();
    deliverer.join();
    EXPECT_EQ(result, "the program is ending");
    EXPECT_TRUE(FLog.Contains("Command /bin/sh for test was not started: the program is ending."));
    output.Close();
    EXPECT_FALSE(Exists("started-5"));
    EXPECT_EQ(FLog.Lines().size(), 1u + TCommandOutput::kMaxRunning);
    EXPECT_TRUE(
        FLog.Contains("Command /bin/sh for test was still running at the close and was ended."));
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

}  // namespace
