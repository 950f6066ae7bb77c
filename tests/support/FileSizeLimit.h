#pragma once

#include <sys/resource.h>

#include <csignal>

// The process may write files of at most Bytes bytes while it lives; a write beyond fails as on
// a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t Bytes) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGXFSZ, &ignore, &FPreviousAction);
        getrlimit(RLIMIT_FSIZE, &FPrevious);
        rlimit small = FPrevious;
        small.rlim_cur = Bytes;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() { Lift(); }
    void Lift() {
        if (!FLifted) {
            FLifted = true;
            setrlimit(RLIMIT_FSIZE, &FPrevious);
            sigaction(SIGXFSZ, &FPreviousAction, nullptr);
        }
    }

private:
    rlimit FPrevious{};
    struct sigaction FPreviousAction {};
    bool FLifted = false;
};
