#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <stdexcept>

// A listening TCP socket on 127.0.0.1 with a port of its own, for the tests' servers. Nothing
// the tests serve is reachable from outside the machine.
// With a port given (a server coming back on the address it had) that port is taken again.
class LoopbackListener {
public:
    explicit LoopbackListener(int port = 0) {
        FSocket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port));
        socklen_t length = sizeof address;
        const int reuse = 1;
        if (FSocket >= 0) {
            ::setsockopt(FSocket, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
        }
        if (FSocket < 0 || ::bind(FSocket, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(FSocket, 8) != 0 ||
            ::getsockname(FSocket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            if (FSocket >= 0) {
                ::close(FSocket);
            }
            throw std::runtime_error("cannot listen on 127.0.0.1");
        }
        FPort = ntohs(address.sin_port);
    }
    ~LoopbackListener() { ::close(FSocket); }
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    int Port() const { return FPort; }

    // The next connection, or -1 when none comes within `timeoutMs`.
    int Accept(int timeoutMs) const {
        pollfd wait{FSocket, POLLIN, 0};
        if (::poll(&wait, 1, timeoutMs) <= 0) {
            return -1;
        }
        return ::accept4(FSocket, nullptr, nullptr, SOCK_CLOEXEC);
    }

private:
    int FSocket = -1;
    int FPort = 0;
};
