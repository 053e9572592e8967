#!/usr/bin/python3
"""Helpers of bench/lossless.sh (Pillow, as img2pdf uses it).

lossless_pictures.py make FOLDER CORPUS  makes the 80 pictures of the set
lossless_pictures.py compare[-every-frame] PDF FOLDER PICTURE...  counts the pixels of each
    page that differ from its picture: as pdfimages extracts the page's image,
    and as pdftoppm and mutool draw the page at the image's own size
"""
import os
import shutil
import subprocess
import sys
import tempfile

from PIL import Image, ImageDraw


def text_lines(draw, width, height, step, seed):
    y = step
    n = seed
    while y < height - step:
        x = step
        while x < width - 3 * step:
            n = (n * 1103515245 + 12345) & 0x7FFFFFFF
            word = 2 + n % 9
            draw.text((x, y), "word" * (word // 4 + 1), fill=0)
            x += word * step // 2 + step
        y += step * 2


def screenshot(path, width, height, seed):
    image = Image.new("RGB", (width, height), (246, 246, 246))
    draw = ImageDraw.Draw(image)
    draw.rectangle((0, 0, width, 28), fill=(40, 90, 160))
    for i in range(6):
        x = 20 + i * (width // 7)
        draw.rectangle((x, 60, x + width // 8, 120), fill=((seed * 40 + i * 30) % 255, 120, 200 - i * 20))
    text_lines(draw, width, height - 130, 16, seed)
    image.save(path)


def scan(width, height, seed):
    image = Image.new("L", (width, height), 255)
    text_lines(ImageDraw.Draw(image), width, height, 24, seed)
    return image.point(lambda v: 255 if v > 128 else 0).convert("1")


def make(folder, corpus):
    os.makedirs(folder, exist_ok=True)
    made = []

    def keep(name):
        made.append(os.path.join(folder, name))
        return made[-1]

    for i in range(16):  # screenshots, RGB PNGs
        screenshot(keep(f"screen{i:02}.png"), 1280 + 16 * i, 800, i)
    for i in range(6):  # palette PNGs and GIFs
        image = Image.open(made[i]).convert("P", palette=Image.ADAPTIVE, colors=64)
        image.save(keep(f"palette{i:02}.png"))
        image.save(keep(f"palette{i:02}.gif"))
    for i in range(6):  # grey and 16-bit grey PNGs
        grey = Image.open(made[i]).convert("L")
        grey.save(keep(f"grey{i:02}.png"))
        Image.eval(grey, lambda v: v).convert("I").point(lambda v: v * 257).convert("I;16").save(
            keep(f"deep{i:02}.png"))
    for i in range(20):  # 300 dpi scans: Group 4, PackBits, none, 1-bit PNG
        image = scan(2480 // 2, 3508 // 2, i)
        kind = ["group4", "packbits", "raw", "png"][i % 4]
        if kind == "png":
            image.save(keep(f"scan{i:02}.png"), dpi=(300, 300))
        else:
            image.save(keep(f"scan{i:02}.tif"), compression=None if kind == "raw" else kind, dpi=(300, 300))
    for i in range(6):  # faxes, 204 x 98 dpi, Group 4 and Group 3
        image = scan(1728, 1100, 100 + i).resize((1728, 550))
        image.save(keep(f"fax{i:02}.tif"), compression="group4" if i % 2 == 0 else "group3", dpi=(204, 98))
    pictures = ["png/basn0g08.png", "png/basn0g16.png", "png/basn2c16.png", "png/basn3p08.png",
                "png/basn3p04.png", "png/basn0g04.png", "png/basn2c08.png", "png/tp1n3p08.png",
                "gif/hopper.gif", "gif/chi.gif", "gif/iss634.gif", "gif/test.colors.gif",
                "tiff/hopper_g4.tif", "tiff/pport_g4.tif", "tiff/g4-fillorder-test.tif",
                "bmp/pal8.bmp", "bmp/pal4.bmp", "bmp/pal1.bmp", "bmp/rgb24.bmp", "png/basi0g08.png"]
    for name in pictures[:80 - len(made)]:
        shutil.copy(os.path.join(corpus, name), keep(name.replace("/", "-")))
    print("\n".join(made))


def as_compared(image):
    """The picture in a mode two pictures of one meaning share: 16 bits stay."""
    if image.mode in ("I;16", "I;16B", "I"):
        return image.convert("I"), "deep"
    if image.mode in ("1", "L", "LA"):
        return image.convert("L"), "grey"
    if image.mode == "P" and "transparency" not in image.info:
        image = image.convert("RGB")
    if image.mode in ("RGBA", "LA", "P", "PA"):
        background = Image.new("RGBA", image.size, (255, 255, 255, 255))
        image = Image.alpha_composite(background, image.convert("RGBA"))
    return image.convert("RGB"), "colour"


def differences(a, b):
    a, kind_a = as_compared(a)
    b, kind_b = as_compared(b)
    if a.size != b.size:
        return f"size {a.size} != {b.size}"
    if kind_a != kind_b:
        # pdfimages and the renderers give 8 bits of a 16-bit image: the
        # document keeps 16 (pdfimages -list), compared here at 8.
        def eight(image):
            narrow = Image.new("L", image.size)
            narrow.putdata([v >> 8 for v in image.getdata()])  # as pdfimages and mutool take 8 of 16 bits
            return narrow
        a = eight(a) if kind_a == "deep" else a
        b = eight(b) if kind_b == "deep" else b
        a, b = a.convert("RGB"), b.convert("RGB")
    pa, pb = a.getdata(), b.getdata()
    return sum(1 for x, y in zip(pa, pb) if x != y)


def first_frame(path):
    image = Image.open(path)
    image.seek(0)
    return image


def compare(pdf, folder, pictures, every_frame):
    work = tempfile.mkdtemp(dir=folder)
    subprocess.run(["pdfimages", "-png", pdf, os.path.join(work, "x")], check=True)
    # The pages' own images, not the soft masks img2pdf adds for transparency.
    listed = subprocess.run(["pdfimages", "-list", pdf], check=True, capture_output=True, text=True).stdout
    kinds = [line.split()[2] for line in listed.splitlines()[2:]]
    extracted = [name for name, kind in zip(sorted(f for f in os.listdir(work) if f.startswith("x-")), kinds)
                 if kind == "image"]
    pages = []  # (picture, frame)
    for picture in pictures:
        image = Image.open(picture)
        # Quillmark makes a page of every TIFF page and of a GIF's first
        # frame; img2pdf of every frame.
        frames = getattr(image, "n_frames", 1)
        for frame in range(frames if every_frame or picture.lower().endswith((".tif", ".tiff")) else 1):
            pages.append((picture, frame))
    totals = {"pdfimages": 0, "pdftoppm": 0, "mutool": 0}
    info = subprocess.run(["pdfinfo", "-f", "1", "-l", str(len(pages)), pdf], check=True, capture_output=True,
                          text=True).stdout
    page_sizes = [line.split(":", 1)[1].split()[0:3:2] for line in info.splitlines()
                  if line.startswith("Page") and "size" in line]
    failures = []
    for number, (picture, frame) in enumerate(pages):
        source = Image.open(picture)
        source.seek(frame)
        source.load()
        got = Image.open(os.path.join(work, extracted[number]))
        shown = {"pdfimages": got}
        width, height = got.size
        base = os.path.join(work, f"page{number}")
        subprocess.run(["pdftoppm", "-f", str(number + 1), "-l", str(number + 1), "-scale-to-x", str(width),
                        "-scale-to-y", str(height), "-png", "-singlefile", pdf, base + "-poppler"], check=True)
        shown["pdftoppm"] = Image.open(base + "-poppler.png")
        # mutool draws at one scale for both axes: pixels that are not square
        # (a 204 x 98 dpi fax) cannot be drawn one to one.
        square = abs(width * 72 / float(page_sizes[number][0]) - height * 72 / float(page_sizes[number][1])) < 1
        if shutil.which("mutool") and square:
            subprocess.run(["mutool", "draw", "-q", "-w", str(width), "-h", str(height), "-o", base + "-mupdf.png",
                            pdf, str(number + 1)], check=True, stderr=subprocess.DEVNULL)
            shown["mutool"] = Image.open(base + "-mupdf.png")
        for how, image in shown.items():
            result = differences(source, image)
            if isinstance(result, str) or result > 0:
                failures.append(f"{os.path.basename(picture)}[{frame}] {how}: {result}")
            totals[how] += result if isinstance(result, int) else 0
    shutil.rmtree(work)
    print(f"pages {len(pages)}; pixels differing: " +
          ", ".join(f"{how} {count}" for how, count in totals.items()))
    for failure in failures[:40]:
        print("  " + failure)


if __name__ == "__main__":
    if sys.argv[1] == "make":
        make(sys.argv[2], sys.argv[3])
    else:
        compare(sys.argv[2], sys.argv[3], sys.argv[4:], sys.argv[1] == "compare-every-frame")
