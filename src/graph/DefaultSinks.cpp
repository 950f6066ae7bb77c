#include "graph/DefaultSinks.h"

#include <cstdlib>

namespace {

std::string FactoryFromEnvironment(const char* variable, const char* fallback) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0' ? std::string(value) : std::string(fallback);
}

TGstElementHandle CreateSink(const std::string& factory) {
    return TGstElementHandle::Adopt(gst_element_factory_make(factory.c_str(), nullptr));
}

}  // namespace

std::string DefaultAudioSinkFactory() {
    return FactoryFromEnvironment("TANDREL_AUDIO_SINK", "autoaudiosink");
}

std::string DefaultVideoSinkFactory() {
    return FactoryFromEnvironment("TANDREL_VIDEO_SINK", "autovideosink");
}

TGstElementHandle CreateDefaultAudioSink() {
    return CreateSink(DefaultAudioSinkFactory());
}

TGstElementHandle CreateDefaultVideoSink() {
    return CreateSink(DefaultVideoSinkFactory());
}
