#include "ui/key_map.h"

#include <iterator>

#include <wx/defs.h>

namespace lumo {
namespace {

constexpr unsigned Bit(KeyPlace place)
{
    return 1u << static_cast<unsigned>(place);
}

constexpr unsigned kAnywhere = Bit(KeyPlace::Tree) | Bit(KeyPlace::SearchField) |
                               Bit(KeyPlace::FindBar) | Bit(KeyPlace::Page) |
                               Bit(KeyPlace::Elsewhere);
constexpr unsigned kTree = Bit(KeyPlace::Tree);
constexpr unsigned kSearchField = Bit(KeyPlace::SearchField);
constexpr unsigned kFindBar = Bit(KeyPlace::FindBar);
constexpr unsigned kPage = Bit(KeyPlace::Page);

constexpr int kNone = wxMOD_NONE;
constexpr int kCtrl = wxMOD_CONTROL;
constexpr int kCtrlShift = wxMOD_CONTROL | wxMOD_SHIFT;
constexpr int kShift = wxMOD_SHIFT;
constexpr int kAlt = wxMOD_ALT;

using T = KeyTaker;
using C = KeyCommand;

// In the order the keys are tried: a key's meanings at one place run from
// the first line down.
constexpr KeyBinding kKeys[] = {
    // The accelerator table.
    {'N', kCtrl, kAnywhere, T::Accelerator, C::New},
    {'O', kCtrl, kAnywhere, T::Accelerator, C::Open},
    {'S', kCtrl, kAnywhere, T::Accelerator, C::Save},
    {'P', kCtrl, kAnywhere, T::Accelerator, C::Print},
    {'Z', kCtrl, kAnywhere, T::Accelerator, C::Undo},
    {'X', kCtrl, kAnywhere, T::Accelerator, C::Cut},
    {'C', kCtrl, kAnywhere, T::Accelerator, C::Copy},
    {'V', kCtrl, kAnywhere, T::Accelerator, C::Paste},
    {WXK_BACK, kAlt, kAnywhere, T::Accelerator, C::Undo},
    {WXK_DELETE, kShift, kAnywhere, T::Accelerator, C::Cut},
    {WXK_INSERT, kCtrl, kAnywhere, T::Accelerator, C::Copy},
    {WXK_INSERT, kShift, kAnywhere, T::Accelerator, C::Paste},
    {WXK_F6, kNone, kAnywhere, T::Accelerator, C::NextPane},
    {WXK_F6, kShift, kAnywhere, T::Accelerator, C::PreviousPane},

    // The window's, from anywhere in it.
    {'E', kCtrl, kAnywhere, T::Window, C::FindNewspaper},
    {'D', kCtrl, kAnywhere, T::Window, C::KeepPage},
    {'H', kCtrl, kAnywhere, T::Window, C::ShowHeadlines},

    // The directory's.
    {WXK_DOWN, kNone, kSearchField, T::Window, C::SelectFirstMatch},
    {WXK_RETURN, kNone, kSearchField, T::Window, C::OpenFirstMatch},
    {WXK_NUMPAD_ENTER, kNone, kSearchField, T::Window, C::OpenFirstMatch},
    {WXK_ESCAPE, kNone, kSearchField, T::Window, C::EndSearch},
    {WXK_ESCAPE, kNone, kTree, T::Window, C::BackToSearch},
    {WXK_MENU, kAnyModifiers, kTree, T::Window, C::PaperMenu},
    {WXK_F10, kShift, kTree, T::Window, C::PaperMenu},
    {kTypedCharacterKey, kNone, kTree, T::Window, C::SearchWithLetter},
    {kTypedCharacterKey, kShift, kTree, T::Window, C::SearchWithLetter},
    {WXK_RETURN, kShift, kTree, T::Tree, C::OpenInWebBrowser},
    {WXK_NUMPAD_ENTER, kShift, kTree, T::Tree, C::OpenInWebBrowser},

    // The browser pane's, from anywhere in the window.
    {WXK_ESCAPE, kNone, kFindBar, T::Window, C::CloseFindBar},
    {WXK_ESCAPE, kNone, kAnywhere, T::Window, C::LeaveReader},
    {WXK_F9, kNone, kAnywhere, T::Window, C::ToggleReader},
    {WXK_ESCAPE, kNone, kAnywhere, T::Window, C::StopLoading},
    {WXK_F5, kNone, kAnywhere, T::Window, C::Reload},
    {'R', kCtrl, kAnywhere, T::Window, C::Reload},
    // Zoom: Ctrl++ (or Ctrl+=), Ctrl+-, Ctrl+0, with or without Shift.
    {'+', kCtrl, kAnywhere, T::Window, C::ZoomIn},
    {'+', kCtrlShift, kAnywhere, T::Window, C::ZoomIn},
    {'=', kCtrl, kAnywhere, T::Window, C::ZoomIn},
    {'=', kCtrlShift, kAnywhere, T::Window, C::ZoomIn},
    {WXK_NUMPAD_ADD, kCtrl, kAnywhere, T::Window, C::ZoomIn},
    {WXK_NUMPAD_ADD, kCtrlShift, kAnywhere, T::Window, C::ZoomIn},
    {'-', kCtrl, kAnywhere, T::Window, C::ZoomOut},
    {'-', kCtrlShift, kAnywhere, T::Window, C::ZoomOut},
    {'_', kCtrl, kAnywhere, T::Window, C::ZoomOut},
    {'_', kCtrlShift, kAnywhere, T::Window, C::ZoomOut},
    {WXK_NUMPAD_SUBTRACT, kCtrl, kAnywhere, T::Window, C::ZoomOut},
    {WXK_NUMPAD_SUBTRACT, kCtrlShift, kAnywhere, T::Window, C::ZoomOut},
    {'0', kCtrl, kAnywhere, T::Window, C::ZoomReset},
    {'0', kCtrlShift, kAnywhere, T::Window, C::ZoomReset},
    {WXK_NUMPAD0, kCtrl, kAnywhere, T::Window, C::ZoomReset},
    {WXK_NUMPAD0, kCtrlShift, kAnywhere, T::Window, C::ZoomReset},
    // Find in page: Ctrl+F while the page or the find bar has the focus
    // (there it selects the text to search for); F3 and Shift+F3
    // also while the find bar is open.
    {'F', kCtrl, kPage | kFindBar, T::Window, C::OpenFindBar},
    {WXK_F3, kNone, kAnywhere, T::Window, C::FindNext},
    {WXK_F3, kShift, kAnywhere, T::Window, C::FindPrevious},
    {WXK_LEFT, kAlt, kAnywhere, T::Window, C::Back},
    {WXK_RIGHT, kAlt, kAnywhere, T::Window, C::Forward},
};

bool IsTypedCharacter(const KeyStroke& press)
{
    return press.character > ' ' && press.character != WXK_DELETE;
}

bool Matches(const KeyBinding& binding, const KeyStroke& press)
{
    if (binding.modifiers != kAnyModifiers && binding.modifiers != press.modifiers)
        return false;
    if (binding.code == kTypedCharacterKey)
        return IsTypedCharacter(press);
    return binding.code == press.code;
}

std::string KeyName(int code)
{
    if (code >= WXK_F1 && code <= WXK_F24)
        return "F" + std::to_string(code - WXK_F1 + 1);
    switch (code) {
    case WXK_ESCAPE:
        return "Esc";
    case WXK_BACK:
        return "Backspace";
    case WXK_DELETE:
        return "Del";
    case WXK_INSERT:
        return "Ins";
    case WXK_RETURN:
        return "Enter";
    case WXK_NUMPAD_ENTER:
        return "Num Enter";
    case WXK_DOWN:
        return "Down";
    case WXK_LEFT:
        return "Left";
    case WXK_RIGHT:
        return "Right";
    case WXK_MENU:
        return "Menu";
    case WXK_NUMPAD_ADD:
        return "Num +";
    case WXK_NUMPAD_SUBTRACT:
        return "Num -";
    case WXK_NUMPAD0:
        return "Num 0";
    default:
        break;
    }
    if (code > ' ' && code < 0x7f)
        return std::string(1, static_cast<char>(code));
    return std::string();
}

} // namespace

std::vector<KeyCommand> KeyMeanings(const KeyStroke& press, KeyPlace place, KeyTaker taker)
{
    std::vector<KeyCommand> meanings;
    for (const KeyBinding& binding : kKeys)
        if (binding.taker == taker && (binding.places & Bit(place)) && Matches(binding, press))
            meanings.push_back(binding.command);
    return meanings;
}

std::vector<KeyBinding> AcceleratorKeys()
{
    std::vector<KeyBinding> keys;
    for (const KeyBinding& binding : kKeys)
        if (binding.taker == KeyTaker::Accelerator)
            keys.push_back(binding);
    return keys;
}

bool PageOffersToWindow(int code, int modifiers)
{
    if (code == WXK_ESCAPE || (code >= WXK_F1 && code <= WXK_F12))
        return true;
    return code != 0 && (modifiers & (wxMOD_CONTROL | wxMOD_ALT)) != 0;
}

std::string KeyText(KeyCommand command)
{
    for (const KeyBinding& binding : kKeys) {
        if (binding.command != command || binding.code == kTypedCharacterKey)
            continue;
        std::string text;
        if (binding.modifiers != kAnyModifiers) {
            if (binding.modifiers & wxMOD_CONTROL)
                text += "Ctrl+";
            if (binding.modifiers & wxMOD_ALT)
                text += "Alt+";
            if (binding.modifiers & wxMOD_SHIFT)
                text += "Shift+";
        }
        return text + KeyName(binding.code);
    }
    return std::string();
}

} // namespace lumo
