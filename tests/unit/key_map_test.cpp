// The key table: what a key means where the focus is.
#include <gtest/gtest.h>

#include <wx/defs.h>

#include "ui/key_map.h"

using namespace lumo;
using C = KeyCommand;
using Meanings = std::vector<KeyCommand>;

namespace {
const KeyStroke kEsc{WXK_ESCAPE, wxMOD_NONE, WXK_ESCAPE};
} // namespace

TEST(KeyMapTest, EachKeyMeansWhatItDoesWhereTheFocusIsInTheOrderItIsTried)
{
    // Esc: the search field ends its search, the tree goes back to the field,
    // the find bar closes; everywhere the reader view is left, else a load
    // stopped.
    EXPECT_EQ(KeyMeanings(kEsc, KeyPlace::SearchField),
              (Meanings{C::EndSearch, C::LeaveReader, C::StopLoading}));
    EXPECT_EQ(KeyMeanings(kEsc, KeyPlace::Tree),
              (Meanings{C::BackToSearch, C::LeaveReader, C::StopLoading}));
    EXPECT_EQ(KeyMeanings(kEsc, KeyPlace::FindBar),
              (Meanings{C::CloseFindBar, C::LeaveReader, C::StopLoading}));
    EXPECT_EQ(KeyMeanings(kEsc, KeyPlace::Page), (Meanings{C::LeaveReader, C::StopLoading}));
    EXPECT_TRUE(KeyMeanings({WXK_ESCAPE, wxMOD_SHIFT, 0}, KeyPlace::Tree).empty());

    // A character typed in the tree starts a search; elsewhere it is the
    // field's or the page's; with Ctrl it is a command.
    EXPECT_EQ(KeyMeanings({'K', wxMOD_SHIFT, 'K'}, KeyPlace::Tree),
              (Meanings{C::SearchWithLetter}));
    EXPECT_TRUE(KeyMeanings({'K', wxMOD_NONE, 'k'}, KeyPlace::SearchField).empty());
    EXPECT_TRUE(KeyMeanings({WXK_DELETE, wxMOD_NONE, WXK_DELETE}, KeyPlace::Tree).empty());
    EXPECT_EQ(KeyMeanings({'E', wxMOD_CONTROL, 'E'}, KeyPlace::Tree), (Meanings{C::FindNewspaper}));
    EXPECT_EQ(KeyMeanings({WXK_MENU, wxMOD_CONTROL, 0}, KeyPlace::Tree), (Meanings{C::PaperMenu}));
    EXPECT_TRUE(KeyMeanings({WXK_MENU, wxMOD_NONE, 0}, KeyPlace::Page).empty());

    // Ctrl+F opens the find bar from the page only; zoom takes Shift or not.
    EXPECT_EQ(KeyMeanings({'F', wxMOD_CONTROL, 'F'}, KeyPlace::Page), (Meanings{C::OpenFindBar}));
    EXPECT_TRUE(KeyMeanings({'F', wxMOD_CONTROL, 'F'}, KeyPlace::Tree).empty());
    EXPECT_EQ(KeyMeanings({'=', wxMOD_CONTROL | wxMOD_SHIFT, '+'}, KeyPlace::Elsewhere),
              (Meanings{C::ZoomIn}));

    // Shift+Enter is the tree widget's own, not the window's.
    const KeyStroke shiftEnter{WXK_RETURN, wxMOD_SHIFT, WXK_RETURN};
    EXPECT_TRUE(KeyMeanings(shiftEnter, KeyPlace::Tree).empty());
    EXPECT_EQ(KeyMeanings(shiftEnter, KeyPlace::Tree, KeyTaker::Tree),
              (Meanings{C::OpenInWebBrowser}));
    EXPECT_TRUE(
        KeyMeanings({WXK_RETURN, wxMOD_SHIFT | wxMOD_META, 0}, KeyPlace::Tree, KeyTaker::Tree)
            .empty());

    // The accelerators keep their keys, each for its command wherever the
    // focus is, and no other key is one.
    const std::vector<std::pair<KeyStroke, KeyCommand>> accelerators = {
        {{'N', wxMOD_CONTROL, 0}, C::New},      {{'O', wxMOD_CONTROL, 0}, C::Open},
        {{'S', wxMOD_CONTROL, 0}, C::Save},     {{'P', wxMOD_CONTROL, 0}, C::Print},
        {{'Z', wxMOD_CONTROL, 0}, C::Undo},     {{WXK_BACK, wxMOD_ALT, 0}, C::Undo},
        {{'X', wxMOD_CONTROL, 0}, C::Cut},      {{WXK_DELETE, wxMOD_SHIFT, 0}, C::Cut},
        {{'C', wxMOD_CONTROL, 0}, C::Copy},     {{WXK_INSERT, wxMOD_CONTROL, 0}, C::Copy},
        {{'V', wxMOD_CONTROL, 0}, C::Paste},    {{WXK_INSERT, wxMOD_SHIFT, 0}, C::Paste},
        {{WXK_F6, wxMOD_NONE, 0}, C::NextPane}, {{WXK_F6, wxMOD_SHIFT, 0}, C::PreviousPane},
    };
    for (const auto& [press, command] : accelerators)
        for (KeyPlace place : {KeyPlace::Tree, KeyPlace::SearchField, KeyPlace::Page})
            EXPECT_EQ(KeyMeanings(press, place, KeyTaker::Accelerator), (Meanings{command}))
                << press.code << " " << press.modifiers;
    EXPECT_EQ(AcceleratorKeys().size(), accelerators.size());
    // The window's hook leaves them to the accelerators, also in text fields.
    for (KeyPlace place : {KeyPlace::SearchField, KeyPlace::FindBar, KeyPlace::Page}) {
        EXPECT_TRUE(KeyMeanings({'C', wxMOD_CONTROL, 'C'}, place).empty());
        EXPECT_TRUE(KeyMeanings({WXK_INSERT, wxMOD_SHIFT, 0}, place).empty());
        EXPECT_EQ(KeyMeanings({WXK_INSERT, wxMOD_SHIFT, 0}, place, KeyTaker::Accelerator),
                  (Meanings{C::Paste}));
    }
    EXPECT_EQ(KeyText(C::Copy), "Ctrl+C");
    EXPECT_EQ(KeyText(C::OpenFindBar), "Ctrl+F");
    EXPECT_EQ(KeyText(C::FindPrevious), "Shift+F3");
    EXPECT_EQ(KeyText(C::Back), "Alt+Left");
    EXPECT_EQ(KeyText(C::SearchWithLetter), "");

    // The page keeps typing, moving about, Tab and Enter; it offers the
    // window the rest.
    for (int code : {int('A'), int(WXK_LEFT), int(WXK_TAB), int(WXK_RETURN), int(WXK_SPACE)}) {
        EXPECT_FALSE(PageOffersToWindow(code, wxMOD_NONE)) << code;
        EXPECT_FALSE(PageOffersToWindow(code, wxMOD_SHIFT)) << code;
    }
    EXPECT_FALSE(PageOffersToWindow(0, wxMOD_CONTROL));
    EXPECT_TRUE(PageOffersToWindow(WXK_ESCAPE, wxMOD_NONE));
    EXPECT_TRUE(PageOffersToWindow(WXK_F9, wxMOD_NONE));
    EXPECT_TRUE(PageOffersToWindow(WXK_F3, wxMOD_SHIFT));
    EXPECT_TRUE(PageOffersToWindow('F', wxMOD_CONTROL));
    EXPECT_TRUE(PageOffersToWindow(WXK_LEFT, wxMOD_ALT));
}
