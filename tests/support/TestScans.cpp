#include "TestScans.h"

#include "Pictures.h"

#include <vips/vips8>

#include <mutex>
#include <random>
#include <stdexcept>
#include <string>

using vips::VImage;

namespace {

constexpr const char* kParagraph =
    "The quick brown fox jumps over the lazy dog. Pack my box with five dozen liquor jugs.\n"
    "Scanned letters, invoices and contracts arrive in folders every morning, and each of\n"
    "them must be filed, searched and read again years later by people who never saw the\n"
    "paper. A page laid crooked on the glass is hard to read; one laid upside down is worse.\n";

// Paper grey with the noise of a scanner's sensor.
VImage Paper(int width, int height, double level, double noise) {
    return (VImage::gaussnoise(width, height, VImage::option()->set("sigma", noise)->set("mean", level)))
        .cast(VIPS_FORMAT_UCHAR);
}

VImage WithDust(VImage page, std::mt19937& random, int specks) {
    page = page.copy_memory();
    std::uniform_int_distribution<int> x(0, page.width() - 4), y(0, page.height() - 4), size(1, 3);
    for (int i = 0; i < specks; ++i) {
        const int side = size(random);
        page.draw_rect({40.0}, x(random), y(random), side, side, VImage::option()->set("fill", true));
    }
    return page;
}

} // namespace

void WriteScannedTextPage(const std::filesystem::path& path, const ScanLook& look, int width, int height) {
    StartTestVips();
    std::string text;
    for (int i = 0; i < 4; ++i) {
        text += kParagraph;
        text += "\n";
    }
    const int margin = width / 12;
    const VImage ink = VImage::text(text.c_str(), VImage::option()
                                                      ->set("font", "DejaVu Serif 10")
                                                      ->set("dpi", 300)
                                                      ->set("width", width - 2 * margin));
    VImage page = (255 - ink).embed(margin, height / 10, width, height,
                                    VImage::option()->set("extend", VIPS_EXTEND_WHITE));
    page = page.cast(VIPS_FORMAT_UCHAR);
    if (look.askew != 0) {
        VImage turned = page.rotate(look.askew, VImage::option()->set("background", std::vector<double>{255.0}));
        page = turned.crop((turned.width() - width) / 2, (turned.height() - height) / 2, width, height);
    }
    VImage paper = Paper(width, height, 0, 4.0);
    page = (page.cast(VIPS_FORMAT_FLOAT) * (238.0 / 255) + paper);
    if (look.shaded) {
        // Darker toward the left edge, as near a book's spine.
        const VImage ramp = VImage::xyz(width, height).extract_band(0) / width;
        page = page * (ramp * 0.35 + 0.65);
    }
    page = page.cast(VIPS_FORMAT_UCHAR);
    for (int t = 0; t < (look.quarterTurns % 4 + 4) % 4; ++t) {
        page = page.rot90();
    }
    page.write_to_file(path.c_str());
}

void WriteLightPage(const std::filesystem::path& path, LightPage kind, int seed, int width, int height) {
    StartTestVips();
    std::mt19937 random(static_cast<unsigned>(seed));
    VImage page = Paper(width, height, 243, 5.0).copy_memory();
    page = WithDust(page, random, 25);
    // The shadow of the lid along the right edge.
    page.draw_rect({120.0}, width - width / 100, 0, width / 100, height,
                          VImage::option()->set("fill", true));
    switch (kind) {
    case LightPage::Blank:
        break;
    case LightPage::FaintPencil:
        for (int d = 0; d < 3; ++d) {
            page.draw_line({205.0}, width / 3, height / 2 + d, width / 3 + width / 6, height / 2 + 30 + d);
        }
        break;
    case LightPage::PencilDot:
        for (int d = 0; d < 3; ++d) {
            page.draw_line({200.0}, width / 2 + d, height / 3, width / 2 + 12 + d, height / 3 + 24);
            page.draw_line({200.0}, width / 2 + 12 + d, height / 3 + 24, width / 2 + 40 + d,
                                  height / 3 - 20);
        }
        break;
    case LightPage::PaleStamp:
        page.draw_circle({210.0}, width / 2, height / 2, 120, VImage::option()->set("fill", false));
        page.draw_circle({210.0}, width / 2, height / 2, 118, VImage::option()->set("fill", false));
        break;
    }
    page.cast(VIPS_FORMAT_UCHAR).write_to_file(path.c_str());
}

void WritePhotoLikePicture(const std::filesystem::path& path, int width, int height) {
    StartTestVips();
    const VImage xy = VImage::xyz(width, height);
    const VImage x = xy.extract_band(0) / width;
    const VImage y = xy.extract_band(1) / height;
    VImage red = x * 200 + 30;
    VImage green = y * 150 + 60;
    VImage blue = (x * y) * 180 + 40;
    VImage photo = red.bandjoin(green).bandjoin(blue).cast(VIPS_FORMAT_UCHAR).copy_memory();
    photo.draw_circle({240.0, 200.0, 60.0}, width / 3, height / 2, height / 5,
                              VImage::option()->set("fill", true));
    photo.draw_circle({20.0, 60.0, 120.0}, 2 * width / 3, height / 3, height / 6,
                              VImage::option()->set("fill", true));
    photo.copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB)).write_to_file(path.c_str());
}
