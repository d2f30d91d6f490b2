#include "ui/app_icon.h"

#include <vector>

#include <wx/image.h>
#include <wx/mstream.h>

#include "res/embedded.h"

namespace lumo {
namespace {

// Each built-in size, decoded; a PNG that does not decode is left out.
std::vector<wxImage> DecodeAppIcons()
{
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
        wxImage::AddHandler(new wxPNGHandler);
    std::vector<wxImage> images;
    for (const res::EmbeddedFile& file : res::AppIconPngs()) {
        wxMemoryInputStream stream(file.bytes.data(), file.bytes.size());
        wxImage image;
        if (image.LoadFile(stream, wxBITMAP_TYPE_PNG))
            images.push_back(std::move(image));
    }
    return images;
}

} // namespace

wxIconBundle AppIconBundle()
{
    wxIconBundle bundle;
    for (const wxImage& image : DecodeAppIcons()) {
        wxIcon icon;
        icon.CopyFromBitmap(wxBitmap(image));
        bundle.AddIcon(icon);
    }
    return bundle;
}

wxBitmap AppIconBitmap(int size)
{
    const std::vector<wxImage> images = DecodeAppIcons();
    const wxImage* larger = nullptr;
    for (const wxImage& image : images) {
        if (image.GetWidth() == size)
            return wxBitmap(image);
        if (image.GetWidth() > size && (!larger || image.GetWidth() < larger->GetWidth()))
            larger = &image;
    }
    if (!larger)
        return wxBitmap();
    return wxBitmap(larger->Scale(size, size, wxIMAGE_QUALITY_HIGH));
}

} // namespace lumo
