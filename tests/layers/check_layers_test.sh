#!/bin/bash
# The layer check on small trees of its own: an include of a folder above and
# a link to a target above each fail it, named by file and include or
# target; includes and links downwards, and names in comments, pass.
#   check_layers_test.sh PATH_TO_CHECK_LAYERS_SH
set -u
check=$1
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
failed=0
fail() {
    echo "FAILED: $*" >&2
    failed=1
}

mkdir -p "$tree/common" "$tree/favorites" "$tree/app" "$tree/res/readability/node_modules"
printf '#include "common/paths.h"\n' >"$tree/common/paths.cpp"
printf '#include "common/paths.h"\n  #  include <favorites/store.h>\n' >"$tree/favorites/store.cpp"
printf '#include "favorites/store.h"\n#include "common/paths.h"\n' >"$tree/app/main.cpp"
# Not the program's: never checked.
printf '#include "app/main.h"\n' >"$tree/res/readability/node_modules/x.h"
printf 'add_library(common_core STATIC paths.cpp) # not app_ui\ntarget_link_libraries(common_core PUBLIC wx_base)\n' \
    >"$tree/common/CMakeLists.txt"
printf 'add_library(favorites_core STATIC store.cpp)\ntarget_link_libraries(favorites_core\n    PUBLIC common_core)\n' \
    >"$tree/favorites/CMakeLists.txt"
printf 'add_executable(app_ui main.cpp)\ntarget_link_libraries(app_ui PRIVATE favorites_core common_core)\n' \
    >"$tree/app/CMakeLists.txt"

out=$("$check" "$tree" 2>&1) || fail "a tree in order is refused: $out"

# An include upwards, in a header.
printf '#pragma once\n#include "app/main.h"\n' >"$tree/common/paths.h"
out=$("$check" "$tree" 2>&1) && fail "an include of app/ from common/ passes"
grep -q 'common/paths.h:2: .*app/main.h' <<<"$out" || fail "the include is not named: $out"
rm "$tree/common/paths.h"

# The web pane including the engine module's code, beside its allowed
# include of the boundary between them.
mkdir -p "$tree/browser/pane" "$tree/browser/engine"
printf '#include "browser/web_engine.h"\n#include "browser/pane/view.h"\n' >"$tree/browser/pane/view.cpp"
printf '#include "browser/web_engine.h"\n' >"$tree/browser/engine/impl.cpp"
out=$("$check" "$tree" 2>&1) || fail "a pane and an engine apart are refused: $out"
printf '#include "browser/engine/impl.h"\n' >>"$tree/browser/pane/view.cpp"
out=$("$check" "$tree" 2>&1) && fail "an include of the engine from the pane passes"
grep -q 'browser/pane/view.cpp:3: .*browser/engine/impl.h' <<<"$out" || fail "the include is not named: $out"
rm -r "$tree/browser"

# A link upwards, on a continued line.
printf 'add_library(favorites_core STATIC store.cpp)\ntarget_link_libraries(favorites_core\n    PUBLIC common_core app_ui)\n' \
    >"$tree/favorites/CMakeLists.txt"
out=$("$check" "$tree" 2>&1) && fail "a link of app_ui from favorites/ passes"
grep -q 'favorites/CMakeLists.txt: links app_ui' <<<"$out" || fail "the link is not named: $out"

exit $failed
