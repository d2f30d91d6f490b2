#include "directory/directory_model.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#ifdef __WXGTK__
#include <dlfcn.h>
#include <gtk/gtk.h>
#endif

namespace lumo {

#ifdef __WXGTK__
namespace {

// The GTK models whose row lookups a DirectoryModel answers, and the
// control's own answers for every other model of the same kind.
struct RowLookups
{
    gboolean (*iterNext)(GtkTreeModel*, GtkTreeIter*) = nullptr;
    GtkTreePath* (*getPath)(GtkTreeModel*, GtkTreeIter*) = nullptr;
    std::vector<std::pair<GtkTreeModel*, const DirectoryModel*>> served;
};

RowLookups& Lookups()
{
    static RowLookups lookups;
    return lookups;
}

const DirectoryModel* ServingModel(GtkTreeModel* model)
{
    for (const auto& [gtkModel, served] : Lookups().served)
        if (gtkModel == model)
            return served;
    return nullptr;
}

DirectoryTree::ItemId ItemOf(const GtkTreeIter* iter)
{
    return DirectoryModel::ToItemId(wxDataViewItem(iter->user_data));
}

gboolean ServedNext(const DirectoryModel& served, GtkTreeIter* iter)
{
    const DirectoryTree::ItemId item = ItemOf(iter);
    const DirectoryTree::ItemId next =
        served.Tree().IsValid(item) ? served.NextSibling(item) : DirectoryTree::kTop;
    if (next == DirectoryTree::kTop)
        return FALSE;
    iter->user_data = DirectoryModel::ToViewItem(next).GetID();
    return TRUE;
}

GtkTreePath* ServedPath(const DirectoryModel& served, const GtkTreeIter* iter)
{
    const DirectoryTree& tree = served.Tree();
    GtkTreePath* path = gtk_tree_path_new();
    for (DirectoryTree::ItemId item = ItemOf(iter); tree.IsValid(item); item = tree.GetParent(item))
        gtk_tree_path_prepend_index(path, static_cast<gint>(served.Position(item)));
    return path;
}

gboolean NextRow(GtkTreeModel* model, GtkTreeIter* iter)
{
    const DirectoryModel* served = ServingModel(model);
    if (!served)
        return Lookups().iterNext(model, iter);
    return ServedNext(*served, iter);
}

GtkTreePath* RowPath(GtkTreeModel* model, GtkTreeIter* iter)
{
    const DirectoryModel* served = ServingModel(model);
    if (!served)
        return Lookups().getPath(model, iter);
    return ServedPath(*served, iter);
}

void Unserve(const DirectoryModel* model)
{
    auto& served = Lookups().served;
    served.erase(std::remove_if(served.begin(), served.end(),
                                [model](const auto& entry) { return entry.second == model; }),
                 served.end());
}

// Whether both entries come from the library of the class's own row lookup
// by path, which the patch leaves alone: the toolkit's, not another patch's.
bool FromTheToolkit(const GtkTreeModelIface& iface,
                    gboolean (*iterNext)(GtkTreeModel*, GtkTreeIter*),
                    GtkTreePath* (*getPath)(GtkTreeModel*, GtkTreeIter*))
{
    Dl_info own{};
    Dl_info next{};
    Dl_info path{};
    return iface.get_iter && iterNext && getPath &&
           dladdr(reinterpret_cast<void*>(iface.get_iter), &own) &&
           dladdr(reinterpret_cast<void*>(iterNext), &next) &&
           dladdr(reinterpret_cast<void*>(getPath), &path) && next.dli_fbase == own.dli_fbase &&
           path.dli_fbase == own.dli_fbase;
}

// Whether the toolkit's own lookups and this model's give the same answers
// for the row, whose iter must carry the item's id (as ToViewItem makes it).
bool SameAnswers(GtkTreeModel* gtkModel, const GtkTreeIter& row, DirectoryTree::ItemId item,
                 const DirectoryModel& model)
{
    if (row.user_data != DirectoryModel::ToViewItem(item).GetID())
        return false;
    GtkTreeIter toolkitIter = row;
    GtkTreeIter servedIter = row;
    const gboolean toolkitNext = Lookups().iterNext(gtkModel, &toolkitIter);
    if (ServedNext(model, &servedIter) != toolkitNext ||
        (toolkitNext && toolkitIter.user_data != servedIter.user_data))
        return false;
    GtkTreeIter at = row;
    g_autoptr(GtkTreePath) toolkitPath = Lookups().getPath(gtkModel, &at);
    g_autoptr(GtkTreePath) servedPath = ServedPath(model, &at);
    return toolkitPath && servedPath && gtk_tree_path_compare(toolkitPath, servedPath) == 0;
}

// Whether the control's rows are what the lookups rely on: wx's own model
// class, its own entries in the class's interface (or ours in their place),
// and rows whose iters carry the items' ids in the tree's order, checked on
// the first row and its first child.
bool RowsAsExpected(GtkTreeModel* gtkModel, const GtkTreeModelIface& iface,
                    const DirectoryModel& model)
{
    if (std::strcmp(G_OBJECT_TYPE_NAME(gtkModel), "GtkWxTreeModel") != 0)
        return false;
    RowLookups& lookups = Lookups();
    const bool patched = iface.iter_next == NextRow;
    if (patched != (iface.get_path == RowPath))
        return false;
    if (!patched && lookups.iterNext &&
        (iface.iter_next != lookups.iterNext || iface.get_path != lookups.getPath))
        return false;
    if (!FromTheToolkit(iface, patched ? lookups.iterNext : iface.iter_next,
                        patched ? lookups.getPath : iface.get_path))
        return false;
    if (!patched) {
        // The answers below compare with the toolkit's own entries.
        lookups.iterNext = iface.iter_next;
        lookups.getPath = iface.get_path;
    }
    const DirectoryTree& tree = model.Tree();
    const std::vector<DirectoryTree::ItemId>& top = tree.GetChildren(DirectoryTree::kTop);
    GtkTreeIter first;
    if (!gtk_tree_model_get_iter_first(gtkModel, &first) ||
        !SameAnswers(gtkModel, first, top.front(), model))
        return false;
    if (!tree.HasChildren(top.front()))
        return true;
    GtkTreeIter child;
    return gtk_tree_model_iter_children(gtkModel, &child, &first) &&
           SameAnswers(gtkModel, child, tree.GetChildren(top.front()).front(), model);
}

} // namespace

void DirectoryModel::ServeRowLookups(GtkTreeView* view)
{
    m_servedView = view;
    Unserve(this);
    GtkTreeModel* gtkModel = view ? gtk_tree_view_get_model(view) : nullptr;
    // Without rows there is nothing to look up, nor to check the rows by:
    // the next tree with rows is served (Replace).
    if (!gtkModel || m_tree.GetChildren(DirectoryTree::kTop).empty())
        return;
    // The lookups are entries of the model's class; every control's model of
    // that class passes through them, and those not served here get the
    // control's own answers.
    auto* iface = static_cast<GtkTreeModelIface*>(
        g_type_interface_peek(G_OBJECT_GET_CLASS(gtkModel), GTK_TYPE_TREE_MODEL));
    // A toolkit whose rows are not what the lookups rely on keeps its own
    // entries: the rows come slower, and right.
    if (!iface || !RowsAsExpected(gtkModel, *iface, *this))
        return;
    if (iface->iter_next != NextRow) {
        iface->iter_next = NextRow;
        iface->get_path = RowPath;
    }
    Lookups().served.emplace_back(gtkModel, this);
}

bool DirectoryModel::ServesRowsOf(GtkTreeView* view)
{
    GtkTreeModel* gtkModel = view ? gtk_tree_view_get_model(view) : nullptr;
    return gtkModel && ServingModel(gtkModel);
}
#endif

DirectoryModel::~DirectoryModel()
{
#ifdef __WXGTK__
    Unserve(this);
#endif
}

void DirectoryModel::Replace(DirectoryTree&& tree)
{
    m_tree = std::move(tree);
    m_position.assign(m_tree.GetCount() + 1, 0);
    for (DirectoryTree::ItemId parent = DirectoryTree::kTop; parent <= m_tree.GetCount();
         ++parent) {
        const std::vector<DirectoryTree::ItemId>& children = m_tree.GetChildren(parent);
        for (std::size_t i = 0; i < children.size(); ++i)
            m_position[children[i]] = i;
    }
    Cleared();
#ifdef __WXGTK__
    // The control may have made itself a new GTK model for the new rows.
    if (m_servedView)
        ServeRowLookups(m_servedView);
#endif
}

DirectoryTree::ItemId DirectoryModel::NextSibling(DirectoryTree::ItemId item) const
{
    const std::vector<DirectoryTree::ItemId>& siblings = m_tree.GetChildren(m_tree.GetParent(item));
    const std::size_t next = m_position[item] + 1;
    return next < siblings.size() ? siblings[next] : DirectoryTree::kTop;
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
