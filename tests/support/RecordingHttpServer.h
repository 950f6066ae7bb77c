#pragma once

#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/LoopbackListener.h"

// An HTTP server on 127.0.0.1 (a port of its own) that records every request it reads (request
// line, headers, body) and answers them in turn with scripted answers; once the script is used
// up every request gets the default answer. One connection per request ("Connection: close").
class RecordingHttpServer {
public:
    struct TAnswer {
        int Status = 200;
        // Reads the request, then sends nothing and holds the connection until the server ends.
        bool Stall = false;
        // Reads the request, then closes the connection without an answer.
        bool Close = false;
    };
    struct TRequest {
        std::string Line;                            // "POST /hook HTTP/1.1"
        std::map<std::string, std::string> Headers;  // names in lower case
        std::string Body;

        std::string Header(const std::string& Name) const {
            const auto found = Headers.find(Name);
            return found == Headers.end() ? std::string() : found->second;
        }
        bool Has(const std::string& Name) const { return Headers.count(Name) != 0; }
    };

    RecordingHttpServer() : RecordingHttpServer(std::vector<TAnswer>{}) {}
    explicit RecordingHttpServer(std::vector<TAnswer> Script)
        : RecordingHttpServer(std::move(Script), TAnswer{200}) {}
    RecordingHttpServer(std::vector<TAnswer> Script, TAnswer Default)
        : FScript(Script.begin(), Script.end()), FDefault(Default) {
        FThread = std::thread([this] {
            pthread_setname_np(pthread_self(), "RecordingHttp");
            Serve();
        });
    }
    ~RecordingHttpServer() {
        FStop = true;
        FThread.join();
    }
    RecordingHttpServer(const RecordingHttpServer&) = delete;
    RecordingHttpServer& operator=(const RecordingHttpServer&) = delete;

    int Port() const { return FListener.Port(); }
    std::string Url(const std::string& Path) const {
        return "http://127.0.0.1:" + std::to_string(Port()) + Path;
    }
    std::vector<TRequest> Requests() const {
        std::lock_guard lock(FMutex);
        return FRequests;
    }
    // Waits until Count requests have been read; false on time-out.
    bool WaitRequests(size_t Count, std::chrono::milliseconds Timeout) const {
        std::unique_lock lock(FMutex);
        return FChanged.wait_for(lock, Timeout, [&] { return FRequests.size() >= Count; });
    }

private:
    void Serve() {
        std::vector<int> held;
        while (!FStop) {
            const int client = FListener.Accept(20);
            if (client < 0) {
                continue;
            }
            TRequest request;
            if (!Read(client, request)) {
                ::close(client);
                continue;
            }
            TAnswer answer = FDefault;
            {
                std::lock_guard lock(FMutex);
                FRequests.push_back(std::move(request));
                if (!FScript.empty()) {
                    answer = FScript.front();
                    FScript.pop_front();
                }
            }
            FChanged.notify_all();
            if (answer.Stall) {
                held.push_back(client);
                continue;
            }
            if (!answer.Close) {
                const std::string reply = "HTTP/1.1 " + std::to_string(answer.Status) +
                                          " X\r\nConnection: close\r\nContent-Length: 2\r\n\r\nok";
                ::send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
            }
            ::close(client);
        }
        for (const int client : held) {
            ::close(client);
        }
    }

    // Reads the head and a body of Content-Length bytes.
    static bool Read(int Client, TRequest& Request) {
        std::string data;
        size_t headEnd = std::string::npos;
        size_t length = 0;
        for (;;) {
            if (headEnd == std::string::npos) {
                headEnd = data.find("\r\n\r\n");
                if (headEnd != std::string::npos) {
                    ParseHead(data.substr(0, headEnd), Request);
                    length = std::stoul("0" + Request.Header("content-length"));
                }
            }
            if (headEnd != std::string::npos && data.size() >= headEnd + 4 + length) {
                Request.Body = data.substr(headEnd + 4, length);
                return true;
            }
            pollfd wait{Client, POLLIN, 0};
            if (::poll(&wait, 1, 3000) <= 0) {
                return false;
            }
            char piece[16384];
            const ssize_t got = ::recv(Client, piece, sizeof piece, 0);
            if (got <= 0) {
                return false;
            }
            data.append(piece, static_cast<size_t>(got));
        }
    }

    static void ParseHead(const std::string& Head, TRequest& Request) {
        size_t start = 0;
        bool first = true;
        while (start <= Head.size()) {
            size_t end = Head.find("\r\n", start);
            if (end == std::string::npos) {
                end = Head.size();
            }
            const std::string line = Head.substr(start, end - start);
            if (first) {
                Request.Line = line;
                first = false;
            } else if (const size_t colon = line.find(':'); colon != std::string::npos) {
                std::string name = line.substr(0, colon);
                std::transform(name.begin(), name.end(), name.begin(),
                               [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
                const size_t value = line.find_first_not_of(' ', colon + 1);
                Request.Headers[name] = value == std::string::npos ? "" : line.substr(value);
            }
            start = end + 2;
        }
    }

    LoopbackListener FListener;
    mutable std::mutex FMutex;
    mutable std::condition_variable FChanged;
    std::deque<TAnswer> FScript;  // FMutex
    const TAnswer FDefault;
    std::vector<TRequest> FRequests;  // FMutex
    std::atomic<bool> FStop{false};
    std::thread FThread;
};
