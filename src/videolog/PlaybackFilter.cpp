#include "videolog/PlaybackFilter.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include "platform/Diagnostics.h"
#include "videolog/PlaybackPreferredFilters.h"
#include "videolog/PlaybackSession.h"

// Every operation runs on the caller's thread; the pump it passes may run the caller's event
// loop while an operation waits, and that event loop may call in again. Calls that would
// change the pipeline under a waiting operation are refused (FWaiting); reading calls answer.
struct TPlaybackFilter::TImpl {
    TPlaybackWaitPump Pump;
    TPlaybackPreferredFilters Preferred;
    std::unique_ptr<TPlaybackSession> Session;
    bool Waiting = false;
    int32_t MediaAnalysisKind = 0;
    bool MediaAnalysis = false;

    // Marks an operation that may wait (and pump) for the time it runs.
    class TWaitScope {
    public:
        explicit TWaitScope(TImpl& impl) : FImpl(impl) { FImpl.Waiting = true; }
        ~TWaitScope() { FImpl.Waiting = false; }
        TWaitScope(const TWaitScope&) = delete;
        TWaitScope& operator=(const TWaitScope&) = delete;

    private:
        TImpl& FImpl;
    };

    // A copy, so a pump replaced from inside the pump does not pull the function away.
    TPlaybackSession::TPump PumpCopy() const { return Pump; }

    // Runs a session operation that may wait: refused while another one waits, failed without
    // a session, and `FailureLine` logged if it throws.
    template <typename TOperation>
    HRESULT RunWaiting(const char* FailureLine, TOperation&& Operation) {
        try {
            if (Waiting) {
                return E_UNEXPECTED;
            }
            if (!Session) {
                return E_FAIL;
            }
            TWaitScope waiting(*this);
            return Operation(*Session, PumpCopy());
        } catch (...) {
            LogMessage(FailureLine);
            return E_FAIL;
        }
    }
};

namespace {

// Why the file cannot be opened for playback; empty when it can.
std::string FileProblem(const std::string& FileName) {
    std::error_code error;
    const auto status = std::filesystem::status(FileName, error);
    if (error || !std::filesystem::exists(status)) {
        return "file not found";
    }
    if (!std::filesystem::is_regular_file(status)) {
        return "not a file";
    }
    if (std::filesystem::file_size(FileName, error) == 0 || error) {
        return "empty file";
    }
    const int fd = ::open(FileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return "file cannot be read";
    }
    ::close(fd);
    return {};
}

}  // namespace

TPlaybackFilter::TPlaybackFilter() : FImpl(std::make_unique<TImpl>()) {}

TPlaybackFilter::~TPlaybackFilter() {
    try {
        FImpl->Session.reset();
    } catch (...) {
        LogMessage("Error in TPlaybackFilter.Destroy call...");
    }
}

void TPlaybackFilter::SetWaitPump(TPlaybackWaitPump Pump) {
    FImpl->Pump = std::move(Pump);
}

HRESULT TPlaybackFilter::InitializeGraph() {
    try {
        if (FImpl->Waiting) {
            return E_UNEXPECTED;
        }
        FImpl->Session.reset();
        return S_OK;
    } catch (...) {
        LogMessage("Error in TPlaybackFilter.InitializeGraph call...");
        return E_FAIL;
    }
}

HRESULT TPlaybackFilter::RenderFile(const std::string& FileName) {
    try {
        if (FImpl->Waiting) {
            return E_UNEXPECTED;
        }
        FImpl->Session.reset();
        const std::string problem = FileProblem(FileName);
        if (!problem.empty()) {
            LogMessage("Error in TPlaybackFilter.RenderFile - " + problem + ": " + FileName + ".");
            return E_FAIL;
        }
        TImpl::TWaitScope waiting(*FImpl);
        std::string failure;
        FImpl->Session =
            TPlaybackSession::Open(FileName, FImpl->Preferred, FImpl->PumpCopy(), failure);
        if (!FImpl->Session) {
            LogMessage("Error in TPlaybackFilter.RenderFile - cannot play " + FileName + ": " +
                       failure + ".");
            return E_FAIL;
        }
        return S_OK;
    } catch (...) {
        FImpl->Session.reset();
        LogMessage("Error in TPlaybackFilter.RenderFile call...");
        return E_FAIL;
    }
}

HRESULT TPlaybackFilter::EjectFile() {
    try {
        if (FImpl->Waiting) {
            return E_UNEXPECTED;
        }
        FImpl->Session.reset();
        return S_OK;
    } catch (...) {
        LogMessage("Error in TPlaybackFilter.EjectFile call...");
        return E_FAIL;
    }
}

HRESULT TPlaybackFilter::GetDuration(int64_t& Duration) {
    try {
        return FImpl->Session ? FImpl->Session->GetDuration(Duration) : E_FAIL;
    } catch (...) {
        LogMessage("Error in TPlaybackFilter.GetDuration call...");
        return E_FAIL;
    }
}

HRESULT TPlaybackFilter::GetPosition(int64_t& Position) {
    try {
        return FImpl->Session ? FImpl->Session->GetPosition(Position) : E_FAIL;
    } catch (...) {
        LogMessage("Error in TPlaybackFilter.GetPosition call...");
        return E_FAIL;
    }
}

