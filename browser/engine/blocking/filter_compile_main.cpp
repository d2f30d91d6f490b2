// lumo-filter-compile: compiles the shipped filters when the program is built.
//
//   lumo-filter-compile FILTERS_DIR
//
// Compiles FILTERS_DIR/*.json, as the program would at its first start, into
// FILTERS_DIR/compiled/ with the state file that names this WebKit's version.
#include <cstdio>
#include <string>

#include "browser/engine/blocking/prebuilt_filters.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILTERS_DIR\n", argv[0]);
        return 2;
    }
    std::string error;
    if (!lumo::CompilePrebuiltFilters(argv[1], error)) {
        std::fprintf(stderr, "lumo-filter-compile: %s\n", error.c_str());
        return 1;
    }
    std::printf("Compiled the filters of %s for WebKit %s\n", argv[1],
                lumo::EngineVersion().c_str());
    return 0;
}
