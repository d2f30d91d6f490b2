#!/bin/bash
# Checks that the program's folders stand on each other in one order: a file
# may include headers of its own folder and of the folders below it, never of
# one above; a folder's CMakeLists.txt links only targets of its own folder and
# of those below. Names each file and include (or target) that breaks the
# order, and fails when there is any.
#
#   scripts/check-layers.sh [SOURCE_ROOT]   (default: the tree this script is in)
set -eu

# Lowest first.
LAYERS=(common res content_filter favorites headlines ui browser directory app)

root=${1:-"$(dirname "$0")/.."}
cd "$root"

level_of() {
    local i
    for i in "${!LAYERS[@]}"; do
        if [ "${LAYERS[$i]}" = "$1" ]; then
            echo "$i"
            return
        fi
    done
    echo -1
}

failures=0
alternatives=$(IFS='|'; echo "${LAYERS[*]}")

# Includes.
for i in "${!LAYERS[@]}"; do
    dir=${LAYERS[$i]}
    [ -d "$dir" ] || continue
    while IFS= read -r hit; do
        [ -n "$hit" ] || continue
        file=${hit%%:*}
        rest=${hit#*:}
        line=${rest%%:*}
        text=${rest#*:}
        included=$(sed -E "s@^[[:space:]]*#[[:space:]]*include[[:space:]]*[\"<]([a-z_]+)/.*@\1@" <<<"$text")
        if [ "$(level_of "$included")" -gt "$i" ]; then
            echo "$file:$line: includes $included/, a layer above $dir/: ${text#"${text%%[![:space:]]*}"}"
            failures=$((failures + 1))
        fi
    done < <(find "$dir" -name node_modules -prune -o -type f \
                 \( -name '*.h' -o -name '*.hpp' -o -name '*.c' -o -name '*.cpp' -o -name '*.cc' \) \
                 -print0 |
             xargs -0 -r grep -HnE "^[[:space:]]*#[[:space:]]*include[[:space:]]*[\"<]($alternatives)/" || true)
done

# Inside a folder, parts that must not see each other: "PART !INCLUDED" says
# that no file under PART includes a header under INCLUDED. The web pane
# never includes the engine module's code, which alone names WebKit types (it
# reaches the engine through browser/web_engine.h), nor the module the pane's;
# the pure core includes neither.
FORBIDDEN=(
    "browser/pane !browser/engine"
    "browser/engine !browser/pane"
    "browser/core !browser/pane"
    "browser/core !browser/engine"
)
for rule in "${FORBIDDEN[@]}"; do
    part=${rule%% *}
    included=${rule#*!}
    [ -d "$part" ] || continue
    while IFS= read -r hit; do
        [ -n "$hit" ] || continue
        file=${hit%%:*}
        rest=${hit#*:}
        line=${rest%%:*}
        text=${rest#*:}
        echo "$file:$line: includes $included/, which $part/ must not see: ${text#"${text%%[![:space:]]*}"}"
        failures=$((failures + 1))
    done < <(find "$part" -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.c' \) -print0 |
             xargs -0 -r grep -HnE "^[[:space:]]*#[[:space:]]*include[[:space:]]*[\"<]$included/" || true)
done

# Links: the targets each folder makes, then the targets each folder names.
declare -A owner
for dir in "${LAYERS[@]}"; do
    [ -f "$dir/CMakeLists.txt" ] || continue
    for target in $(sed 's/#.*//' "$dir/CMakeLists.txt" |
                    grep -oE '(add_library|add_executable)\([[:space:]]*[A-Za-z0-9_.-]+' |
                    sed -E 's/.*\([[:space:]]*//'); do
        owner[$target]=$dir
    done
done
for i in "${!LAYERS[@]}"; do
    dir=${LAYERS[$i]}
    [ -f "$dir/CMakeLists.txt" ] || continue
    # Every word of the folder's link lines (a call may run over several lines).
    words=$(sed 's/#.*//' "$dir/CMakeLists.txt" |
            awk '/target_link_libraries\(/ { on = 1 } on { print } on && /\)/ { on = 0 }' |
            grep -oE '[A-Za-z0-9_.:-]+' || true)
    for word in $words; do
        other=${owner[$word]:-}
        [ -n "$other" ] || continue
        if [ "$(level_of "$other")" -gt "$i" ]; then
            echo "$dir/CMakeLists.txt: links $word of $other/, a layer above $dir/"
            failures=$((failures + 1))
        fi
    done
done

if [ "$failures" -gt 0 ]; then
    echo "Layer order (lowest first): ${LAYERS[*]}; $failures break it." >&2
    exit 1
fi
echo "Layers in order: ${LAYERS[*]}"
