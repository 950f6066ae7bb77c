#pragma once

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/LoopbackListener.h"

// A network camera for tests: MJPEG over HTTP (multipart/x-mixed-replace) on 127.0.0.1, a port
// of its own. Every connection gets the same pictures in a loop at `fps`; with a user name the
// request must carry it and the password (HTTP basic authentication) or is answered 401. It
// stops by itself after `lifetime`, or when destroyed. With a port given it listens there (a
// camera coming back on its address).
class MjpegHttpServer {
public:
    MjpegHttpServer(std::vector<std::string> frames, int fps, std::string user = {},
                    std::string password = {},
                    std::chrono::seconds lifetime = std::chrono::seconds(120), int port = 0)
        : FFrames(std::move(frames)), FFps(fps), FListener(port) {
        if (!user.empty()) {
            gchar* encoded =
                g_base64_encode(reinterpret_cast<const guchar*>((user + ":" + password).data()),
                                user.size() + 1 + password.size());
            FAuthorization = std::string("Basic ") + encoded;
            g_free(encoded);
        }
        const auto deadline = std::chrono::steady_clock::now() + lifetime;
        FThread = std::thread([this, deadline] {
            pthread_setname_np(pthread_self(), "MjpegServer");
            Serve(deadline);
        });
    }
    ~MjpegHttpServer() {
        FStop = true;
        FThread.join();
        std::lock_guard lock(FClientsMutex);
        for (auto& client : FClients) {
            client.join();
        }
    }
    MjpegHttpServer(const MjpegHttpServer&) = delete;
    MjpegHttpServer& operator=(const MjpegHttpServer&) = delete;

    std::string Url(const std::string& path = "/video") const {
        return "http://127.0.0.1:" + std::to_string(FListener.Port()) + path;
    }
    int Port() const { return FListener.Port(); }
    int Connections() const { return FConnections; }

    // `count` JPEG pictures of scrolling colour bars, `width` x `height`.
    static std::vector<std::string> MakeFrames(int width, int height, int count) {
        std::vector<std::string> frames;
        const std::string description =
            "videotestsrc pattern=smpte horizontal-speed=8 num-buffers=" + std::to_string(count) +
            " ! video/x-raw,width=" + std::to_string(width) + ",height=" + std::to_string(height) +
            " ! jpegenc ! appsink name=sink sync=false";
        GstElement* pipeline = gst_parse_launch(description.c_str(), nullptr);
        if (pipeline == nullptr) {
            return frames;
        }
        GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
        gst_element_set_state(pipeline, GST_STATE_PLAYING);
        while (GstSample* sample =
                   gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 10 * GST_SECOND)) {
            GstMapInfo map;
            GstBuffer* buffer = gst_sample_get_buffer(sample);
            if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
                frames.emplace_back(reinterpret_cast<const char*>(map.data), map.size);
                gst_buffer_unmap(buffer, &map);
            }
            gst_sample_unref(sample);
        }
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(sink);
        gst_object_unref(pipeline);
        return frames;
    }

private:
    void Serve(std::chrono::steady_clock::time_point deadline) {
        while (!FStop && std::chrono::steady_clock::now() < deadline) {
            const int client = FListener.Accept(50);
            if (client < 0) {
                continue;
            }
            ++FConnections;
            std::lock_guard lock(FClientsMutex);
            FClients.emplace_back([this, client, deadline] {
                pthread_setname_np(pthread_self(), "MjpegClient");
                ServeClient(client, deadline);
                ::close(client);
            });
        }
        FStop = true;
    }

    bool Send(int client, const std::string& data) {
        size_t sent = 0;
        while (sent < data.size() && !FStop) {
            pollfd p{client, POLLOUT, 0};
            if (::poll(&p, 1, 50) <= 0) {
                continue;
            }
            const ssize_t n = ::send(client, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) {
                return false;
            }
            sent += static_cast<size_t>(n);
        }
        return sent == data.size();
    }

    void ServeClient(int client, std::chrono::steady_clock::time_point deadline) {
        std::string request;
        char buffer[1024];
        while (request.find("\r\n\r\n") == std::string::npos && request.size() < 16384 && !FStop &&
               std::chrono::steady_clock::now() < deadline) {
            pollfd p{client, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) {
                continue;
            }
            const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
            if (n <= 0) {
                return;
            }
            request.append(buffer, static_cast<size_t>(n));
        }
        if (!FAuthorization.empty() &&
            request.find("Authorization: " + FAuthorization + "\r\n") == std::string::npos) {
            Send(client,
                 "HTTP/1.0 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"camera\"\r\n"
                 "Content-Length: 0\r\nConnection: close\r\n\r\n");
            return;
        }
        if (!Send(client,
                  "HTTP/1.0 200 OK\r\nContent-Type: multipart/x-mixed-replace; boundary=frame\r\n"
                  "Cache-Control: no-cache\r\nConnection: close\r\n\r\n")) {
            return;
        }
        const auto interval = std::chrono::microseconds(1'000'000 / FFps);
        auto next = std::chrono::steady_clock::now();
        for (size_t i = 0;
             !FStop && std::chrono::steady_clock::now() < deadline && !FFrames.empty(); ++i) {
            const std::string& frame = FFrames[i % FFrames.size()];
            const std::string part = "--frame\r\nContent-Type: image/jpeg\r\nContent-Length: " +
                                     std::to_string(frame.size()) + "\r\n\r\n" + frame + "\r\n";
            if (!Send(client, part)) {
                return;
            }
            next += interval;
            while (!FStop && std::chrono::steady_clock::now() < next) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
    }

    const std::vector<std::string> FFrames;
    const int FFps;
    std::string FAuthorization;
    LoopbackListener FListener;
    std::atomic<bool> FStop{false};
    std::atomic<int> FConnections{0};
    std::thread FThread;
    std::mutex FClientsMutex;
    std::vector<std::thread> FClients;
};
