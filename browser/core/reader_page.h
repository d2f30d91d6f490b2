#pragma once
// The reader view's page: an article taken from a web page, shown alone in the
// program's own typography. What the extractor hands over comes from the page
// and is treated as data: its markup is rebuilt from a short list of elements
// and attributes, and the page carries a policy that lets nothing run and
// nothing load but the article's images. Plain C++ and libxml2: no wx, no web
// engine.
#include <string>
#include <string_view>

namespace lumo {

// The address the reader view's page is shown under; its style sheet is the
// built-in reader.css beside the start page.
inline constexpr const char* kReaderPageAddress = "lumo://start/reader";

// What the extractor found in the page, all of it as the page gave it.
struct ReaderArticle
{
    std::string title;     // the headline
    std::string byline;    // the author, as the page writes it
    std::string published; // the date, usually ISO 8601
    std::string siteName;  // the paper's name, when the page says it
    std::string lang;
    std::string dir;       // "ltr" or "rtl"
    std::string content;   // the article's HTML
    std::string pageTitle; // the page's own title
    std::string address;   // the page's address
};

// The article's HTML rebuilt from what may safely show: text, paragraphs,
// headings, lists, quotes, tables, figures, images with http, https or
// data:image sources and links with http or https targets. Scripts, styles,
// frames, forms, objects and media go with their content; every other
// element keeps only its text, every other attribute is dropped.
std::string SanitizeArticleHtml(std::string_view html);

// The date for the byline line, "7 December 2026" for an ISO 8601 date, else
// the text as it is.
std::string ReaderDate(std::string_view published);

// The page's title, which the window's caption shows: the page's own, with
// the paper's name when the title does not hold it.
std::string ReaderPageTitle(const ReaderArticle& article);

// The whole reader page. `skin` ("xp", "mini" or "soft") picks the colours of
// the program's skin.
std::string ReaderPageHtml(const ReaderArticle& article, std::string_view skin);

} // namespace lumo
