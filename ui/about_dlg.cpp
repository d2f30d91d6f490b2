#include "ui/about_dlg.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include "common/resource_ids.h"
#include "ui/accessibility.h"
#include "ui/app_icon.h"
#include "ui/hyperlink.h"

namespace lumo {
namespace {

constexpr int kIconSize = 64;

} // namespace

CAboutDlg::CAboutDlg(wxWindow* parent)
    : wxDialog(parent, IDD_ABOUTBOX, wxString("About ") + kAppTitle)
{
    SetIcons(AppIconBundle());

    m_icon = new wxStaticBitmap(this, wxID_ANY, AppIconBitmap(kIconSize));
    SetAccessibleName(m_icon, wxString(kAppName) + " icon");
    SetAccessibleRole(m_icon, AccessibleRole::Image);

    // No mnemonic processing: the name is shown as written.
    m_productName = new wxStaticText(this, wxID_ANY, wxString());
    m_productName->SetLabelText(kAppName);
    m_productName->SetFont(m_productName->GetFont().Bold());
    m_version = new wxStaticText(this, IDC_VERSION, m_strVersion);
    m_copyright = new wxStaticText(this, wxID_ANY, wxString());
    m_copyright->SetLabelText(wxString::FromUTF8(CopyrightNotice()));
    m_productLink = new CStaticLink(nullptr, false);
    m_productLink->Create(this, IDC_PRODUCT_LINK, wxString());

    auto* ok = new wxButton(this, wxID_OK, "OK");
    ok->SetDefault();
    SetAffirmativeId(wxID_OK);
    SetEscapeId(wxID_OK);

    InitTexts();

    // The texts line up with the link's text, inside its focus margin.
    const wxSizerFlags text = wxSizerFlags().Border(wxLEFT, CStaticLink::kTextMargin);
    auto* texts = new wxBoxSizer(wxVERTICAL);
    texts->Add(m_productName, text);
    texts->AddSpacer(FromDIP(4));
    texts->Add(m_version, text);
    texts->AddSpacer(FromDIP(12));
    texts->Add(m_copyright, text);
    texts->AddSpacer(FromDIP(6));
    texts->Add(m_productLink);

    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(m_icon, wxSizerFlags().Top().Border(wxRIGHT, FromDIP(16)));
    row->Add(texts, wxSizerFlags(1).Top());
    row->AddSpacer(FromDIP(24));
    row->Add(ok, wxSizerFlags().Top());

    auto* outer = new wxBoxSizer(wxVERTICAL);
    outer->Add(row, wxSizerFlags(1).Expand().Border(wxALL, FromDIP(16)));
    SetSizerAndFit(outer);
    CentreOnParent();
    ok->SetFocus();
}

void CAboutDlg::InitTexts()
{
    m_productLink->SetLabel(kProductWebPage);
    m_productLink->m_target = kProductWebPage;
    m_strVersion = kVersionText;
    m_version->SetLabelText(m_strVersion);
}

wxString CAboutDlg::VersionText() const
{
    return m_version->GetLabelText();
}

wxString CAboutDlg::ProductNameText() const
{
    return m_productName->GetLabelText();
}

wxString CAboutDlg::CopyrightText() const
{
    return m_copyright->GetLabelText();
}

const char* CAboutDlg::CopyrightNotice()
{
    return "Copyright \xC2\xA9 2026 The Lumo News Reader developers";
}

void ShowAboutBox(wxWindow* parent)
{
    CAboutDlg dialog(parent);
    dialog.ShowModal();
}

} // namespace lumo
