// Our metafile pages beside LibreOffice's pages of the same files (kept in
// tests/data/metafile-references, see the README there), compared by what a
// reader notices: the page's shape, where the ink is, and which colours fill
// it. Pixel equality is not expected: fonts, anti-aliasing and hairlines
// differ between any two renderers.
#include "EmfPicture.h"
#include "TempDir.h"
#include "VipsRuntime.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <vips/vips8>

namespace fs = std::filesystem;
using vips::VImage;

namespace {

fs::path References() {
    return fs::path(QUILLMARK_TEST_DATA) / "metafile-references";
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

VImage Opaque(VImage image) {
    if (image.has_alpha()) {
        image = image.flatten(VImage::option()->set("background", std::vector<double>{255, 255, 255}));
    }
    if (image.bands() == 1) {
        image = image.bandjoin({image, image});
    }
    return image.colourspace(VIPS_INTERPRETATION_sRGB).cast(VIPS_FORMAT_UCHAR).copy_memory();
}

// The mean darkness (0 white .. 1 black) of each cell of a grid laid over the page.
std::vector<double> InkGrid(const VImage& page, int cells) {
    const VImage grey = page.colourspace(VIPS_INTERPRETATION_B_W).cast(VIPS_FORMAT_DOUBLE);
    const VImage small = grey.resize(static_cast<double>(cells) / grey.width(),
                                     VImage::option()
                                         ->set("vscale", static_cast<double>(cells) / grey.height())
                                         ->set("kernel", VIPS_KERNEL_LINEAR));
    std::vector<double> ink;
    for (int y = 0; y < std::min(cells, small.height()); ++y) {
        for (int x = 0; x < std::min(cells, small.width()); ++x) {
            ink.push_back(1.0 - small.getpoint(x, y)[0] / 255.0);
        }
    }
    return ink;
}

// The share of the page filled by each colour, colours rounded to 4 levels a
// channel. Only pixels inside an area of their colour count: lines and text
// are grey at their edges in one renderer and not in another.
std::map<int, double> FillShares(const VImage& page) {
    std::map<int, double> shares;
    const auto* data = static_cast<const uint8_t*>(page.data());
    const int w = page.width(), h = page.height();
    auto bin = [&](int x, int y) {
        const uint8_t* p = data + (static_cast<size_t>(y) * w + x) * 3;
        return (p[0] >> 6) * 16 + (p[1] >> 6) * 4 + (p[2] >> 6);
    };
    const double pixel = 1.0 / (static_cast<double>(w) * h);
    for (int y = 1; y + 1 < h; ++y) {
        for (int x = 1; x + 1 < w; ++x) {
            const int b = bin(x, y);
            if (b == bin(x - 1, y) && b == bin(x + 1, y) && b == bin(x, y - 1) && b == bin(x, y + 1)) {
                shares[b] += pixel;
            }
        }
    }
    return shares;
}

constexpr int kWhiteBin = 63;

struct Row {
    const char* file;
    double inkTolerance; // mean difference of the ink grids allowed
    const char* why;     // what this page catches
    double probeX = -1;  // a point (fractions of the page) whose colour must match
    double probeY = -1;
};
void PrintTo(const Row& row, std::ostream* out) {
    *out << row.file;
}

std::array<double, 3> MeanColour(const VImage& page, double fx, double fy) {
    const int x = static_cast<int>(fx * page.width()) - 2, y = static_cast<int>(fy * page.height()) - 2;
    const VImage stats = page.crop(x, y, 5, 5).stats(); // column 4 holds each band's mean, from row 1
    return {stats.getpoint(4, 1)[0], stats.getpoint(4, 2)[0], stats.getpoint(4, 3)[0]};
}

// Tolerances come from what LibreOffice itself draws differently: its
// hairlines are lighter, it skips hatches and dotted circles, and it shows
// glyph numbers of a missing font as other letters.
const Row kRows[] = {
    {"drawing.emf", 0.01, "Bézier paths under a world transform"},
    {"test-000.emf", 0.02, "dual file drawn from its EMF+ records, text from its GDI records"},
    {"test-007.emf", 0.02, "pens of a few units stay thin after the mapping"},
    {"test-013.emf", 0.025, "chart text and clipping"},
    {"test-030.emf", 0.005, "a metafile that draws nothing gives a white page"},
    {"test-038.emf", 0.12, "drawing only in EMF+ records"},
    {"test-039.emf", 0.045, "the GDI test bed: every kind of record"},
    {"test-041.emf", 0.02, "32-bit bitmaps whose fourth byte is not alpha", 0.86, 0.86},
    {"test-068.emf", 0.03, "dual file whose EMF+ part only sets state"},
    {"test-092.emf", 0.01, "a pen of one unit grows with the picture"},
    {"test-142.emf", 0.015, "axis labels and the default white brush"},
    {"test-150.emf", 0.06, "dual file with bitmaps and clipping"},
    {"test-152.emf", 0.01, "a frame at negative coordinates; a wide pen"},
    {"test-156.emf", 0.06, "a frame of metres; pies and dotted circles"},
    {"test-168.emf", 0.05, "isotropic mapping; lines of a fraction of a pixel"},
    {"test-183.emf", 0.005, "glyph numbers of a missing font are left out, not garbled"},
    {"test-186.emf", 0.03, "a curved arrow filled as a thin shape, not a blob"},
};

class MetafileReference : public testing::TestWithParam<Row> {};

TEST_P(MetafileReference, LooksLikeLibreOfficesPage) {
    EnsureVipsStarted();
    const Row& row = GetParam();
    const fs::path referencePath = References() / fs::path(row.file).replace_extension(".png");
    ASSERT_TRUE(fs::exists(referencePath)) << referencePath;
    const VImage reference = Opaque(VImage::new_from_file(referencePath.c_str()));
    const std::string bytes = ReadAll(Corpus() / "emf" / row.file);
    const EmfDrawing drawn = RenderEmf(bytes, reference.width(), reference.height());
    const VImage ours = Opaque(drawn.image);

    // The frame: same proportions, so the picture is neither cut nor squeezed.
    EXPECT_NEAR(ours.width(), reference.width(), 1) << row.why;
    EXPECT_NEAR(ours.height(), reference.height(), 1) << row.why;

    // Where the ink is, cell by cell.
    const VImage same =
        ours.resize(static_cast<double>(reference.width()) / ours.width(),
                    VImage::option()->set("vscale", static_cast<double>(reference.height()) / ours.height()));
    const std::vector<double> a = InkGrid(same, 24), b = InkGrid(reference, 24);
    ASSERT_EQ(a.size(), b.size());
    double difference = 0, inkOurs = 0, inkTheirs = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        difference += std::fabs(a[i] - b[i]) / a.size();
        inkOurs += a[i] / a.size();
        inkTheirs += b[i] / b.size();
    }
    EXPECT_LE(difference, row.inkTolerance)
        << row.why << " (ink: ours " << inkOurs << ", LibreOffice's " << inkTheirs << ")";
    EXPECT_EQ(inkOurs < 0.002, inkTheirs < 0.002) << row.why << ": one page is blank and the other is not";

    if (row.probeX >= 0) {
        const auto a = MeanColour(same, row.probeX, row.probeY),
                   b = MeanColour(reference, row.probeX, row.probeY);
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(a[i], b[i], 48) << row.why << ": colour at the probe, channel " << i;
        }
    }

    // Every colour that fills a visible part of LibreOffice's page fills a
    // part of ours (a black default brush or a lost alpha byte shows here).
    const std::map<int, double> theirs = FillShares(reference), mine = FillShares(Opaque(same));
    for (const auto& [bin, share] : theirs) {
        if (bin == kWhiteBin || share < 0.005) {
            continue;
        }
        const auto found = mine.find(bin);
        const double ourShare = found == mine.end() ? 0.0 : found->second;
        EXPECT_GT(ourShare, share / 3) << row.why << ": colour bin " << bin << " covers " << share
                                       << " of LibreOffice's page and " << ourShare << " of ours";
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, MetafileReference, testing::ValuesIn(kRows), [](const auto& info) {
    std::string name = info.param.file;
    name = name.substr(0, name.find('.'));
    for (char& c : name) {
        c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return name;
});

} // namespace
