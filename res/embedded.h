#pragma once
// Files built into the program: the start page served at lumo://start/, the
// application icon at each of its rendered sizes and the reader view's script.
// Their bytes are generated into the binary at build time from res/start/,
// res/icons/ and res/readability/, so they work with no network and no files
// beside the program.
#include <span>
#include <string_view>

namespace lumo::res {

/// One file carried inside the program, with the MIME type to serve it as.
struct EmbeddedFile
{
    std::string_view name;
    std::string_view mimeType;
    std::string_view bytes;
};

/// The start page file with this name ("index.html", "style.css", "logo.svg"...),
/// matched exactly, or nullptr when the start page has no such file.
const EmbeddedFile* FindStartPageFile(std::string_view name);

/// Every file of the start page, in name order.
std::span<const EmbeddedFile> StartPageFiles();

/// The reader view's script: an expression giving a function of one argument,
/// "check" or "extract", with Mozilla's Readability inside (see
/// res/readability/reader.js).
std::string_view ReaderScript();

/// The application icon as PNG files, smallest size first.
std::span<const EmbeddedFile> AppIconPngs();

} // namespace lumo::res
