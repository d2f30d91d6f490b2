#pragma once
// File > Import Favorites (OPML)… and Export Favorites (OPML)…: the
// favorites, with the feeds the headlines database keeps for them, in and out
// of the lists other feed readers read and write.
#include <functional>
#include <string>

class wxWindow;

namespace lumo {

class CMainFrame;

enum class OpmlFileUse
{
    Import,
    Export,
};

// Asks which file to import, or to export to; empty when none was chosen.
using OpmlFileChooser = std::function<std::string(wxWindow* parent, OpmlFileUse use)>;

// Replaces how the file is chosen (an empty function restores the file
// dialog) and returns the previous way. Tests answer with a path of theirs.
OpmlFileChooser SetOpmlFileChooser(OpmlFileChooser chooser);

// The commands: the file asked for, the change made, then a message saying
// what was done; the tree shows imported favorites at once.
void ImportFavoritesFromOpml(CMainFrame& frame);
void ExportFavoritesToOpml(CMainFrame& frame);

} // namespace lumo
