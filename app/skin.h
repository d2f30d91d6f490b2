#pragma once
// The skin component: a skin file (.ssk) is a GTK CSS style sheet that is
// applied to every window of the program. A missing or broken file changes
// nothing and reports failure (0); success is 1.

class wxSplitterWindow;

namespace lumo {

// The splitter layout record handed to the skin component's callback. The
// first field belongs to the component and is never written by the callback.
struct SplitInfo
{
    int reserved;
    int maxRows;
    int maxColumns;
    int barWidth;
    int barHeight;
    int borderShareX;
    int borderShareY;
    int gapX;
    int gapY;
    int clientBorderX;
    int clientBorderY;
    int rows;
    int columns;
    int hasHorizontalScrollBar;
    int hasVerticalScrollBar;
    const void* columnInfo;
    const void* rowInfo;
};

using SplitInfoCallback = int (*)(SplitInfo& info);

int InitializeSkin(const char* path);
int LoadSkin(const char* path);
int ExitSkin();
void GetSplitterInfo(SplitInfoCallback callback);

// The callback last handed over, for the component's own use (nullptr before).
SplitInfoCallback CurrentSplitterInfoCallback();
// The path of the skin in effect, empty when none is.
const char* CurrentSkinPath();

// The frame's splitter, read by FillSplitInfo.
extern wxSplitterWindow* g_pSplitter;
// Fills the record from the splitter's current layout; returns 0.
int FillSplitInfo(SplitInfo& info);

} // namespace lumo
