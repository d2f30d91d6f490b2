#include "common/window_caption.h"

#include "common/resource_ids.h"

namespace lumo {

std::string WindowCaption(std::string_view title)
{
    std::string caption;
    for (size_t at = 0; at < title.size();) {
        const auto byte = static_cast<unsigned char>(title[at]);
        // The code point starting here and its length; 0 for a byte that
        // starts none.
        size_t length = byte < 0x80                   ? 1
                        : byte >= 0xc2 && byte < 0xe0 ? 2
                        : byte >= 0xe0 && byte < 0xf0 ? 3
                        : byte >= 0xf0 && byte < 0xf5 ? 4
                                                      : 0;
        char32_t code = length == 1   ? byte
                        : length == 2 ? byte & 0x1f
                        : length == 3 ? byte & 0x0f
                                      : byte & 0x07;
        for (size_t i = 1; i < length; ++i) {
            const auto next = at + i < title.size() ? static_cast<unsigned char>(title[at + i]) : 0;
            if ((next & 0xc0) != 0x80) {
                length = 0;
                break;
            }
            code = (code << 6) | (next & 0x3f);
        }
        const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
        if (length == 0 || overlong || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) {
            ++at;
            continue;
        }
        const bool whitespace =
            code == '\t' || code == '\n' || code == '\r' || code == '\f' || code == '\v';
        const bool control = code < 0x20 || (code >= 0x7f && code <= 0x9f);
        const bool direction = code == 0x061c || code == 0x200e || code == 0x200f ||
                               (code >= 0x202a && code <= 0x202e) ||
                               (code >= 0x2066 && code <= 0x2069);
        if (whitespace)
            caption += ' ';
        else if (!control && !direction)
            caption.append(title.substr(at, length));
        at += length;
    }
    return caption + " - " + kAppName;
}

} // namespace lumo
