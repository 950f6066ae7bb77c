#include "support/FakeCameraProvider.h"

#include <gst/gst.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

constexpr const char* kProviderName = "tandreltestcameras";
constexpr const char* kCaps = "video/x-raw,format=YUY2,width=320,height=240,framerate=10/1";

struct TPlugged {
    std::string Name;
    std::string Path;
};

struct TRunningSource {
    std::string Path;
    std::unique_ptr<GWeakRef, void (*)(GWeakRef*)> Element{nullptr, nullptr};
};

std::vector<TPlugged> gPlugged;
std::vector<TRunningSource> gRunning;
GstDeviceProvider* gStartedProvider = nullptr;  // while a monitor has started it

void FreeWeakRef(GWeakRef* ref) {
    g_weak_ref_clear(ref);
    delete ref;
}

}  // namespace

extern "C" {

struct TFakeCamera {
    GstDevice Parent;
};
struct TFakeCameraClass {
    GstDeviceClass ParentClass;
};
G_DEFINE_TYPE(TFakeCamera, tandrel_fake_camera, GST_TYPE_DEVICE)

struct TFakeCameraProvider {
    GstDeviceProvider Parent;
};
struct TFakeCameraProviderClass {
    GstDeviceProviderClass ParentClass;
};
G_DEFINE_TYPE(TFakeCameraProvider, tandrel_fake_camera_provider, GST_TYPE_DEVICE_PROVIDER)

}  // extern "C"

namespace {

std::string PathOf(GstDevice* device) {
    GstStructure* props = gst_device_get_properties(device);
    const char* path = props != nullptr ? gst_structure_get_string(props, "device.path") : nullptr;
    std::string text = path != nullptr ? path : "";
    if (props != nullptr) {
        gst_structure_free(props);
    }
    return text;
}

GstElement* CreateElement(GstDevice* device, const gchar* name) {
    GstElement* source = gst_element_factory_make("videotestsrc", name);
    if (source == nullptr) {
        return nullptr;
    }
    g_object_set(source, "is-live", TRUE, "pattern", 18 /* ball */, nullptr);
    TRunningSource running;
    running.Path = PathOf(device);
    running.Element = {new GWeakRef, FreeWeakRef};
    g_weak_ref_init(running.Element.get(), source);
    gRunning.push_back(std::move(running));
    return source;
}

GstDevice* NewDevice(const TPlugged& camera) {
    GstCaps* caps = gst_caps_from_string(kCaps);
    GstStructure* props =
        gst_structure_new("fake-camera-properties", "device.path", G_TYPE_STRING,
                          camera.Path.c_str(), "device.api", G_TYPE_STRING, "fake", nullptr);
    auto* device = GST_DEVICE(g_object_new(tandrel_fake_camera_get_type(), "display-name",
                                           camera.Name.c_str(), "device-class", "Video/Source",
                                           "caps", caps, "properties", props, nullptr));
    gst_caps_unref(caps);
    gst_structure_free(props);
    return device;
}

GList* Probe(GstDeviceProvider*) {
    GList* devices = nullptr;
    for (const TPlugged& camera : gPlugged) {
        devices = g_list_append(devices, gst_object_ref_sink(NewDevice(camera)));
    }
    return devices;
}

gboolean Start(GstDeviceProvider* provider) {
    gStartedProvider = provider;
    for (const TPlugged& camera : gPlugged) {
        gst_device_provider_device_add(provider, NewDevice(camera));
    }
    return TRUE;
}

void Stop(GstDeviceProvider* provider) {
    if (gStartedProvider == provider) {
        gStartedProvider = nullptr;
    }
}

}  // namespace

extern "C" {

static void tandrel_fake_camera_class_init(TFakeCameraClass* klass) {
    GST_DEVICE_CLASS(klass)->create_element = CreateElement;
}
static void tandrel_fake_camera_init(TFakeCamera*) {}

static void tandrel_fake_camera_provider_class_init(TFakeCameraProviderClass* klass) {
    GstDeviceProviderClass* providerClass = GST_DEVICE_PROVIDER_CLASS(klass);
    providerClass->probe = Probe;
    providerClass->start = Start;
    providerClass->stop = Stop;
    gst_device_provider_class_set_static_metadata(providerClass, "Test cameras", "Source/Video",
                                                  "Cameras the tests plug in and pull out",
                                                  "Tandrel");
}
static void tandrel_fake_camera_provider_init(TFakeCameraProvider*) {}

}  // extern "C"

namespace FakeCameraProvider {

bool Register() {
    static const bool registered = gst_device_provider_register(
        nullptr, kProviderName, GST_RANK_PRIMARY, tandrel_fake_camera_provider_get_type());
    return registered;
}

void PlugIn(const std::string& Name, const std::string& Path) {
    gPlugged.push_back({Name, Path});
    if (gStartedProvider != nullptr) {
        gst_device_provider_device_add(gStartedProvider, NewDevice(gPlugged.back()));
    }
}

void Unplug(const std::string& Path) {
    gPlugged.erase(std::remove_if(gPlugged.begin(), gPlugged.end(),
                                  [&](const TPlugged& camera) { return camera.Path == Path; }),
                   gPlugged.end());
    if (gStartedProvider != nullptr) {
        GList* devices = gst_device_provider_get_devices(gStartedProvider);
        for (GList* l = devices; l != nullptr; l = l->next) {
            auto* device = GST_DEVICE(l->data);
            if (PathOf(device) == Path) {
                gst_device_provider_device_remove(gStartedProvider, device);
            }
        }
        g_list_free_full(devices, gst_object_unref);
    }
    // The camera's running pictures end as an unplugged driver's do: with a read error.
    for (auto it = gRunning.begin(); it != gRunning.end();) {
        if (it->Path != Path) {
            ++it;
            continue;
        }
        if (auto* source = static_cast<GstElement*>(g_weak_ref_get(it->Element.get()))) {
            GST_ELEMENT_ERROR(source, RESOURCE, READ, ("The camera was unplugged."), (nullptr));
            gst_object_unref(source);
        }
        it = gRunning.erase(it);
    }
}

void UnplugAll() {
    while (!gPlugged.empty()) {
        const std::string path = gPlugged.front().Path;  // Unplug erases the entry
        Unplug(path);
    }
    gRunning.clear();
}

}  // namespace FakeCameraProvider