HRESULT TPlaybackFilter::Play() {
    return FImpl->RunWaiting("Error in TPlaybackFilter.Play call...",
                             [&](TPlaybackSession& session, TPlaybackSession::TPump pump) {
                                 return session.Play(pump);
                             });
}

HRESULT TPlaybackFilter::Pause() {
    return FImpl->RunWaiting("Error in TPlaybackFilter.Pause call...",
                             [&](TPlaybackSession& session, TPlaybackSession::TPump pump) {
                                 return session.Pause(pump);
                             });
}

HRESULT TPlaybackFilter::Stop() {
    return FImpl->RunWaiting("Error in TPlaybackFilter.Stop call...",
                             [&](TPlaybackSession& session, TPlaybackSession::TPump pump) {
                                 return session.Stop(pump);
                             });
}

HRESULT TPlaybackFilter::GetVideoWindowsCount(uint32_t& Count) {
    try {
        if (!FImpl->Session) {
            return E_FAIL;
        }
        Count = static_cast<uint32_t>(FImpl->Session->Windows().size());
        return S_OK;
    } catch (...) {
        LogMessage("Error in TPlaybackFilter.GetVideoWindowsCount call...");
        return E_FAIL;
    }
}

HRESULT TPlaybackFilter::GetVideoWindow(uint32_t Index, TPlaybackVideoWindow*& Window,
                                        uint32_t& ProgramID, uint32_t& VideoPID) {
    try {
        if (!FImpl->Session) {
            return E_FAIL;
        }
        const auto& windows = FImpl->Session->Windows();
        if (Index >= windows.size()) {
            return E_INVALIDARG;
        }
        Window = windows[Index].get();
        ProgramID = windows[Index]->ProgramID();
        VideoPID = windows[Index]->VideoPID();
        return S_OK;
    } catch (...) {
        LogMessage("Error in TPlaybackFilter.GetVideoWindow call...");
        return E_FAIL;
    }
}

HRESULT TPlaybackFilter::AddPreferredFilter(int32_t FilterType, const TGUID& FilterGUID) {
    try {
        FImpl->Preferred.Add(FilterType, FilterGUID);
        return S_OK;
    } catch (...) {
        LogMessage("Error in TPlaybackFilter.AddPreferredFilter call...");
        return E_FAIL;
    }
}

HRESULT TPlaybackFilter::GetAvgTimePerFrame(int64_t& AvgTimePerFrame) {
    try {
        if (!FImpl->Session) {
            return E_FAIL;
        }
        AvgTimePerFrame = FImpl->Session->AvgTimePerFrame();
        return S_OK;
    } catch (...) {
        LogMessage("Error in TPlaybackFilter.GetAvgTimePerFrame call...");
        return E_FAIL;
    }
}

HRESULT TPlaybackFilter::SetPosition(int64_t Position) {
    return FImpl->RunWaiting("Error in TPlaybackFilter.SetPosition call...",
                             [&](TPlaybackSession& session, TPlaybackSession::TPump pump) {
                                 return session.SetPosition(Position, pump);
                             });
}

HRESULT TPlaybackFilter::StepFrames(uint32_t Count, uint32_t) {
    return FImpl->RunWaiting("Error in TPlaybackFilter.StepFrames call...",
                             [&](TPlaybackSession& session, TPlaybackSession::TPump pump) {
                                 return session.StepFrames(Count, pump);
                             });
}

HRESULT TPlaybackFilter::GetPCMVolumeControlsCount(uint32_t& Count) {
    try {
        if (!FImpl->Session) {
            return E_FAIL;
        }
        Count = static_cast<uint32_t>(FImpl->Session->Volumes().size());
        return S_OK;
    } catch (...) {
        LogMessage("Error in TPlaybackFilter.GetPCMVolumeControlsCount call...");
        return E_FAIL;
    }
}

HRESULT TPlaybackFilter::GetPCMVolumeControlInterface(uint32_t Index, TPCMVolumeControl*& Control,
                                                      uint32_t& Unused, uint32_t& AudioPID) {
    try {
        if (!FImpl->Session) {
            return E_FAIL;
        }
        const auto& volumes = FImpl->Session->Volumes();
        if (Index >= volumes.size()) {
            return E_INVALIDARG;
        }
        Control = volumes[Index].get();
        Unused = 0;
        AudioPID = volumes[Index]->AudioPID();
        return S_OK;
    } catch (...) {
        LogMessage("Error in TPlaybackFilter.GetPCMVolumeControlInterface call...");
        return E_FAIL;
    }
}

HRESULT TPlaybackFilter::SetMediaAnalysis(int32_t Kind, bool Enable) {
    FImpl->MediaAnalysisKind = Kind;
    FImpl->MediaAnalysis = Enable;
    return S_OK;
}

bool TPlaybackFilter::EndOfStream() const {
    return FImpl->Session && FImpl->Session->EndOfStream();
}

bool TPlaybackFilter::ErrorReported() const {
    return FImpl->Session && FImpl->Session->ErrorReported();
}
