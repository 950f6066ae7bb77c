#include "support/RtspTestServer.h"

#include <string>

#include <gst/gst.h>
#include <gst/rtsp-server/rtsp-server.h>

namespace {

GstRTSPFilterResult RemoveClient(GstRTSPServer*, GstRTSPClient*, gpointer) {
    return GST_RTSP_FILTER_REMOVE;
}

gboolean QuitLoop(gpointer loop) {
    g_main_loop_quit(static_cast<GMainLoop*>(loop));
    return G_SOURCE_REMOVE;
}

}  // namespace

bool RtspTestServer::CanServe() {
    for (const char* name : {"videotestsrc", "x264enc", "rtph264pay", "rtspsrc", "avdec_h264",
                             "jpegenc", "rtpjpegpay", "rtpjpegdepay", "jpegdec"}) {
        GstElementFactory* factory = gst_element_factory_find(name);
        if (factory == nullptr) {
            return false;
        }
        gst_object_unref(factory);
    }
    return true;
}

RtspTestServer::RtspTestServer(const TOptions& options)
    : FContext(g_main_context_new()),
      FLoop(g_main_loop_new(FContext.get(), FALSE)),
      FServer(gst_rtsp_server_new()) {
    if (!Configure(options)) {
        return;
    }
    FSource = gst_rtsp_server_attach(FServer.get(), FContext.get());
    FPort = FSource != 0 ? gst_rtsp_server_get_bound_port(FServer.get()) : 0;
    if (FPort <= 0) {
        FPort = 0;
        return;
    }
    FThread.Start("RtspTestServer", [this] {
        g_main_context_push_thread_default(FContext.get());
        g_main_loop_run(FLoop.get());
        g_main_context_pop_thread_default(FContext.get());
    });
}

bool RtspTestServer::Configure(const TOptions& options) {
    if (!CanServe()) {
        return false;
    }
    gst_rtsp_server_set_address(FServer.get(), "127.0.0.1");
    gst_rtsp_server_set_service(FServer.get(), std::to_string(options.Port).c_str());
    g_signal_connect(FServer.get(), "client-connected", G_CALLBACK(OnClientConnected), this);

    GstRTSPMediaFactory* factory = gst_rtsp_media_factory_new();
    const std::string launch =
        "( videotestsrc pattern=ball is-live=true ! video/x-raw,width=" +
        std::to_string(options.Width) + ",height=" + std::to_string(options.Height) +
        ",framerate=" + std::to_string(options.Fps) + "/1 ! " +
        // RTP carries JPEG only in 4:2:0 or 4:2:2.
        (options.Mjpeg ? "videoconvert ! video/x-raw,format=I420 ! jpegenc ! "
                         "rtpjpegpay name=pay0 pt=26 )"
                       : "x264enc tune=zerolatency speed-preset=ultrafast key-int-max=10 "
                         "threads=1 ! rtph264pay name=pay0 pt=96 config-interval=-1 )");
    gst_rtsp_media_factory_set_launch(factory, launch.c_str());
    if (options.TcpOnly) {
        gst_rtsp_media_factory_set_protocols(factory, GST_RTSP_LOWER_TRANS_TCP);
    }
    if (!options.User.empty()) {
        GstRTSPAuth* auth = gst_rtsp_auth_new();
        GstRTSPToken* token =
            gst_rtsp_token_new(GST_RTSP_TOKEN_MEDIA_FACTORY_ROLE, G_TYPE_STRING, "viewer", nullptr);
        gchar* basic = gst_rtsp_auth_make_basic(options.User.c_str(), options.Password.c_str());
        gst_rtsp_auth_add_basic(auth, basic, token);
        g_free(basic);
        gst_rtsp_token_unref(token);
        gst_rtsp_server_set_auth(FServer.get(), auth);
        g_object_unref(auth);
        gst_rtsp_media_factory_add_role(factory, "viewer", GST_RTSP_PERM_MEDIA_FACTORY_ACCESS,
                                        G_TYPE_BOOLEAN, TRUE, GST_RTSP_PERM_MEDIA_FACTORY_CONSTRUCT,
                                        G_TYPE_BOOLEAN, TRUE, nullptr);
    }
    GstRTSPMountPoints* mounts = gst_rtsp_server_get_mount_points(FServer.get());
    gst_rtsp_mount_points_add_factory(mounts, "/cam", factory);  // takes the factory
    g_object_unref(mounts);
    return true;
}

RtspTestServer::~RtspTestServer() {
    if (FThread.Running()) {
        // Stops listening and closes every client on the server's own thread, then ends its
        // loop once what the closing queued has run.
        g_main_context_invoke(FContext.get(), Shutdown, this);
        FThread.Join();
    }
}

std::string RtspTestServer::Url(const std::string& path) const {
    return "rtsp://127.0.0.1:" + std::to_string(FPort) + path;
}

void RtspTestServer::OnClientConnected(GstRTSPServer*, gpointer, gpointer self) {
    ++static_cast<RtspTestServer*>(self)->FConnections;
}

gboolean RtspTestServer::Shutdown(gpointer self) {
    auto* server = static_cast<RtspTestServer*>(self);
    if (GSource* source =
            g_main_context_find_source_by_id(server->FContext.get(), server->FSource)) {
        g_source_destroy(source);
    }
    gst_rtsp_server_client_filter(server->FServer.get(), RemoveClient, nullptr);
    GSource* quit = g_idle_source_new();
    g_source_set_priority(quit, G_PRIORITY_LOW);
    g_source_set_callback(quit, QuitLoop, server->FLoop.get(), nullptr);
    g_source_attach(quit, server->FContext.get());
    g_source_unref(quit);
    return G_SOURCE_REMOVE;
}
