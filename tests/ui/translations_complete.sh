#!/usr/bin/env bash
# Every text the window's code marks for translation has its English
# translation: lupdate reads the code into a copy of the .ts file, and no
# message may come out new or unfinished.
# Usage: translations_complete.sh <lupdate> <ui source folder> <quillmark_en.ts>
set -euo pipefail
lupdate=$1 sources=$2 ts=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$ts" "$scratch/check.ts"
"$lupdate" -silent -no-obsolete -locations none -extensions cpp,h "$sources" -ts "$scratch/check.ts"
if grep -B2 'type="unfinished"' "$scratch/check.ts"; then
    echo "these texts have no English translation in $ts; run the update_translations target and translate them"
    exit 1
fi
