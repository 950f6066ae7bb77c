#include "notifications/CommandOutput.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "notifications/EventLine.h"
#include "platform/Diagnostics.h"

extern char** environ;

namespace {

// The supervisor looks at commands without a pidfd this often.
constexpr int kReapPollMs = 100;
// What one pass of the supervisor reads of one command before it looks at the others again.
constexpr size_t kReadPerPass = 1024 * 1024;

// "zone" -> "TANDREL_ZONE": upper case, every character but A-Z and 0-9 made "_".
std::string VariableName(const std::string& Key) {
    std::string name = "TANDREL_";
    for (const char c : Key) {
        if (c >= 'a' && c <= 'z') {
            name += static_cast<char>(c - 'a' + 'A');
        } else if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
            name += c;
        } else {
            name += '_';
        }
    }
    return name;
}

// The program's environment with the event's variables, which replace any of the same name.
std::vector<std::string> EventEnvironment(const TNotificationEvent& Event) {
    std::vector<std::string> ours;
    ours.push_back("TANDREL_EVENT=" + Event.Name());
    ours.push_back("TANDREL_TIME=" + IsoLocalTime(Event.Time()));
    for (const TNotificationEvent::TField& field : Event.Fields()) {
        ours.push_back(VariableName(field.Key) + "=" + Event.Text(field.Key));
    }
    std::vector<std::string> environment;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        const std::string_view name = text.substr(0, text.find('=') + 1);
        const bool replaced = std::any_of(ours.begin(), ours.end(), [&](const std::string& own) {
            return std::string_view(own).substr(0, name.size()) == name;
        });
        if (!replaced) {
            environment.emplace_back(text);
        }
    }
    environment.insert(environment.end(), ours.begin(), ours.end());
    return environment;
}

// Moves a new descriptor above 0, 1 and 2 (when the program runs with one of those closed), so
// placing the child's standard descriptors never overwrites another of its pipes.
int AboveStandard(int Fd) {
    if (Fd > 2) {
        return Fd;
    }
    const int moved = ::fcntl(Fd, F_DUPFD_CLOEXEC, 3);
    ::close(Fd);
    return moved;
}

bool MakePipe(int (&Ends)[2]) {
    if (::pipe2(Ends, O_CLOEXEC) != 0) {
        return false;
    }
    Ends[0] = AboveStandard(Ends[0]);
    Ends[1] = AboveStandard(Ends[1]);
    if (Ends[0] < 0 || Ends[1] < 0) {
        if (Ends[0] >= 0) {
            ::close(Ends[0]);
        }
        if (Ends[1] >= 0) {
            ::close(Ends[1]);
        }
        return false;
    }
    return true;
}

int OpenPidFd(pid_t Pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, Pid, 0));
#else
    return -1;
#endif
}

// The tail of a command's output as one log line: line ends shown as " | ", other control
// characters as spaces, a UTF-8 sequence cut at the front left out.
std::string OneLine(const std::string& Tail) {
    size_t start = 0;
    while (start < Tail.size() && (static_cast<unsigned char>(Tail[start]) & 0xC0) == 0x80) {
        ++start;
    }
    std::string line;
    for (size_t i = start; i < Tail.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(Tail[i]);
        if (c == '\n') {
            line += " | ";
        } else if (c < 0x20 || c == 0x7F) {
            line += ' ';
        } else {
            line += static_cast<char>(c);
        }
    }
    while (!line.empty() && (line.back() == ' ' || line.back() == '|')) {
        line.pop_back();
    }
    const size_t first = line.find_first_not_of(" |");
    return first == std::string::npos ? std::string() : line.substr(first);
}

void CloseFd(int& Fd) {
    if (Fd >= 0) {
        ::close(Fd);
        Fd = -1;
    }
}

}  // namespace

