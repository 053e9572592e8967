#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running Quillmark need,
# but only those that are missing: a machine that has them all is left untouched.
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    libvips-dev libhpdf-dev libcairo2-dev libpango1.0-dev libcli11-dev libgtest-dev libqpdf-dev
    liblcms2-dev libtiff-dev libjpeg62-turbo-dev libicu-dev
    qt6-base-dev qt6-svg-dev qt6-image-formats-plugins fonts-wqy-microhei
    fonts-dejavu-core fonts-liberation2 fonts-crosextra-carlito
    nlohmann-json3-dev zlib1g-dev qpdf poppler-utils xvfb xauth
    qt6-tools-dev qt6-l10n-tools
    desktop-file-utils appstream dpkg-dev file
    libtesseract-dev tesseract-ocr-chi-sim tesseract-ocr-eng tesseract-ocr-osd poppler-utils
    # Apache PDFBox's validator, which the tests run on the PDF/A documents.
    default-jre-headless libpdfbox2-java libactivation-java libjaxb-api-java
)
# Optional extras: `QUILLMARK_BENCH=1` adds the peers the benchmark compares with.
if [ "${QUILLMARK_BENCH:-0}" = 1 ]; then
    packages+=(imagemagick libvips-tools img2pdf libturbojpeg0-dev mupdf-tools)
fi

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "install-deps: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
    sudo=(sudo)
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
