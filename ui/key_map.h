#pragma once
// The program's keys in one table: what a key means where the focus is. The
// window's key hook, the tree, the page and the accelerator table all ask it;
// no display is needed to read it.
#include <string>
#include <vector>

namespace lumo {

// Where the keyboard focus is when a key comes.
enum class KeyPlace
{
    Tree,        // the newspaper tree
    SearchField, // "Find a newspaper"
    FindBar,     // the page's find bar
    Page,        // the page (or the reader view) itself
    Elsewhere,   // anywhere else in the main window
};

// Who receives the key: the menu's accelerators, the window's key hook (which
// sees every key first, also those the page hands it), or the tree's own
// widget once the window left the key alone.
enum class KeyTaker
{
    Accelerator,
    Window,
    Tree,
};

enum class KeyCommand
{
    // The accelerator table's commands.
    New,
    Open,
    Save,
    Print,
    Undo,
    Cut,
    Copy,
    Paste,
    NextPane,
    PreviousPane,
    // The window's.
    FindNewspaper,
    KeepPage,
    ShowHeadlines,
    // The directory's.
    SelectFirstMatch,
    OpenFirstMatch,
    EndSearch,
    BackToSearch,
    PaperMenu,
    SearchWithLetter,
    OpenInWebBrowser,
    // The browser pane's.
    CloseFindBar,
    LeaveReader,
    StopLoading,
    ToggleReader,
    Reload,
    ZoomIn,
    ZoomOut,
    ZoomReset,
    OpenFindBar,
    FindNext,
    FindPrevious,
    Back,
    Forward,
};

// A key as wx names it: its code (WXK_..., a letter by its capital), the
// character it types (0 for none) and its modifiers (wxMOD_...).
struct KeyStroke
{
    int code = 0;
    int modifiers = 0;
    int character = 0;
};

// One line of the table.
struct KeyBinding
{
    int code;
    int modifiers;
    unsigned places; // a mask of KeyPlace bits
    KeyTaker taker;
    KeyCommand command;
};

// The code of a binding that stands for any character typed (a letter, a
// digit, a sign) with no modifier but Shift.
inline constexpr int kTypedCharacterKey = -1;
// Modifiers of a binding that takes the key whatever modifiers are held.
inline constexpr int kAnyModifiers = -1;

// What the key means at `place` for `taker`, most particular first: a
// receiver runs the first meaning that applies (Esc in the find bar closes
// it, else leaves the reader view, else stops a load).
std::vector<KeyCommand> KeyMeanings(const KeyStroke& press, KeyPlace place,
                                    KeyTaker taker = KeyTaker::Window);

// The accelerator table's lines, in their order.
std::vector<KeyBinding> AcceleratorKeys();

// Whether a key typed in the page goes to the window first (Esc, the function
// keys and those with Ctrl or Alt); the page keeps all others (typing, moving
// about, Tab, Enter).
bool PageOffersToWindow(int code, int modifiers);

// The key text of a command's first key, as a menu shows it ("Ctrl+F"), or
// empty for a command with no key of its own.
std::string KeyText(KeyCommand command);

} // namespace lumo
