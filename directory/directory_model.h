#pragma once
// The directory tree as the data view control sees it.
#include <wx/dataview.h>

#include "directory/directory_tree.h"

namespace lumo {

// Presents a DirectoryTree to a wxDataViewCtrl as one text column, in the
// tree's own order. A new tree replaces the whole content at once, so the
// control never sees a tree that is half built.
class DirectoryModel : public wxDataViewModel
{
public:
    const DirectoryTree& Tree() const { return m_tree; }
    // Takes over a complete tree and tells the control to forget the old one.
    void Replace(DirectoryTree&& tree);

    static wxDataViewItem ToViewItem(DirectoryTree::ItemId id);
    static DirectoryTree::ItemId ToItemId(const wxDataViewItem& item);

    void GetValue(wxVariant& value, const wxDataViewItem& item, unsigned int column) const override;
    bool SetValue(const wxVariant& value, const wxDataViewItem& item, unsigned int column) override;
    wxDataViewItem GetParent(const wxDataViewItem& item) const override;
    bool IsContainer(const wxDataViewItem& item) const override;
    unsigned int GetChildren(const wxDataViewItem& item,
                             wxDataViewItemArray& children) const override;

private:
    DirectoryTree m_tree;
};

} // namespace lumo
