#!/usr/bin/env bash
# bench/scans.sh BUILD_DIR
#
# Scans cleaned: 8 text pages at 300 dpi on A4 laid 0.5 to 7 degrees askew
# (either way, some shaded), 2 turned a quarter and a half, 3 blank backs
# with noise, dust and the lid's shadow, 3 light pages with faint content.
# Prints, all in one run so they share the machine's load:
#   - the time of the plain job and of the job with every cleaning step on
#     (--deskew --auto-rotate --skip-blank --bilevel), best of BENCH_REPEAT;
#   - the skew left on each askew page (measured on the page as the PDF
#     holds it), beside OCRmyPDF's --deskew on the same pages and its time;
#   - which pages were turned upright and which left out as blank;
#   - a text page's bytes in black and white beside its grey JPEG, and how
#     many words text recognition still reads on it.
# OCRmyPDF is not a dependency of the build: `apt-get install ocrmypdf`.
# Figures only: nothing here fails on speed.
set -euo pipefail
BUILD=$(cd "${1:?usage: bench/scans.sh BUILD_DIR}" && pwd)
CLI=$BUILD/cli/quillmark-cli
TOOL=$BUILD/bench/scan_bench
REPEAT=${BENCH_REPEAT:-2}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
SCANS=$BUILD/bench-scans
[ -f "$SCANS/truth.txt" ] || "$TOOL" make "$SCANS"
mapfile -t PICTURES < <(awk '{print "'"$SCANS"'/" $1}' "$SCANS/truth.txt")

now() { date +%s.%N; }
best=()
run_cli() { # OUT ARGS...: the job's wall time in seconds
    local out=$1
    shift
    rm -rf "$out" && mkdir -p "$out"
    local start end
    start=$(now)
    "$CLI" --page A4 --dpi 300 --separate --names source --json -q -o "$out" "$@" "${PICTURES[@]}" >"$out.json" || true
    end=$(now)
    echo "$end - $start" | bc
}
plain=999999 cleaned=999999
for round in $(seq "$REPEAT"); do
    t=$(run_cli "$WORK/plain")
    plain=$(echo "if ($t < $plain) $t else $plain" | bc)
    t=$(run_cli "$WORK/cleaned" --deskew --auto-rotate --skip-blank --bilevel)
    cleaned=$(echo "if ($t < $cleaned) $t else $cleaned" | bc)
done
printf "plain job:          %6.1f s for %d pictures\n" "$plain" "${#PICTURES[@]}"
printf "cleaned job:        %6.1f s (%.2f x the plain job)\n" "$cleaned" "$(echo "$cleaned / $plain" | bc -l)"

folder() { python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["outputFolder"])' "$1"; }
PLAIN=$(folder "$WORK/plain.json")
CLEAN=$(folder "$WORK/cleaned.json")
# The skew left on page 1 of PDF, measured on the page picture it holds.
left_skew() {
    rm -f "$WORK"/img-*
    pdfimages -png "$1" "$WORK/img" && "$TOOL" skew "$(ls "$WORK"/img-* | head -n 1)"
}
have_ocrmypdf=0
command -v ocrmypdf >/dev/null && have_ocrmypdf=1
echo
echo "skew left after straightening (degrees; 0.000: within 0.1 of straight):"
printf "  %-12s %7s %10s %10s\n" page laid quillmark ocrmypdf
ocr_time=0
while read -r name kind value; do
    [ "$kind" = askew ] || continue
    stem=${name%.png}
    ours=$(left_skew "$CLEAN/$stem.pdf")
    theirs=n/a
    if [ $have_ocrmypdf = 1 ]; then
        start=$(now)
        # OCRmyPDF straightens only when it also recognises the text
        # (--tesseract-timeout 0 skips both), so its time includes its OCR.
        ocrmypdf -q --deskew --image-dpi 300 -l eng --optimize 0 --output-type pdf \
            "$SCANS/$name" "$WORK/$stem-ocrmypdf.pdf" 2>/dev/null || true
        end=$(now)
        ocr_time=$(echo "$ocr_time + $end - $start" | bc)
        theirs=$(left_skew "$WORK/$stem-ocrmypdf.pdf" 2>/dev/null || echo failed)
    fi
    printf "  %-12s %7s %10s %10s\n" "$stem" "$value" "$ours" "$theirs"
done <"$SCANS/truth.txt"
if [ $have_ocrmypdf = 1 ]; then
    printf "OCRmyPDF --deskew (with its OCR), one process per page: %.1f s for the 8 askew pages\n" "$ocr_time"
else
    echo "OCRmyPDF is not installed (apt-get install ocrmypdf): its column is left empty"
fi

echo
echo "decisions told by the report:"
python3 - "$WORK/cleaned.json" "$SCANS/truth.txt" <<'PY'
import json, os, sys
report = json.load(open(sys.argv[1]))
told = {os.path.basename(d["source"]): d for d in report["scanDecisions"]}
for line in open(sys.argv[2]):
    name, kind, value = line.split()
    d = told.get(name, {})
    if kind == "turned":
        ok = d.get("turnedBy") == (360 - int(value)) % 360
        print(f"  {name}: laid turned {value}, turned by {d.get('turnedBy', 0)}: {'upright' if ok else 'WRONG'}")
    elif kind in ("blank", "content"):
        left_out = d.get("blank", False)
        verdict = "ok" if left_out == (kind == "blank") else ("CONTENT LOST" if left_out else "BLANK KEPT")
        print(f"  {name}: {kind}, {'left out' if left_out else 'kept'}: {verdict}")
PY

echo
page=page0
plain_bytes=$(stat -c %s "$PLAIN/$page.pdf")
bilevel_bytes=$(stat -c %s "$CLEAN/$page.pdf")
printf "a text page: grey JPEG %d bytes, black and white (G4) %d bytes: %.1f%% of it\n" \
    "$plain_bytes" "$bilevel_bytes" "$(echo "100 * $bilevel_bytes / $plain_bytes" | bc -l)"
pdftoppm -r 300 -gray -png "$CLEAN/$page.pdf" "$WORK/read"
words=$(tesseract "$(ls "$WORK"/read*.png | head -n 1)" - 2>/dev/null | grep -o -w -E "quick|brown|jumps|Scanned|invoices|contracts|morning|searched|crooked|upside" | wc -l)
echo "text recognition on the black-and-white page finds $words of the 40 marked words (10 words, 4 times)"
