#pragma once
// A GObject, or another reference of GLib's kind (GBytes, a WebKit filter),
// held by the object that owns it: its reference goes with it.
#include <memory>

#include <glib-object.h>

namespace lumo {

struct GObjectUnref
{
    void operator()(gpointer object) const { g_object_unref(object); }
};

template <typename T> using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

// A reference released by its type's own function, such as g_bytes_unref.
template <typename T, void (*Unref)(T*)> struct GRefRelease
{
    void operator()(T* ref) const { Unref(ref); }
};

template <typename T, void (*Unref)(T*)> using GRefPtr = std::unique_ptr<T, GRefRelease<T, Unref>>;

using GBytesPtr = GRefPtr<GBytes, g_bytes_unref>;

} // namespace lumo
