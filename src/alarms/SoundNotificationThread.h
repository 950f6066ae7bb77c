#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/GstHandle.h"
#include "platform/NamedThread.h"
#include "platform/Sync.h"

class TGraph;

// Plays one zone's alarm file while the zone sees motion. The zone detector raises the
// instant-alarm flag on every frame with motion and lowers it on every frame without; this
// thread starts the file from the beginning when the flag rises, loops it while the flag stays
// up and stops it 3 s after the flag was last seen up. It checks the flag once per cycle
// while the alarm plays or runs out its tail; otherwise it sleeps until the flag rises, a file
// is stored or it is asked to end. A file with video
// is shown full screen through the alarm video presenter (alarms/AlarmVideoPresenter.h) while
// it plays. The object also carries the zone's alarm indicator counter.
//
// The thread ("tdr-alarm") starts running in the constructor; the destructor signals it, waits
// for it, then stops and frees the playback graph if the thread left one behind.
//
// Video sink: when TANDREL_VIDEO_SINK names a sink, that sink renders the alarm video (tests
// use fakesink) and the presenter is still asked to show and hide its window; otherwise the
// video ends in an appsink whose pictures go to the presenter (dropped while none is
// installed). Audio always goes to the default audio sink (TANDREL_AUDIO_SINK).
//
// Threads: SetInstantAlarm is a lock-free word-sized hand-over to this thread. The alarm
// counter (SetAlarmOn, SetAlarmOff, ResetAlarm, AlarmOn) belongs to the frame thread; it is a
// relaxed atomic only so that reading it elsewhere is not a data race. The alarm file name is
// handed over under FCriticalSection, since the thread already runs when it is set. The graph
// is created, driven and normally freed on this thread; the destructor touches it only after
// the thread has ended.
class TSoundNotificationThread {
public:
    TSoundNotificationThread();
    ~TSoundNotificationThread();
    TSoundNotificationThread(const TSoundNotificationThread&) = delete;
    TSoundNotificationThread& operator=(const TSoundNotificationThread&) = delete;

    // Stores an existing file as the alarm file (the thread opens it on its next cycle; a graph
    // that is already open is not replaced); false for a missing file, keeping the old name.
    bool SetInstantAlarmSound(const std::string& FileName);
    bool SetInstantAlarm(bool Alarm);
    // The alarm indicator counter: +1, -1 (not below 0), 0.
    bool SetAlarmOn();
    bool SetAlarmOff();
    bool ResetAlarm();

    const std::string& SoundNotificationName() const { return FSoundNotificationName; }
    void SetSoundNotificationName(const std::string& Value) { FSoundNotificationName = Value; }
    int32_t AlarmOn() const { return FAlarmOn.load(std::memory_order_relaxed); }
    bool InstantAlarm() const { return FInstantAlarm.load(std::memory_order_relaxed); }
    // Length of one cycle's pause in milliseconds while the alarm plays or runs out its tail.
    int32_t RepeatTimeMS() const { return FRepeatTimeMS.load(std::memory_order_relaxed); }
    void SetRepeatTimeMS(int32_t Value);
    bool DoNotInterruptGraph() const { return FDoNotInterruptGraph; }
    void SetDoNotInterruptGraph(bool Value) { FDoNotInterruptGraph = Value; }

    // For diagnostics and tests, from any thread: the playback graph's pipeline while the
    // thread holds one (a new reference), how often the alarm was started ("Alarm On"), how
    // often the file was rewound at its end to loop, and whether the thread body has ended.
    TGstElementHandle PlaybackPipeline() const;
    int32_t AlarmStartCount() const { return FAlarmStartCount.load(std::memory_order_relaxed); }
    int32_t LoopCount() const { return FLoopCount.load(std::memory_order_relaxed); }
    bool Finished() const { return FFinished.load(std::memory_order_acquire); }

private:
    void Execute();
    // Creates the graph and renders the file (prerolled, then stopped); false when the file
    // does not render.
    bool OpenGraph(const std::string& FileName);
    // Stops the graph, hides its video if it was shown, then frees the graph.
    void FreeGraph();
    std::string SoundFileName();

    TEvent FExitEvent{false, false};
    // Set when the flag rises, a file is stored or the repeat time changes.
    TEvent FWakeEvent{false, false};
    std::string FSoundNotificationName = ".Default";
    std::atomic<int32_t> FAlarmOn{0};
    std::atomic<bool> FInstantAlarm{false};
    mutable std::mutex FCriticalSection;
    std::unique_ptr<TGraph> FGraph;
    std::atomic<int32_t> FRepeatTimeMS{500};
    bool FDoNotInterruptGraph = true;
    std::string FSoundFileName;  // guarded by FCriticalSection

    bool FVideoShown = false;         // the presenter was asked for full screen
    TGstElementHandle FPipelineView;  // FGraph's pipeline, guarded by FCriticalSection
    std::atomic<int32_t> FAlarmStartCount{0};
    std::atomic<int32_t> FLoopCount{0};
    std::atomic<bool> FFinished{false};
    TNamedThread FThread;  // last: started after every other member exists
};
