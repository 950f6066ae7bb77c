#pragma once

#include <unistd.h>

#include <utility>

// An open file descriptor with one owner: closed when the owner goes, handed on by moving.
class TUniqueFd {
public:
    TUniqueFd() = default;
    explicit TUniqueFd(int Fd) : FFd(Fd) {}
    TUniqueFd(TUniqueFd&& Other) noexcept : FFd(Other.Release()) {}
    TUniqueFd& operator=(TUniqueFd&& Other) noexcept {
        if (this != &Other) {
            Reset(Other.Release());
        }
        return *this;
    }
    TUniqueFd(const TUniqueFd&) = delete;
    TUniqueFd& operator=(const TUniqueFd&) = delete;
    ~TUniqueFd() { Reset(); }

    int Get() const { return FFd; }
    bool Valid() const { return FFd >= 0; }
    explicit operator bool() const { return Valid(); }
    // Gives up ownership: the caller closes the descriptor.
    int Release() { return std::exchange(FFd, -1); }
    void Reset(int Fd = -1) {
        if (FFd >= 0) {
            ::close(FFd);
        }
        FFd = Fd;
    }

private:
    int FFd = -1;
};
