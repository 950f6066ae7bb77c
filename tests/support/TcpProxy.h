#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "support/LoopbackListener.h"

// Passes TCP connections from a port of its own on 127.0.0.1 to another loopback port, and can
// cut every connection at once (reset, as when a network goes away) while it goes on taking
// new ones. Tests put it between a client and a server to break their connection.
class TcpProxy {
public:
    explicit TcpProxy(int TargetPort) : FTargetPort(TargetPort) {
        if (::pipe2(FWake, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe2 failed");
        }
        FThread = std::thread([this] {
            pthread_setname_np(pthread_self(), "TcpProxy");
            Serve();
        });
    }
    ~TcpProxy() {
        Command('q');
        FThread.join();
        ::close(FWake[0]);
        ::close(FWake[1]);
    }
    TcpProxy(const TcpProxy&) = delete;
    TcpProxy& operator=(const TcpProxy&) = delete;

    int Port() const { return FListener.Port(); }
    // Resets every connection passed so far.
    void Cut() { Command('c'); }

private:
    void Command(char Code) {
        while (::write(FWake[1], &Code, 1) < 0 && errno == EINTR) {
        }
    }

    int Connect() const {
        const int target = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(FTargetPort));
        if (::connect(target, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(target);
            return -1;
        }
        return target;
    }

    static void Reset(int Socket) {
        const linger abort{1, 0};
        ::setsockopt(Socket, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        ::close(Socket);
    }

    // Copies what one side has to the other; false when the connection has ended.
    static bool Pass(int From, int To) {
        char buffer[16384];
        const ssize_t got = ::recv(From, buffer, sizeof buffer, 0);
        if (got <= 0) {
            return false;
        }
        for (ssize_t sent = 0; sent < got;) {
            const ssize_t done =
                ::send(To, buffer + sent, static_cast<size_t>(got - sent), MSG_NOSIGNAL);
            if (done <= 0) {
                return false;
            }
            sent += done;
        }
        return true;
    }

    void Serve() {
        std::vector<std::pair<int, int>> pairs;  // client, target
        for (;;) {
            std::vector<pollfd> waits = {{FWake[0], POLLIN, 0}};
            for (const auto& [client, target] : pairs) {
                waits.push_back({client, POLLIN, 0});
                waits.push_back({target, POLLIN, 0});
            }
            const int client = FListener.Accept(0);
            if (client >= 0) {
                const int target = Connect();
                if (target >= 0) {
                    pairs.emplace_back(client, target);
                } else {
                    Reset(client);
                }
                continue;
            }
            if (::poll(waits.data(), waits.size(), 20) < 0 && errno != EINTR) {
                break;
            }
            if (waits[0].revents != 0) {
                char code = 0;
                if (::read(FWake[0], &code, 1) == 1) {
                    for (const auto& [client, target] : pairs) {
                        Reset(client);
                        Reset(target);
                    }
                    pairs.clear();
                    if (code == 'q') {
                        return;
                    }
                }
                continue;
            }
            std::vector<std::pair<int, int>> open;
            for (size_t i = 0; i < pairs.size(); ++i) {
                const auto [client, target] = pairs[i];
                const bool ended = (waits[1 + 2 * i].revents != 0 && !Pass(client, target)) ||
                                   (waits[2 + 2 * i].revents != 0 && !Pass(target, client));
                if (ended) {
                    Reset(client);
                    Reset(target);
                } else {
                    open.push_back(pairs[i]);
                }
            }
            pairs = std::move(open);
        }
    }

    LoopbackListener FListener;
    const int FTargetPort;
    int FWake[2] = {-1, -1};
    std::thread FThread;
};
