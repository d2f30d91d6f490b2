#pragma once
// The directory tree as the data view control sees it.
#include <cstddef>
#include <vector>

#include <wx/dataview.h>

#include "directory/directory_tree.h"

#ifdef __WXGTK__
typedef struct _GtkTreeView GtkTreeView;
#endif

namespace lumo {

// Presents a DirectoryTree to a wxDataViewCtrl as one text column, in the
// tree's own order. A new tree replaces the whole content at once, so the
// control never sees a tree that is half built.
class DirectoryModel : public wxDataViewModel
{
public:
    ~DirectoryModel() override;

    const DirectoryTree& Tree() const { return m_tree; }
    // Takes over a complete tree and tells the control to forget the old one.
    void Replace(DirectoryTree&& tree);

    static wxDataViewItem ToViewItem(DirectoryTree::ItemId id);
    static DirectoryTree::ItemId ToItemId(const wxDataViewItem& item);

    // An item's place among its siblings and the sibling after it (kTop after
    // the last), both in constant time.
    std::size_t Position(DirectoryTree::ItemId item) const { return m_position[item]; }
    DirectoryTree::ItemId NextSibling(DirectoryTree::ItemId item) const;

#ifdef __WXGTK__
    // The GTK control finds a row's next sibling and its path by searching
    // the parent's children from the first, so that laying out a branch of n
    // rows takes n² steps: minutes for a million favorites. Once called, the
    // control's rows get both answers from this model in constant time per
    // level. Other controls are not affected.
    // The lookups rely on the toolkit's own model class and the way its rows
    // carry the items: checked on the control's rows first, and a toolkit
    // that differs keeps its own lookups (right, only slower).
    void ServeRowLookups(GtkTreeView* view);
    // Whether a control's rows get their lookups from a DirectoryModel.
    static bool ServesRowsOf(GtkTreeView* view);
#endif

    void GetValue(wxVariant& value, const wxDataViewItem& item, unsigned int column) const override;
    bool SetValue(const wxVariant& value, const wxDataViewItem& item, unsigned int column) override;
    wxDataViewItem GetParent(const wxDataViewItem& item) const override;
    bool IsContainer(const wxDataViewItem& item) const override;
    unsigned int GetChildren(const wxDataViewItem& item,
                             wxDataViewItemArray& children) const override;

private:
    DirectoryTree m_tree;
    // Each item's place among its siblings.
    std::vector<std::size_t> m_position;
#ifdef __WXGTK__
    GtkTreeView* m_servedView = nullptr;
#endif
};

} // namespace lumo
