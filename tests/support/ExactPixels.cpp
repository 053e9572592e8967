#include "ExactPixels.h"

#include "RunProgram.h"

#include "Pictures.h"

#include <vips/vips8>

#include <algorithm>
#include <mutex>
#include <stdexcept>

using vips::VImage;

namespace fs = std::filesystem;

std::vector<fs::path> ExtractImages(const fs::path& pdf, const fs::path& folder) {
    fs::create_directories(folder);
    if (RunProgram("/usr/bin/pdfimages", {"-png", pdf.string(), (folder / "image").string()}).exitCode != 0) {
        return {};
    }
    std::vector<fs::path> images;
    for (const auto& entry : fs::directory_iterator(folder)) {
        images.push_back(entry.path());
    }
    std::sort(images.begin(), images.end());
    return images;
}

namespace {

// 16-bit values stay as they are, everything else becomes 8-bit values of
// the same meaning (a 1-bit white is 255), so that depths compare.
VImage Comparable(const fs::path& path, int bands) {
    VImage image = VImage::new_from_file(path.c_str());
    if (image.has_alpha()) {
        image = image.flatten(VImage::option()->set(
            "background", std::vector<double>{image.format() == VIPS_FORMAT_USHORT ? 65535.0 : 255.0}));
    }
    if (image.bands() == 2 || image.bands() > 3) {
        image = image.extract_band(0, VImage::option()->set("n", image.bands() == 2 ? 1 : 3));
    }
    const bool deep = image.format() == VIPS_FORMAT_USHORT;
    image = image.cast(deep ? VIPS_FORMAT_USHORT : VIPS_FORMAT_UCHAR);
    if (image.bands() == 1 && bands == 3) {
        image = VImage::bandjoin({image, image, image});
    }
    return image;
}

} // namespace

int64_t DifferentPixels(const fs::path& a, const fs::path& b) {
    StartTestVips();
    const VImage headerA = VImage::new_from_file(a.c_str());
    const VImage headerB = VImage::new_from_file(b.c_str());
    if (headerA.width() != headerB.width() || headerA.height() != headerB.height()) {
        return -1;
    }
    auto colourBands = [](const VImage& image) { return image.bands() >= 3 ? 3 : 1; };
    const int bands = std::max(colourBands(headerA), colourBands(headerB)) > 1 ? 3 : 1;
    VImage first = Comparable(a, bands);
    VImage second = Comparable(b, bands);
    if (first.format() != second.format()) {
        return -1; // 16 bits beside 8: the depth itself was lost
    }
    const VImage differs = (first != second).bandor();
    return static_cast<int64_t>(differs.avg() / 255.0 * first.width() * first.height() + 0.5);
}
