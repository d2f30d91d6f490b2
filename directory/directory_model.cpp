#include "directory/directory_model.h"

#include <cstdint>

namespace lumo {

void DirectoryModel::Replace(DirectoryTree&& tree)
{
    m_tree = std::move(tree);
    Cleared();
}

wxDataViewItem DirectoryModel::ToViewItem(DirectoryTree::ItemId id)
{
    // The invisible top parent is id 0, which is the control's invalid item.
    return wxDataViewItem(reinterpret_cast<void*>(static_cast<std::uintptr_t>(id)));
}

DirectoryTree::ItemId DirectoryModel::ToItemId(const wxDataViewItem& item)
{
    return static_cast<DirectoryTree::ItemId>(reinterpret_cast<std::uintptr_t>(item.GetID()));
}

void DirectoryModel::GetValue(wxVariant& value, const wxDataViewItem& item, unsigned int) const
{
    DirectoryTree::ItemId id = ToItemId(item);
    value = m_tree.IsValid(id) ? wxString::FromUTF8(m_tree.GetItemText(id)) : wxString();
}

bool DirectoryModel::SetValue(const wxVariant&, const wxDataViewItem&, unsigned int)
{
    return false; // the directory is read-only
}

wxDataViewItem DirectoryModel::GetParent(const wxDataViewItem& item) const
{
    DirectoryTree::ItemId id = ToItemId(item);
    return m_tree.IsValid(id) ? ToViewItem(m_tree.GetParent(id)) : wxDataViewItem();
}

bool DirectoryModel::IsContainer(const wxDataViewItem& item) const
{
    DirectoryTree::ItemId id = ToItemId(item);
    if (id == DirectoryTree::kTop)
        return true;
    return m_tree.IsValid(id) && m_tree.HasChildren(id);
}

unsigned int DirectoryModel::GetChildren(const wxDataViewItem& item,
                                         wxDataViewItemArray& children) const
{
    DirectoryTree::ItemId id = ToItemId(item);
    if (id != DirectoryTree::kTop && !m_tree.IsValid(id))
        return 0;
    const std::vector<DirectoryTree::ItemId>& ids = m_tree.GetChildren(id);
    children.reserve(children.size() + ids.size());
    for (DirectoryTree::ItemId child : ids)
        children.push_back(ToViewItem(child));
    return static_cast<unsigned int>(ids.size());
}

} // namespace lumo
