#!/usr/bin/env bash
# bench/lossless.sh BUILD_DIR
#
# Lossless documents beside img2pdf, in one run: 80 pictures that are sharp
# already (screenshots, 300 dpi scans in Group 4, PackBits, uncompressed TIFF
# and 1-bit PNG, 204 x 98 dpi faxes, palette GIFs and PNGs, grey and 16-bit
# grey PNGs, and pictures of the test corpus) go into one document with
# `quillmark-cli --lossless --page picture` and with img2pdf. Printed: each
# document's size, the fastest of BENCH_REPEAT (default 3) runs, and how many
# pixels of every page differ from its picture, as pdfimages extracts the
# page's image and as pdftoppm and mutool draw the page at the image's own
# size. Needs img2pdf, poppler-utils and mupdf-tools (QUILLMARK_BENCH=1
# scripts/install-deps.sh); figures only, nothing here fails on speed.
set -euo pipefail

build=$(realpath "${1:?usage: bench/lossless.sh BUILD_DIR}")
here=$(dirname "$(realpath "$0")")
cli=$build/cli/quillmark-cli
set_dir=$build/bench-lossless/pictures
out=$build/bench-lossless/out
repeat=${BENCH_REPEAT:-3}
python=/usr/bin/python3 # Pillow, as img2pdf has it

if [ ! -d "$set_dir" ]; then
    "$python" "$here/lossless_pictures.py" make "$set_dir" "$here/../tests/data/corpus" >/dev/null
fi
mkdir -p "$out"
mapfile -t pictures < <(find "$set_dir" -type f | sort)
echo "pictures: ${#pictures[@]}"

fastest() { # fastest NAME COMMAND...: the best wall time of $repeat runs
    local name=$1 best=
    shift
    for _ in $(seq "$repeat"); do
        local start end took
        start=$(date +%s.%N)
        "$@" >/dev/null 2>&1
        end=$(date +%s.%N)
        took=$(echo "$end - $start" | bc)
        if [ -z "$best" ] || [ "$(echo "$took < $best" | bc)" = 1 ]; then best=$took; fi
    done
    printf '%-12s %6.2f s\n' "$name" "$best"
}

fastest quillmark "$cli" -q --lossless --page picture --force --output "$out/quillmark.pdf" "${pictures[@]}"
fastest img2pdf img2pdf -o "$out/img2pdf.pdf" "${pictures[@]}"
q=$(stat -c %s "$out/quillmark.pdf")
i=$(stat -c %s "$out/img2pdf.pdf")
printf 'size: quillmark %d bytes, img2pdf %d bytes, ratio %.3f\n' "$q" "$i" "$(echo "$q / $i" | bc -l)"
echo "quillmark:"
"$python" "$here/lossless_pictures.py" compare "$out/quillmark.pdf" "$out" "${pictures[@]}" | sed 's/^/  /'
echo "img2pdf:"
"$python" "$here/lossless_pictures.py" compare-every-frame "$out/img2pdf.pdf" "$out" "${pictures[@]}" | sed "s/^/  /"