TCommandOutput::TCommandOutput(std::vector<TCommandSettings> Commands, int32_t TimeoutSeconds)
    : FCommands(std::move(Commands)), FTimeoutSeconds(std::max<int32_t>(1, TimeoutSeconds)) {
    FWake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

TCommandOutput::~TCommandOutput() {
    Close();
    CloseFd(FWake);
}

bool TCommandOutput::Wants(const TNotificationEvent& Event) const {
    return std::any_of(FCommands.begin(), FCommands.end(), [&](const TCommandSettings& command) {
        return command.Event == Event.Name();
    });
}

void TCommandOutput::Open() {
    StartSupervisor();
}

void TCommandOutput::StartSupervisor() {
    if (FSupervisor.Running()) {
        return;
    }
    {
        std::lock_guard<std::mutex> guard(FMutex);
        FClosing = false;
    }
    FSupervisor.Start("EventCommands", [this] { Supervise(); });
}

void TCommandOutput::Close() {
    if (!FSupervisor.Running()) {
        return;
    }
    {
        std::lock_guard<std::mutex> guard(FMutex);
        FClosing = true;
    }
    Wake();
    FSupervisor.Join();
}

void TCommandOutput::Wake() {
    const uint64_t one = 1;
    if (FWake >= 0) {
        [[maybe_unused]] const ssize_t written = ::write(FWake, &one, sizeof one);
    }
}

std::string TCommandOutput::Deliver(const TNotificationEvent& Event, TEvent& Stopping) {
    StartSupervisor();
    const std::vector<std::string> environment = EventEnvironment(Event);
    std::string errors;
    for (const TCommandSettings& command : FCommands) {
        if (command.Event != Event.Name()) {
            continue;
        }
        // A command waits here for one of the running ones to end; the program's end wins.
        if (WaitForMultipleObjects({&Stopping, &FSlots}, INFINITE) == WAIT_OBJECT_0) {
            LogMessageFmt("Command %s for %s was not started: the program is ending.",
                          command.Program.c_str(), Event.Name().c_str());
            return errors.empty() ? "the program is ending" : errors + "; the program is ending";
        }
        const std::string error = Start(command, Event, environment);
        if (!error.empty()) {
            FSlots.Release();
            LogMessage(error);
            errors += (errors.empty() ? "" : "; ") + error;
        }
    }
    return errors;
}

std::string TCommandOutput::Start(const TCommandSettings& Command, const TNotificationEvent& Event,
                                  const std::vector<std::string>& Environment) {
    const std::string failure = "Command " + Command.Program + " cannot be started: ";
    if (Command.Program.empty()) {
        return "A command for " + Event.Name() + " cannot be started: no program is given";
    }
    int input[2];
    int output[2];
    if (!MakePipe(input)) {
        return failure + std::strerror(errno);
    }
    if (!MakePipe(output)) {
        const int error = errno;
        ::close(input[0]);
        ::close(input[1]);
        return failure + std::strerror(error);
    }
    // The JSON waits in the pipe before the child exists, so writing never blocks and never
    // meets a reader that has gone. What does not fit the pipe is left out (an event's JSON is
    // far smaller).
    const std::string json = Event.Json() + "\n";
    ::fcntl(input[1], F_SETFL, O_NONBLOCK);
    [[maybe_unused]] const ssize_t written = ::write(input[1], json.data(), json.size());
    ::close(input[1]);
    ::fcntl(output[0], F_SETFL, O_NONBLOCK);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    posix_spawn_file_actions_adddup2(&actions, output[1], 2);
    // Nothing else of the program's reaches the command: not its single-instance lock, not a
    // socket, not another command's pipe.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t all;
    sigset_t none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setsigmask(&attributes, &none);
    // A group of its own, so the time-out ends whatever the command started as well.
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(
        &attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(Command.Program.c_str()));
    for (const std::string& argument : Command.Arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& entry : Environment) {
        envp.push_back(const_cast<char*>(entry.c_str()));
    }
    envp.push_back(nullptr);

    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, Command.Program.c_str(), &actions, &attributes,
                                     argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(input[0]);
    ::close(output[1]);
    if (spawned != 0) {
        ::close(output[0]);
        return failure + std::strerror(spawned);
    }

    TChild child;
    child.Pid = pid;
    child.PidFd = OpenPidFd(pid);
    child.Output = output[0];
    child.Program = Command.Program;
    child.Event = Event.Name();
    child.Deadline = TClock::now() + std::chrono::seconds(FTimeoutSeconds);
    {
        std::lock_guard<std::mutex> guard(FMutex);
        FHandedOver.push_back(std::move(child));
    }
    Wake();
    return {};
}

void TCommandOutput::ReadOutput(TChild& Child) {
    char piece[16384];
    size_t taken = 0;
    while (Child.Output >= 0 && taken < kReadPerPass) {
        const ssize_t got = ::read(Child.Output, piece, sizeof piece);
        if (got > 0) {
            taken += static_cast<size_t>(got);
            Child.Tail.append(piece, static_cast<size_t>(got));
            if (Child.Tail.size() > kTailBytes) {
                Child.Tail.erase(0, Child.Tail.size() - kTailBytes);
            }
        } else if (got == 0) {
            CloseFd(Child.Output);  // every writer has closed it
        } else if (errno != EINTR) {
            return;  // EAGAIN: nothing more for now
        }
    }
}

void TCommandOutput::EndChild(TChild& Child, TClock::time_point Now) {
    if (Child.Terminated) {
        return;
    }
    // The group's number is the command's own: it started the group and is not reaped yet.
    ::kill(-Child.Pid, SIGTERM);
    Child.Terminated = true;
    Child.KillAt = Now + std::chrono::milliseconds(kKillDelayMs);
}

bool TCommandOutput::Reap(TChild& Child) {
    int status = 0;
    pid_t done;
    do {
        done = ::waitpid(Child.Pid, &status, WNOHANG);
    } while (done < 0 && errno == EINTR);
    if (done == 0) {
        return false;
    }
    // What it printed before it ended is in the pipe now; what its own background processes
    // print later is not waited for.
    ReadOutput(Child);
    CloseFd(Child.Output);
    CloseFd(Child.PidFd);
    if (done > 0 && !Child.TimedOut) {
        const std::string tail = OneLine(Child.Tail);
        const std::string quoted =
            tail.empty() ? std::string(" (it printed nothing)") : ": " + tail;
        if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
            LogMessageFmt("Command %s for %s ended with exit status %d%s", Child.Program.c_str(),
                          Child.Event.c_str(), WEXITSTATUS(status), quoted.c_str());
        } else if (WIFSIGNALED(status) && !Child.Terminated) {
            LogMessageFmt("Command %s for %s was ended by signal %d (%s)%s", Child.Program.c_str(),
                          Child.Event.c_str(), WTERMSIG(status), strsignal(WTERMSIG(status)),
                          quoted.c_str());
        }
    }
    FSlots.Release();
    return true;
}

