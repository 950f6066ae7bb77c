#pragma once

#include <gst/gst.h>

// The program's own GStreamer elements: their GObject types and their element factories, which
// live in no plugin.

// Registers the static type TypeName, derived from Parent, whose instances are TInstance and
// whose class is TClass. Call once per type (from a function-local static).
template <typename TInstance, typename TClass>
GType RegisterElementType(GType Parent, const char* TypeName, GClassInitFunc ClassInit,
                          GInstanceInitFunc InstanceInit) {
    GTypeInfo info{};
    info.class_size = sizeof(TClass);
    info.class_init = ClassInit;
    info.instance_size = sizeof(TInstance);
    info.instance_init = InstanceInit;
    return g_type_register_static(Parent, TypeName, &info, static_cast<GTypeFlags>(0));
}

// Registers an element factory for Type under FactoryName (after InitializeMediaFramework);
// true once it is registered. Any thread, any number of times; a failed registration is tried
// again on the next call.
bool RegisterElementFactory(const char* FactoryName, GType Type);
