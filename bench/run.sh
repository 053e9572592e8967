#!/usr/bin/env bash
# bench/run.sh BUILD_DIR
#
# How fast quillmark-cli turns photos into PDF documents, and how much memory
# it takes, beside peers doing the same per-picture work (fit into the page,
# centre on white, JPEG quality 75, then into a PDF), all in one run so that
# they share the same machine load:
#   a  quillmark-cli, one merged PDF of the 50 12-megapixel photo JPEGs
#   a4 the same on A4 pages at 150 dpi (--page A4 --dpi 150): fewer pixels per page
#   b  the same, one PDF per picture (--separate)
#   c  quillmark-cli merged, a mixed set (JPEG, PNG with alpha, TIFF, GIF, BMP)
#   d  libvips in one process (vips-batch) + img2pdf: what a good library does
#   e  a bare libjpeg-turbo loop (jpeg-fit-limit): the practical limit
#   f  ImageMagick per picture + img2pdf, when it is installed
#   g  quillmark-cli merged over 500 pictures: does memory stay flat?
#   h  the PDF stage alone (pdf_stage_bench), per page
#   i  how soon a job stops while a huge picture decodes (stop_latency_bench)
#   j  the window's list of 10,000 pictures: scrolling and hovering (list_preview_bench)
#   k  quillmark-cli merged with --keep-jpeg: the JPEGs go in byte for byte
#   k2 img2pdf embedding the same JPEGs (it never re-encodes either)
#   k3 quillmark-cli merged with --keep-jpeg over 2,000 pictures: the pictures
#      are read from their files as the document is written, so memory must
#      stay flat whatever the page count
#   l  what keeping JPEGs costs step by step (keep_jpeg_bench)
#   m  searchable documents (ocr_bench): seconds per page of text recognition
#      with eng and with chi_sim+eng, two workers, and the bytes the text
#      layer adds per page
#   n  the metafile renderer alone, per shared metafile (metafile_bench)
# Peers run as two processes over halves of the list, as the converter uses
# both cores. Memory is the peak of the summed resident memory of the whole
# process tree (the converter prepares pages in worker processes). The merged
# document is held in memory until it is saved, so memory is also shown
# beyond the document's size.
#
# The picture set is made once (several minutes) and kept in
# BUILD_DIR/bench-corpus; the reference tools are built into
# BUILD_DIR/bench-tools. Figures only: nothing here fails on speed.
# BENCH_REPEAT (default 3) sets the runs of cases a to e, in rounds so that
# a change of machine load hits all of them; the fastest run is shown, as
# other work on the machine only ever adds time. f and g
# run once; BENCH_IM_PICTURES (default 16) sets how many JPEGs ImageMagick,
# the slowest, gets.
set -euo pipefail

W=1587 H=2245 Q=75
SELF=$(realpath "$0")

