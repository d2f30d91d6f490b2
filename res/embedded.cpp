#include "res/embedded.h"

#include <algorithm>

namespace lumo::res {

const EmbeddedFile* FindStartPageFile(std::string_view name)
{
    const auto files = StartPageFiles();
    const auto found = std::find_if(files.begin(), files.end(),
                                    [name](const EmbeddedFile& file) { return file.name == name; });
    return found == files.end() ? nullptr : &*found;
}

} // namespace lumo::res