void TCommandOutput::Supervise() {
    bool closing = false;
    TClock::time_point closeGraceEnd;
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(FMutex);
            for (TChild& child : FHandedOver) {
                FChildren.push_back(std::move(child));
            }
            FHandedOver.clear();
            if (FClosing && !closing) {
                closing = true;
                closeGraceEnd = TClock::now() + std::chrono::milliseconds(kCloseGraceMs);
            }
        }

        for (auto it = FChildren.begin(); it != FChildren.end();) {
            ReadOutput(*it);
            it = Reap(*it) ? FChildren.erase(it) : it + 1;
        }
        if (closing && FChildren.empty()) {
            break;
        }

        const TClock::time_point now = TClock::now();
        for (TChild& child : FChildren) {
            if (!child.Terminated && now >= child.Deadline) {
                child.TimedOut = true;
                LogMessageFmt("Command %s for %s ran longer than %d s and was ended.",
                              child.Program.c_str(), child.Event.c_str(), FTimeoutSeconds);
                EndChild(child, now);
            } else if (!child.Terminated && closing && now >= closeGraceEnd) {
                LogMessageFmt("Command %s for %s was still running at the close and was ended.",
                              child.Program.c_str(), child.Event.c_str());
                EndChild(child, now);
            }
            if (child.Terminated && !child.Killed && now >= child.KillAt) {
                ::kill(-child.Pid, SIGKILL);
                child.Killed = true;
            }
        }

        // Sleep until something is printed, a command ends, a command is handed over, the
        // output closes, or the next time limit falls due.
        TClock::time_point next = TClock::time_point::max();
        bool withoutPidFd = false;
        std::vector<pollfd> waits;
        waits.push_back({FWake, POLLIN, 0});
        for (const TChild& child : FChildren) {
            if (child.Output >= 0) {
                waits.push_back({child.Output, POLLIN, 0});
            }
            if (child.PidFd >= 0) {
                waits.push_back({child.PidFd, POLLIN, 0});
            } else {
                withoutPidFd = true;
            }
            if (!child.Terminated) {
                next = std::min(next, child.Deadline);
            } else if (!child.Killed) {
                next = std::min(next, child.KillAt);
            }
        }
        if (closing) {
            next = std::min(next, closeGraceEnd);
        }
        int timeoutMs = -1;
        if (next != TClock::time_point::max()) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count() + 1;
            timeoutMs = static_cast<int>(std::clamp<int64_t>(left, 0, 60000));
        }
        if (withoutPidFd || FWake < 0) {
            timeoutMs = timeoutMs < 0 ? kReapPollMs : std::min(timeoutMs, kReapPollMs);
        }
        ::poll(waits.data(), waits.size(), timeoutMs);
        if (FWake >= 0 && (waits[0].revents & POLLIN) != 0) {
            uint64_t count = 0;
            [[maybe_unused]] const ssize_t got = ::read(FWake, &count, sizeof count);
        }
    }
}
