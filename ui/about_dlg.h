#pragma once
// The About box: product name, version, copyright notice and a live link to
// the product's web page.
#include <wx/dialog.h>
#include <wx/string.h>

class wxStaticText;
class wxStaticBitmap;

namespace lumo {

class CStaticLink;

// Controls of the About box that keep their numbers.
enum AboutControlId : int
{
    IDC_PRODUCT_LINK = 1006,
    IDC_VERSION = 1007,
};

/// The modal About box, a fresh one for each opening (see ShowAboutBox).
class CAboutDlg : public wxDialog
{
public:
    explicit CAboutDlg(wxWindow* parent = nullptr);

    CStaticLink* ProductLink() const { return m_productLink; }
    wxString VersionText() const;
    wxString ProductNameText() const;
    wxString CopyrightText() const;
    wxStaticBitmap* Icon() const { return m_icon; }

    static const char* CopyrightNotice();

private:
    // Puts the run-time texts in: the link's address and the version line.
    // The dialog is built empty of them, so every opening fills them anew.
    void InitTexts();

    CStaticLink* m_productLink = nullptr;
    wxString m_strVersion;
    wxStaticBitmap* m_icon = nullptr;
    wxStaticText* m_productName = nullptr;
    wxStaticText* m_version = nullptr;
    wxStaticText* m_copyright = nullptr;
};

// Help > About: shows a new About box modally over `parent` (the application's
// main window when null) and destroys it when it closes.
void ShowAboutBox(wxWindow* parent);

} // namespace lumo
