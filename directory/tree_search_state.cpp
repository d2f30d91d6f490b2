#include "directory/tree_search_state.h"

#include <utility>

namespace lumo {

void TreeSearchState::EndForBuild()
{
    m_search.reset(); // indexed at the first search, not at every build
    if (std::exchange(m_filtered, false) && m_endedByBuild)
        m_endedByBuild();
}

void TreeSearchState::Begin(std::vector<Item> expandedBefore, Item selectedBefore)
{
    m_expandedBefore = std::move(expandedBefore);
    m_selectedBefore = selectedBefore;
    m_filtered = true;
}

DirectoryTree TreeSearchState::Find(std::string_view query, const DirectoryTree& full,
                                    const std::vector<std::string>& urls, std::vector<Item>& found)
{
    if (!m_search)
        m_search = std::make_unique<DirectorySearch>(full, urls);
    found = m_search->Find(query);
    return m_search->Filtered(found, m_origin);
}

TreeSearchState::Item TreeSearchState::InFullTree(Item shown) const
{
    return !m_filtered ? shown : shown < m_origin.size() ? m_origin[shown] : DirectoryTree::kTop;
}

} // namespace lumo
