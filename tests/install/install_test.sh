#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR, checks the tree and the desktop
# files with the freedesktop validators, then moves the tree to another prefix
# and converts a picture with the installed converter: it must find its decoder
# in libexec relative to itself, never in the build folder.
# Usage: install_test.sh <build folder> <picture>
set -euo pipefail
build=$1 picture=$2

for tool in desktop-file-validate appstreamcli; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed (scripts/install-deps.sh installs it)"
        exit 77
    fi
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
DESTDIR="$scratch/root" cmake --install "$build" --prefix /usr >/dev/null

id=io.github.quillmark.Quillmark
expected=(
    usr/bin/quillmark
    usr/bin/quillmark-cli
    usr/libexec/quillmark/quillmark-render
    usr/share/applications/$id.desktop
    usr/share/metainfo/$id.metainfo.xml
    usr/share/icons/hicolor/scalable/apps/$id.svg
    usr/share/doc/quillmark/copyright
)
for size in 16 22 24 32 48 64 128 256; do
    expected+=("usr/share/icons/hicolor/${size}x${size}/apps/$id.png")
done
status=0
for file in "${expected[@]}"; do
    [ -f "$scratch/root/$file" ] || { echo "missing: $file"; status=1; }
done
for program in usr/bin/quillmark usr/bin/quillmark-cli usr/libexec/quillmark/quillmark-render; do
    [ -x "$scratch/root/$program" ] || { echo "not executable: $program"; status=1; }
done
# Nothing else: no worker in bin/, no test or benchmark programs.
unexpected=$(cd "$scratch/root" && find . -type f | sed 's|^\./||' | sort |
    grep -vxF -f <(printf '%s\n' "${expected[@]}") || true)
[ -z "$unexpected" ] || { echo "installed but not expected:"; echo "$unexpected"; status=1; }

desktop-file-validate "$scratch/root/usr/share/applications/$id.desktop" | grep -v ': hint:' && status=1
appstreamcli validate --no-net "$scratch/root/usr/share/metainfo/$id.metainfo.xml" || status=1

# Another prefix, and a decoder that leaves a mark when it is the one used.
mkdir -p "$scratch/elsewhere"
mv "$scratch/root/usr" "$scratch/elsewhere/prefix"
libexec="$scratch/elsewhere/prefix/libexec/quillmark"
mv "$libexec/quillmark-render" "$libexec/real-render"
cat >"$libexec/quillmark-render" <<WRAPPER
#!/bin/sh
touch "$scratch/installed-decoder-used"
exec "$libexec/real-render" "\$@"
WRAPPER
chmod +x "$libexec/quillmark-render"
mkdir "$scratch/out"
(cd "$scratch" && env -u QUILLMARK_RENDER "$scratch/elsewhere/prefix/bin/quillmark-cli" -q \
    -o "$scratch/out" "$picture") || { echo "the installed converter failed"; status=1; }
ls "$scratch"/out/*/result.pdf >/dev/null 2>&1 || { echo "no result.pdf"; status=1; }
[ -e "$scratch/installed-decoder-used" ] || { echo "the installed decoder in libexec was not used"; status=1; }

# Without its decoder the installed converter says where it looked, and never
# falls back on the build folder's.
rm "$libexec/quillmark-render"
if (cd "$scratch" && env -u QUILLMARK_RENDER "$scratch/elsewhere/prefix/bin/quillmark-cli" -q \
    -o "$scratch/out" "$picture" 2>"$scratch/missing.log"); then
    echo "the converter ran without its decoder"
    status=1
fi
grep -q "libexec/quillmark/quillmark-render" "$scratch/missing.log" ||
    { echo "the error does not name libexec:"; cat "$scratch/missing.log"; status=1; }
if grep -qF "$(cd "$build" && pwd)" "$scratch/missing.log"; then
    echo "the installed converter looked in the build folder:"
    cat "$scratch/missing.log"
    status=1
fi
exit $status
