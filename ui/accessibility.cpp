#include "ui/accessibility.h"

#include <wx/dataview.h>
#include <wx/window.h>

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

namespace lumo {
namespace {

#ifdef __WXGTK__
AtkObject* AccessibleOf(const wxWindow* window)
{
    GtkWidget* widget = window ? window->GetHandle() : nullptr;
    // A list or tree is read through its tree view, not the frame around it.
    if (auto* view = dynamic_cast<const wxDataViewCtrl*>(window))
        widget = const_cast<wxDataViewCtrl*>(view)->GtkGetTreeView();
    return widget ? gtk_widget_get_accessible(widget) : nullptr;
}
#endif

} // namespace

void SetAccessibleName(wxWindow* window, const wxString& name)
{
#ifdef __WXGTK__
    if (AtkObject* accessible = AccessibleOf(window))
        atk_object_set_name(accessible, name.utf8_str());
#else
    // Elsewhere the native control's own text is what assistive technology reads.
    wxUnusedVar(window);
    wxUnusedVar(name);
#endif
}

void SetAccessibleRole(wxWindow* window, AccessibleRole role)
{
#ifdef __WXGTK__
    if (AtkObject* accessible = AccessibleOf(window))
        atk_object_set_role(accessible, role == AccessibleRole::Link    ? ATK_ROLE_LINK
                                        : role == AccessibleRole::Image ? ATK_ROLE_IMAGE
                                                                        : ATK_ROLE_STATUSBAR);
#else
    wxUnusedVar(window);
    wxUnusedVar(role);
#endif
}

wxString GetAccessibleName(const wxWindow* window)
{
#ifdef __WXGTK__
    if (AtkObject* accessible = AccessibleOf(window))
        if (const char* name = atk_object_get_name(accessible))
            return wxString::FromUTF8(name);
#else
    wxUnusedVar(window);
#endif
    return wxString();
}

void AnnounceNotice(wxWindow* window, const wxString& text)
{
#ifdef __WXGTK__
    if (AtkObject* accessible = AccessibleOf(window)) {
        atk_object_set_role(accessible, ATK_ROLE_NOTIFICATION);
        atk_object_set_name(accessible, text.utf8_str());
        // What screen readers present a notification on.
        if (window->IsShown())
            atk_object_notify_state_change(accessible, ATK_STATE_SHOWING, TRUE);
    }
#else
    wxUnusedVar(window);
    wxUnusedVar(text);
#endif
}

ReadableStatusBar::ReadableStatusBar(wxWindow* parent, wxWindowID id, long style,
                                     const wxString& name)
    : wxStatusBar(parent, id, style, name)
{
    SetAccessibleRole(this, AccessibleRole::StatusBar);
}

void ReadableStatusBar::DoUpdateStatusText(int number)
{
    wxStatusBar::DoUpdateStatusText(number);
    if (number == 0)
        SetAccessibleName(this, GetStatusText(0));
}

} // namespace lumo
