#pragma once

#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/LoopbackListener.h"

// A tiny HTTP server on 127.0.0.1 (a port of its own) for download tests. It answers each path
// with a scripted reply, serves at most MaxRequests connections and stops by itself after
// Lifetime, or when destroyed. Paths without a reply get 404.
class LoopbackHttpServer {
public:
    struct TReply {
        int Status = 200;
        std::string Body;
        // Without a length the body ends when the connection closes.
        bool SendLength = true;
        // Accepts the request and then sends nothing (or only the headers) until stopped.
        bool Stall = false;
        bool StallAfterHeaders = false;
    };

    explicit LoopbackHttpServer(std::map<std::string, TReply> replies, int maxRequests = 16,
                                std::chrono::seconds lifetime = std::chrono::seconds(30))
        : FReplies(std::move(replies)), FMaxRequests(maxRequests) {
        const auto deadline = std::chrono::steady_clock::now() + lifetime;
        FThread = std::thread([this, deadline] {
            pthread_setname_np(pthread_self(), "HttpServer");
            Serve(deadline);
        });
    }
    ~LoopbackHttpServer() {
        FStop = true;
        FThread.join();
    }
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    std::string Base() const { return "http://127.0.0.1:" + std::to_string(FListener.Port()); }
    std::string Url(const std::string& path) const { return Base() + path; }
    int Connections() const { return FConnections; }
    std::vector<std::string> Paths() const {
        std::lock_guard lock(FMutex);
        return FPaths;
    }
    std::vector<std::string> Agents() const {
        std::lock_guard lock(FMutex);
        return FAgents;
    }

private:
    void Serve(std::chrono::steady_clock::time_point deadline) {
        std::vector<int> held;
        while (!FStop && std::chrono::steady_clock::now() < deadline) {
            const int client = FListener.Accept(20);
            if (client < 0) {
                continue;
            }
            ++FConnections;
            if (FConnections > FMaxRequests) {
                ::close(client);
                continue;
            }
            if (Answer(client)) {
                held.push_back(client);
            } else {
                ::close(client);
            }
        }
        for (const int client : held) {
            ::close(client);
        }
    }

    // Returns true when the connection is to be held open (a stalling reply).
    bool Answer(int client) {
        std::string request;
        char piece[1024];
        while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
            pollfd wait{client, POLLIN, 0};
            if (::poll(&wait, 1, 2000) <= 0) {
                return false;
            }
            const ssize_t got = ::recv(client, piece, sizeof piece, 0);
            if (got <= 0) {
                return false;
            }
            request.append(piece, static_cast<size_t>(got));
        }
        const size_t pathStart = request.find(' ') + 1;
        const std::string path =
            request.substr(pathStart, request.find(' ', pathStart) - pathStart);
        std::string agent;
        const size_t agentAt = request.find("User-Agent: ");
        if (agentAt != std::string::npos) {
            agent = request.substr(agentAt + 12, request.find("\r\n", agentAt) - agentAt - 12);
        }
        {
            std::lock_guard lock(FMutex);
            FPaths.push_back(path);
            FAgents.push_back(agent);
        }
        const auto found = FReplies.find(path);
        const TReply reply = found != FReplies.end() ? found->second : TReply{404, "missing"};
        if (reply.Stall) {
            return true;
        }
        std::string head =
            "HTTP/1.1 " + std::to_string(reply.Status) + " X\r\nConnection: close\r\n";
        if (reply.SendLength) {
            head += "Content-Length: " + std::to_string(reply.Body.size()) + "\r\n";
        }
        head += "\r\n";
        Send(client, head);
        if (reply.StallAfterHeaders) {
            return true;
        }
        Send(client, reply.Body);
        return false;
    }

    static void Send(int client, const std::string& data) {
        size_t sent = 0;
        while (sent < data.size()) {
            const ssize_t n = ::send(client, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) {
                return;
            }
            sent += static_cast<size_t>(n);
        }
    }

    std::map<std::string, TReply> FReplies;
    int FMaxRequests;
    LoopbackListener FListener;
    std::atomic<bool> FStop{false};
    std::atomic<int> FConnections{0};
    mutable std::mutex FMutex;
    std::vector<std::string> FPaths;
    std::vector<std::string> FAgents;
    std::thread FThread;
};
