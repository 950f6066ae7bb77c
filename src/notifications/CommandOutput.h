#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "notifications/EventOutput.h"
#include "notifications/NotificationSettings.h"
#include "platform/NamedThread.h"
#include "platform/Sync.h"

// Runs the owner's programs for events. Each command of an event is started directly (no
// shell) with the program's environment plus TANDREL_EVENT, TANDREL_TIME and TANDREL_<KEY> for
// every value of the event, the event's JSON on standard input, no descriptor but 0, 1 and 2,
// default signal handling, an empty signal mask, and a process group of its own.
//
// At most kMaxRunning commands run at a time; Deliver waits for a free slot (or the program's
// end). The supervisor thread ("EventCommands") reads what the commands print (keeping the last
// kTailBytes for the log), reaps them, and ends a command still running after the time-out:
// SIGTERM to its process group, SIGKILL kKillDelayMs later. A non-zero exit status is logged with
// the program's name and the tail of its output; the arguments are never logged (they may hold
// secrets).
//
// Deliver returns once the event's commands are started: its result says whether they could be
// started, not how they ended.
//
// Close (and the destructor, when Close was not called) gives the commands still running
// kCloseGraceMs to end on their own, then ends them like the time-out does, reaps every one and
// joins the supervisor: no command outlives the output unwatched and no zombie is left. A
// command's own background processes that outlive it are left alone.
//
// Threads: Wants and Name on any thread; Open, Deliver and Close on the output's thread (or one
// worker calling Deliver without Open); the supervisor runs Supervise. FMutex guards FHandedOver
// and FClosing; FChildren belongs to the supervisor alone. FSlots counts the free slots: Deliver
// takes one, the supervisor gives it back when it has reaped the command. The supervisor is
// woken through FWake (an eventfd) when a command is handed over or the output closes.
class TCommandOutput : public TEventOutput {
public:
    static constexpr int32_t kMaxRunning = 4;
    static constexpr size_t kTailBytes = 2048;
    static constexpr uint32_t kKillDelayMs = 2000;
    static constexpr uint32_t kCloseGraceMs = 1000;

    // TimeoutSeconds below 1 count as 1.
    TCommandOutput(std::vector<TCommandSettings> Commands, int32_t TimeoutSeconds);
    ~TCommandOutput() override;
    TCommandOutput(const TCommandOutput&) = delete;
    TCommandOutput& operator=(const TCommandOutput&) = delete;

    std::string Name() const override { return "commands"; }
    bool Wants(const TNotificationEvent& Event) const override;
    void Open() override;
    std::string Deliver(const TNotificationEvent& Event, TEvent& Stopping) override;
    void Close() override;

private:
    using TClock = std::chrono::steady_clock;
    struct TChild {
        pid_t Pid = -1;
        int PidFd = -1;   // readable once the command has ended; -1 where the kernel has none
        int Output = -1;  // read end of the pipe behind its standard output and error
        std::string Program;
        std::string Event;
        std::string Tail;  // the last kTailBytes it printed
        TClock::time_point Deadline;
        TClock::time_point KillAt;
        bool TimedOut = false;
        bool Terminated = false;  // SIGTERM was sent
        bool Killed = false;      // SIGKILL was sent
    };

    // Starts one command; the empty text, or why it could not be started.
    std::string Start(const TCommandSettings& Command, const TNotificationEvent& Event,
                      const std::vector<std::string>& Environment);
    void StartSupervisor();
    void Supervise();
    void ReadOutput(TChild& Child);
    // Sends SIGTERM to the command's process group, SIGKILL kKillDelayMs later.
    void EndChild(TChild& Child, TClock::time_point Now);
    // Reaps the command when it has ended; true then (its slot is given back).
    bool Reap(TChild& Child);
    void Wake();

    const std::vector<TCommandSettings> FCommands;
    const int32_t FTimeoutSeconds;
    TSemaphore FSlots{kMaxRunning, kMaxRunning};
    int FWake = -1;            // eventfd; written by any thread, read by the supervisor
    TNamedThread FSupervisor;  // started and joined on the output's thread

    std::mutex FMutex;
    std::vector<TChild> FHandedOver;  // started, not yet taken by the supervisor (FMutex)
    bool FClosing = false;            // (FMutex)

    std::vector<TChild> FChildren;  // the supervisor's alone
};
