#!/usr/bin/env bash
# Builds the Debian package and checks what it holds and what it depends on:
# the programs and desktop files in their places, and dependencies computed
# from the libraries (run-time packages only, never a -dev package).
# Usage: package_test.sh <build folder>
set -euo pipefail
build=$1

for tool in cpack dpkg-deb dpkg-shlibdeps; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed (scripts/install-deps.sh installs it)"
        exit 77
    fi
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cpack -G DEB -B "$scratch" --config "$build/CPackConfig.cmake" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log"; exit 1; }
deb=$(ls "$scratch"/quillmark_*.deb)
status=0

files=$(dpkg-deb -c "$deb" | awk '{print $NF}')
id=io.github.quillmark.Quillmark
for file in ./usr/bin/quillmark ./usr/bin/quillmark-cli ./usr/libexec/quillmark/quillmark-render \
    ./usr/share/applications/$id.desktop ./usr/share/metainfo/$id.metainfo.xml \
    ./usr/share/icons/hicolor/256x256/apps/$id.png ./usr/share/icons/hicolor/scalable/apps/$id.svg \
    ./usr/share/doc/quillmark/copyright; do
    grep -qxF "$file" <<<"$files" || { echo "not in the package: $file"; status=1; }
done

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = quillmark ] || { echo "package name: $(field Package)"; status=1; }
[ -n "$(field Version)" ] || { echo "no version"; status=1; }
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || { echo "architecture: $(field Architecture)"; status=1; }
depends=$(field Depends)
for library in libvips42 libhpdf libcairo2 libpangocairo libqt6widgets6 libqt6network6 qt6-qpa-plugins libc6; do
    grep -q "$library" <<<"$depends" || { echo "Depends lacks $library: $depends"; status=1; }
done
if grep -qE -- '-dev\b' <<<"$depends"; then
    echo "Depends names a development package: $depends"
    status=1
fi
[ $status -eq 0 ] && { echo "$deb:"; echo "$files"; echo "Depends: $depends"; }
exit $status
