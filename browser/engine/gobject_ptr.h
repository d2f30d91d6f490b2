#pragma once
// A GObject held by the object that owns it: its reference goes with it.
#include <memory>

#include <glib-object.h>

namespace lumo {

struct GObjectUnref
{
    void operator()(gpointer object) const { g_object_unref(object); }
};

template <typename T> using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

} // namespace lumo
