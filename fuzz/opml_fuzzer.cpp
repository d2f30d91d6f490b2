// Reads arbitrary bytes as an OPML file. Besides the sanitizers it stops when
// a refused file still gives outlines, when an outline has an address that is
// not http or https, none at all, or a title that is not collapsed, when
// there are more outlines than the limit, or when writing what was read and
// reading it again does not give the same outlines back.
#include "headlines/core/opml.h"

#include "common/address_text.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void Check(bool condition, const char* what, const std::string& detail = {})
{
    if (!condition) {
        std::fprintf(stderr, "OPML invariant broken: %s [%s]\n", what, detail.c_str());
        std::abort();
    }
}

void CheckAddress(const std::string& address)
{
    if (address.empty())
        return;
    const std::string scheme = lumo::SchemeOf(address);
    Check(scheme == "http" || scheme == "https", "an address is not a web address", address);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace headlines;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const OpmlReadResult result = ReadOpml(bytes);
    if (!result.error.empty()) {
        Check(result.outlines.empty() && result.skipped == 0, "a refused file gave outlines");
        return 0;
    }
    Check(result.outlines.size() <= kMaxOpmlOutlines, "more outlines than the limit");
    for (const OpmlOutline& outline : result.outlines) {
        CheckAddress(outline.xmlUrl);
        CheckAddress(outline.htmlUrl);
        Check(!outline.xmlUrl.empty() || !outline.htmlUrl.empty(), "an outline with no address");
        Check(outline.title.find_first_of("\t\n\r") == std::string::npos &&
                  outline.title.find("  ") == std::string::npos,
              "a title is not collapsed", outline.title);
    }
    const std::string written = WriteOpml(result.outlines);
    const OpmlReadResult again = ReadOpml(written);
    Check(again.error.empty(), "what was written cannot be read", again.error);
    Check(again.skipped == 0, "what was written is skipped when read");
    Check(again.outlines == result.outlines, "writing and reading again changed the outlines",
          written);
    return 0;
}