# Internal: "run.sh --peer MAKER PDF OUTDIR FILE..." makes the pages of FILE...
# in OUTDIR with MAKER (a reference tool, or "imagemagick"), two processes at
# once, then, when PDF is "pdf", puts them into OUTDIR/result.pdf with img2pdf.
peer() {
    local maker=$1 pdf=$2 outdir=$3
    shift 3
    if [ "$maker" = imagemagick ]; then
        printf '%s\0' "$@" | xargs -0 -P 2 -I{} "$SELF" --magick-page "$outdir" {}
    else
        local half=$((($# + 1) / 2)) first second failed=0
        # One thread per libvips pipeline, as in the converter.
        VIPS_CONCURRENCY=1 "$maker" $W $H $Q "$outdir" "${@:1:half}" &
        first=$!
        VIPS_CONCURRENCY=1 "$maker" $W $H $Q "$outdir" "${@:half+1}" &
        second=$!
        wait $first || failed=$?
        wait $second || failed=$?
        [ $failed = 0 ] || return $failed
    fi
    if [ "$pdf" = pdf ]; then
        img2pdf "$outdir"/*.jpg -o "$outdir/result.pdf"
    fi
}

# Internal: one picture as ImageMagick does it (its PDF writer is off by policy
# on Debian, hence img2pdf afterwards). One thread each: two run at once.
magick_page() {
    MAGICK_THREAD_LIMIT=1 /usr/bin/convert-im6.q16 "$2" -resize ${W}x$H -background white \
        -gravity center -extent ${W}x$H -quality $Q "$1/$(basename "$2").jpg"
}

case ${1:-} in
--peer) shift; peer "$@"; exit ;;
--magick-page) shift; magick_page "$@"; exit ;;
"" | -*) echo "usage: $0 BUILD_DIR" >&2; exit 2 ;;
esac

BUILD=$(realpath "$1")
REPO=$(cd "$(dirname "$SELF")/.." && pwd)
REFERENCE=$REPO/bench/reference
[ -f "$REFERENCE/make-corpus.sh" ] || { echo "no reference tools in $REFERENCE" >&2; exit 1; }
CORPUS=$BUILD/bench-corpus
TOOLS=$BUILD/bench-tools
CLI=$BUILD/cli/quillmark-cli
USAGE=$BUILD/bench/process_tree_usage
PDF_STAGE=$BUILD/bench/pdf_stage_bench
KEEP_JPEG=$BUILD/bench/keep_jpeg_bench
OCR=$BUILD/bench/ocr_bench
REPEAT=${BENCH_REPEAT:-3}
IMAGEMAGICK_PICTURES=${BENCH_IM_PICTURES:-16}

for needed in "$CLI" "$USAGE" "$PDF_STAGE" "$KEEP_JPEG" "$OCR"; do
    [ -x "$needed" ] || { echo "missing $needed: build first (cmake --build $BUILD)" >&2; exit 1; }
done

# Everything a run writes goes on the build directory's disk, as the
# converter's own scratch pages go beside its output.
WORK=$(mktemp -d "$BUILD/bench-work.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/results"

make_corpus() {
    [ -f "$CORPUS/MANIFEST.tsv" ] && return
    echo "making the picture set in $CORPUS (once; several minutes)..."
    rm -rf "$CORPUS.partial"
    bash "$REFERENCE/make-corpus.sh" "$CORPUS.partial" --jobs 2 >"$WORK/corpus.log" 2>&1 ||
        { cat "$WORK/corpus.log" >&2; exit 1; }
    mv "$CORPUS.partial" "$CORPUS"
}

build_tools() {
    mkdir -p "$TOOLS"
    local vipsFlags
    read -ra vipsFlags <<<"$(pkg-config --cflags --libs vips)"
    [ "$TOOLS/vips-batch" -nt "$REFERENCE/vips-batch.c" ] ||
        cc -O2 "$REFERENCE/vips-batch.c" "${vipsFlags[@]}" -o "$TOOLS/vips-batch"
    [ "$TOOLS/jpeg-fit-limit" -nt "$REFERENCE/jpeg-fit-limit.c" ] ||
        cc -O2 "$REFERENCE/jpeg-fit-limit.c" -lturbojpeg -o "$TOOLS/jpeg-fit-limit"
}

# measure CASE COMMAND...: one run of COMMAND, which writes into the
# empty folder $WORK/out. Appends "wall cpu peak-KiB status pdf-bytes pdf-pages"
# to $WORK/results/CASE.
measure() {
    local name=$1 bytes pdfPages=- wall cpu peak exitStatus
    shift
    rm -rf "$WORK/out" && mkdir "$WORK/out"
    "$USAGE" "$WORK/usage" "$@" >"$WORK/$name.log" 2>&1 || true
    bytes=$(find "$WORK/out" -name '*.pdf' -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }')
    # A merged document must hold every page; a wrong count is shown, not hidden.
    if command -v qpdf >/dev/null && [ "$(find "$WORK/out" -name '*.pdf' | wc -l)" = 1 ]; then
        pdfPages=$(qpdf --show-npages "$(find "$WORK/out" -name '*.pdf')" 2>/dev/null || echo '?')
    fi
    read -r wall cpu peak exitStatus <"$WORK/usage"
    echo "$wall $cpu $peak $exitStatus $bytes $pdfPages" >>"$WORK/results/$name"
    [ "$exitStatus" = 0 ] || echo "  $name: exit status $exitStatus (log: $(tail -n 3 "$WORK/$name.log" | tr '\n' ' '))" >&2
    rm -rf "$WORK/out"
}

# The fastest run of a case.
best() {
    local file=$WORK/results/$1
    [ -s "$file" ] || return 0
    sort -n -k1 "$file" | head -n 1
}

row() { # row CASE PAGES DESCRIPTION
    local line
    line=$(best "$1")
    if [ -z "$line" ]; then
        printf '%-2s %-46s %5s  not run\n' "$1" "$3" "$2"
        return
    fi
    awk -v id="$1" -v pages="$2" -v what="$3" '{
        wall = $1; cpu = $2; peak = $3 / 1024; pdf = $5 / 1e6
        beyond = pdf > 0 ? sprintf("%8.0f", peak - pdf) : sprintf("%8s", "-")
        note = $4 != 0 ? " exit " $4 : ""
        if ($6 != "-" && $6 != pages) note = note " PDF has " $6 " pages"
        printf "%-2s %-46s %5d %7.2f %7.2f %8.1f %8.1f %8.1f %8.0f %8.1f%s%s\n",
            id, what, pages, wall, cpu, pages / wall, 1000 * wall / pages, 1000 * cpu / pages,
            peak, pdf, beyond, note
    }' <<<"$line"
}

field() { # field CASE N: one figure of a case's fastest run
    best "$1" | awk -v n="$2" '{ print $n }'
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "" || b == "" || b == 0) print "-"; else printf "%.2f", a / b }'; }

verdict() { # verdict VALUE LIMIT: whether a figure is within its target
    awk -v v="$1" -v l="$2" 'BEGIN { if (v == "-" || v == "") print "not measured"; else print (v + 0 <= l + 0 ? "met" : "NOT met") }'
}

make_corpus
build_tools
shopt -s nullglob
JPEGS=("$CORPUS"/jpeg/*.jpg)
MIXED=("$CORPUS"/jpeg/land-0[1-5].jpg "$CORPUS"/png/*.png "$CORPUS"/tiff/*.tif "$CORPUS"/gif/*.gif
    "$CORPUS"/bmp/*.bmp)
MAGICK=("${JPEGS[@]:0:IMAGEMAGICK_PICTURES}")
MANY=()
for _ in $(seq 10); do MANY+=("${JPEGS[@]}"); done
KEPT_MANY=()
while [ ${#KEPT_MANY[@]} -lt 2000 ]; do KEPT_MANY+=("${JPEGS[@]}"); done
KEPT_MANY=("${KEPT_MANY[@]:0:2000}")
[ -x /usr/bin/convert-im6.q16 ] || MAGICK=()
cat "$CORPUS"/*/* >/dev/null # every run reads from the page cache, none from disk
loadBefore=$(cut -d' ' -f1-3 /proc/loadavg)

for round in $(seq "$REPEAT"); do
    echo "round $round of $REPEAT..."
    measure a "$CLI" -q -o "$WORK/out" "${JPEGS[@]}"
    measure a4 "$CLI" -q --page A4 --dpi 150 -o "$WORK/out" "${JPEGS[@]}"
    measure b "$CLI" -q --separate -o "$WORK/out" "${JPEGS[@]}"
    measure c "$CLI" -q -o "$WORK/out" "${MIXED[@]}"
    measure d "$SELF" --peer "$TOOLS/vips-batch" pdf "$WORK/out" "${JPEGS[@]}"
    measure d2 "$SELF" --peer "$TOOLS/vips-batch" pdf "$WORK/out" "${MIXED[@]}"
    measure e "$SELF" --peer "$TOOLS/jpeg-fit-limit" no "$WORK/out" "${JPEGS[@]}"
    measure e2 "$SELF" --peer "$TOOLS/jpeg-fit-limit" pdf "$WORK/out" "${JPEGS[@]}"
    measure k "$CLI" -q --keep-jpeg -o "$WORK/out" "${JPEGS[@]}"
    measure k2 img2pdf "${JPEGS[@]}" -o "$WORK/out/result.pdf"
done
if [ ${#MAGICK[@]} -gt 0 ]; then
    echo "ImageMagick, once, on ${#MAGICK[@]} of the JPEGs..."
    measure f "$SELF" --peer imagemagick pdf "$WORK/out" "${MAGICK[@]}"
fi
echo "${#MANY[@]} pictures, once..."
measure g "$CLI" -q -o "$WORK/out" "${MANY[@]}"
echo "${#KEPT_MANY[@]} pictures kept as they are, once..."
measure k3 "$CLI" -q --keep-jpeg -o "$WORK/out" "${KEPT_MANY[@]}"

echo "the PDF stage alone..."
"$TOOLS/vips-batch" $W $H $Q "$WORK" "${JPEGS[0]}"
"$PDF_STAGE" "$WORK/$(basename "${JPEGS[0]}").jpg" 100 "$WORK/pdf-stage" ${W}x$H >"$WORK/pdf-stage.txt" ||
    echo "  the PDF stage benchmark failed" >&2
echo "keeping JPEGs, step by step..."
"$KEEP_JPEG" "$WORK/keep" "${JPEGS[@]:0:10}" >"$WORK/keep-jpeg.txt" 2>"$WORK/keep-jpeg.log" ||
    echo "  the keep-JPEG benchmark failed" >&2
echo "text recognition..."
"$OCR" "$WORK/ocr" >"$WORK/ocr.txt" || echo "  the text recognition benchmark failed" >&2
loadAfter=$(cut -d' ' -f1-3 /proc/loadavg)

echo
echo "Quillmark benchmark: page ${W}x$H (a4: A4 at 150 dpi), quality $Q, $(nproc) cores; a to e: fastest of $REPEAT runs, f and g: one run"
echo "load average before / after: $loadBefore / $loadAfter. Other work on the machine makes figures drift"
echo "(±20% is usual): compare rows of one run, not runs of different days."
echo
printf '%-2s %-46s %5s %7s %7s %8s %8s %8s %8s %8s %8s\n' "" case pages "wall s" "CPU s" pages/s \
    ms/page "CPU ms/p" "peak MB" "PDF MB" "peak-PDF"
row a ${#JPEGS[@]} "quillmark merged, 12 MP JPEGs"
row a4 ${#JPEGS[@]} "quillmark merged, A4 at 150 dpi (1240x1754)"
row b ${#JPEGS[@]} "quillmark --separate, 12 MP JPEGs"
row c ${#MIXED[@]} "quillmark merged, mixed JPEG/PNG/TIFF/GIF/BMP"
row d ${#JPEGS[@]} "vips-batch x2 + img2pdf, 12 MP JPEGs"
row d2 ${#MIXED[@]} "vips-batch x2 + img2pdf, mixed set"
row e ${#JPEGS[@]} "jpeg-fit-limit x2, pages only (no PDF)"
row e2 ${#JPEGS[@]} "jpeg-fit-limit x2 + img2pdf"
if [ ${#MAGICK[@]} -gt 0 ]; then
    row f ${#MAGICK[@]} "ImageMagick x2 + img2pdf (first ${#MAGICK[@]} JPEGs only)"
else
    echo "f  ImageMagick: /usr/bin/convert-im6.q16 is not installed"
fi
row g ${#MANY[@]} "quillmark merged, the ${#JPEGS[@]} JPEGs 10 times"
row k ${#JPEGS[@]} "quillmark merged --keep-jpeg, 12 MP JPEGs"
row k2 ${#JPEGS[@]} "img2pdf embedding the same JPEGs"
row k3 ${#KEPT_MANY[@]} "quillmark merged --keep-jpeg, 2,000 pictures"
echo "(peak MB: summed resident memory of the process tree, shared libraries counted per process;"
echo " peak-PDF: peak beyond the size of the document written, which the PDF library holds in memory)"
echo
echo "h  PDF stage alone (pdf_stage_bench, 100 copies of one prepared page, fastest of 3):"
awk '{ printf "     %-24s %7.3f ms/page   %7.1f MB written\n", $1, $2, $3 }' "$WORK/pdf-stage.txt"

echo "l  keeping JPEGs, per picture, 10 of the JPEGs, one thread (keep_jpeg_bench, fastest of 3):"
awk '{ printf "     %-8s %7.1f ms\n", $1, $2 }' "$WORK/keep-jpeg.txt"
echo "     (check: that the picture is whole, from its markers; keep: the whole decision and hand-over;"
echo "      render: the page made without the option; pdf: per page)"

if [ -x "$BUILD/ui/stop_latency_bench" ]; then
    echo "i  $("$BUILD/ui/stop_latency_bench" "$CLI" 2>/dev/null | sed '2,$s/^/ /')"
fi

echo "   jpeg-fit-limit's own split of its time (one line per process, last run of e):"
sed -n 's/^jpeg-fit-limit: /     /p' "$WORK/e.log"

if [ -x "$BUILD/ui/list_preview_bench" ]; then
    echo "j  the window's list of 10,000 pictures, scrolled and hovered while previews are made:"
    "$BUILD/ui/list_preview_bench" 2>/dev/null | sed 's/^/     /'
fi
echo "m  searchable documents (ocr_bench, 8 printed A4 pages at 200 dpi, English and Chinese):"
sed 's/^/     /' "$WORK/ocr.txt"

METAFILES=$REPO/tests/data/corpus/emf
if [ -x "$BUILD/bench/metafile_bench" ] && [ -d "$METAFILES" ]; then
    echo "n  the metafile renderer alone, drawn to fit a 1587x2245 page (fastest of 3):"
    "$BUILD/bench/metafile_bench" "$METAFILES" | awk '{ printf "     %-16s %8s ms  %s\n", $1, $2, $3 }'
fi

mergedWall=$(field a 1)
versusLibrary=$(ratio "$mergedWall" "$(field d 1)")
versusLimit=$(ratio "$mergedWall" "$(field e 1)")
# CPU time suffers less than wall time when other work takes the cores.
cpuVersusLibrary=$(ratio "$(field a 2)" "$(field d 2)")
cpuVersusLimit=$(ratio "$(field a 2)" "$(field e 2)")
beyond50=$(best a | awk '{ printf "%.0f", $3 / 1024 - $5 / 1e6 }')
beyond500=$(best g | awk '{ printf "%.0f", $3 / 1024 - $5 / 1e6 }')
mostBeyond=$(printf '%s\n' "$beyond50" "$beyond500" | sort -n | tail -n 1)
keptPeak=$(best k3 | awk '{ printf "%.0f", $3 / 1024 }')
pdfStage=$(awk '$1 == "merged" { print $2 }' "$WORK/pdf-stage.txt")
keepSpeedUp=$(ratio "$(field a 1)" "$(field k 1)")
keepVersusImg2pdf=$(ratio "$(field k 1)" "$(field k2 1)")
# The speed-up as a figure no larger is better, for verdict.
keepSlowness=$(ratio "$(field k 1)" "$(field a 1)")
cat <<EOF

Targets (figures only; nothing fails on them):
  merged job time / libvips + img2pdf (a / d)    ${versusLibrary}x    at most 0.70x    $(verdict "$versusLibrary" 0.70)   (CPU: ${cpuVersusLibrary}x)
  merged job time / libjpeg-turbo loop (a / e)   ${versusLimit}x    at most 1.20x    $(verdict "$versusLimit" 1.20)   (CPU: ${cpuVersusLimit}x)
      (the loop makes pages only; against the loop followed by img2pdf (e2): $(ratio "$mergedWall" "$(field e2 1)")x)
  A4 at 150 dpi / the default A2 size, CPU (a4 / a)  $(ratio "$(field a4 2)" "$(field a 2)")x    below 1x (fewer pixels)   $(verdict "$(ratio "$(field a4 2)" "$(field a 2)")" 0.99)   (wall: $(ratio "$(field a4 1)" "$mergedWall")x)
  peak beyond the document, 50 / 500 pictures    $beyond50 / $beyond500 MB   at most 200 MB, flat    $(verdict "$mostBeyond" 200)
  peak of a 2,000-page --keep-jpeg merge (k3)    $keptPeak MB   at most 100 MB, flat    $(verdict "$keptPeak" 100)
  PDF stage, merged, per page (h)                $pdfStage ms     at most 1 ms     $(verdict "$pdfStage" 1)
  merged job without / with --keep-jpeg (a / k)  ${keepSpeedUp}x    at least 4x      $(verdict "$keepSlowness" 0.25)
  --keep-jpeg / img2pdf, same JPEGs (k / k2)     ${keepVersusImg2pdf}x    at most 1.00x    $(verdict "$keepVersusImg2pdf" 1.00)
EOF
