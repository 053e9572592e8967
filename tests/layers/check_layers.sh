#!/bin/sh
# The engine's layers, lowest first: a file may include headers of its own
# folder and of layers below its own, never of its own rank's other folders
# or of a higher layer. The build refuses most such includes already (each
# layer sees only the headers of what it links); this check holds the order
# itself, so that a link added for convenience cannot turn the layers round.
# Usage: check_layers.sh ENGINE_FOLDER
set -eu
engine=$1

rank_of() {
    case $1 in
    base) echo 0 ;;
    page) echo 1 ;;
    sources | workspace | metafile | decode/colour) echo 2 ;;
    decode) echo 3 ;;
    text) echo 4 ;;
    worker) echo 5 ;;
    prepare) echo 6 ;;
    pdf) echo 7 ;;
    job) echo 8 ;;
    *) echo "" ;;
    esac
}

cd "$engine"
status=0
sources=$(find . -name '*.cpp' -o -name '*.h' | sed 's|^\./||' | sort)
for file in $sources; do
    folder=$(dirname "$file")
    rank=$(rank_of "$folder")
    if [ -z "$rank" ]; then
        echo "$file: its folder $folder is no layer of the engine"
        status=1
        continue
    fi
    for header in $(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file"); do
        [ -f "$folder/$header" ] && continue
        home=$(echo "$sources" | grep -E "(^|/)$header\$" | head -n 1)
        if [ -z "$home" ]; then
            echo "$file: includes $header, which is not in the engine"
            status=1
            continue
        fi
        target=$(dirname "$home")
        if [ "$(rank_of "$target")" -ge "$rank" ]; then
            echo "$file ($folder) includes $header of $target: a layer may only include the layers below it"
            status=1
        fi
    done
done
[ $status -eq 0 ] && echo "the engine's includes all point downward"
exit $status
