#include "platform/GstElementType.h"

#include <mutex>
#include <set>
#include <string>

bool RegisterElementFactory(const char* FactoryName, GType Type) {
    static std::mutex lock;
    static std::set<std::string> registered;
    std::lock_guard guard(lock);
    if (registered.count(FactoryName) != 0) {
        return true;
    }
    if (gst_element_register(nullptr, FactoryName, GST_RANK_NONE, Type) == FALSE) {
        return false;
    }
    registered.insert(FactoryName);
    return true;
}
