#pragma once

#include <glib-object.h>

#include <atomic>
#include <memory>
#include <string>

#include "platform/NamedThread.h"

typedef struct _GstRTSPServer GstRTSPServer;

// A network camera for tests: GStreamer's RTSP server on 127.0.0.1 (a port of its own) serving a
// live moving ball as H.264 (or, with `Mjpeg`, as JPEG pictures) at "/cam". With a user name a
// client must give it and the password (basic authentication) or is answered 401; with `TcpOnly`
// the stream is offered only interleaved in the RTSP connection, so a client asking for UDP is
// refused that transport. The server runs on its own main-loop thread, which the destructor stops
// and joins.
class RtspTestServer {
public:
    struct TOptions {
        int Width = 320;
        int Height = 240;
        int Fps = 15;
        std::string User;
        std::string Password;
        bool TcpOnly = false;
        int Port = 0;  // 0: any free port
        bool Mjpeg = false;
    };

    explicit RtspTestServer(const TOptions& options);
    ~RtspTestServer();
    RtspTestServer(const RtspTestServer&) = delete;
    RtspTestServer& operator=(const RtspTestServer&) = delete;

    // False when the server could not be started (an element missing, no port).
    bool Running() const { return FPort > 0; }
    int Port() const { return FPort; }
    std::string Url(const std::string& path = "/cam") const;
    // Connections the server accepted so far.
    int Connections() const { return FConnections; }

    // Whether the elements of the served stream are installed.
    static bool CanServe();

private:
    struct TUnref {
        void operator()(GMainContext* context) const { g_main_context_unref(context); }
        void operator()(GMainLoop* loop) const { g_main_loop_unref(loop); }
        void operator()(GstRTSPServer* server) const { g_object_unref(server); }
    };

    bool Configure(const TOptions& options);
    static void OnClientConnected(GstRTSPServer*, gpointer client, gpointer self);
    static gboolean Shutdown(gpointer self);

    std::unique_ptr<GMainContext, TUnref> FContext;
    std::unique_ptr<GMainLoop, TUnref> FLoop;
    std::unique_ptr<GstRTSPServer, TUnref> FServer;
    guint FSource = 0;
    int FPort = 0;
    std::atomic<int> FConnections{0};
    TNamedThread FThread;
};
