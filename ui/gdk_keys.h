#pragma once
// A GDK key event's modifiers as the key table names them (wxMOD_...), for
// the GTK widgets that take keys before wx does (the tree, the page).
#include <gdk/gdk.h>
#include <wx/defs.h>

namespace lumo {

// Shift, Ctrl and Alt as themselves; any other modifier a shortcut could use
// (Super, Hyper, Meta) as wxMOD_META, so that no key with it is taken for
// the key without. Lock keys (Caps Lock, Num Lock) do not count.
inline int WxModifiersOf(guint state)
{
    constexpr guint kShortcutModifiers = GDK_SHIFT_MASK | GDK_CONTROL_MASK | GDK_MOD1_MASK |
                                         GDK_SUPER_MASK | GDK_HYPER_MASK | GDK_META_MASK;
    state &= kShortcutModifiers;
    return (state & GDK_SHIFT_MASK ? wxMOD_SHIFT : 0) |
           (state & GDK_CONTROL_MASK ? wxMOD_CONTROL : 0) |
           (state & GDK_MOD1_MASK ? wxMOD_ALT : 0) |
           (state & ~(GDK_SHIFT_MASK | GDK_CONTROL_MASK | GDK_MOD1_MASK) ? wxMOD_META : 0);
}

} // namespace lumo
