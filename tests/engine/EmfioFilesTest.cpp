// LibreOffice's own EMF import test files (tests/data/emfio, see SOURCES.md
// there), each drawn and checked for what LibreOffice's test of it checks,
// told in pixels: every colour its shapes, lines and text are drawn in shows
// on our page, nothing is left out of the report, and for the files that show
// a drawing fault we had, the place where it showed.
#include "EmfPicture.h"
#include "VipsRuntime.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <vips/vips8>

namespace fs = std::filesystem;

namespace {

using Rgb = std::array<int, 3>;
constexpr int kPage = 400;

struct Page {
    vips::VImage image;
    std::vector<uint8_t> pixels; // RGB
    int width = 0, height = 0;

    Rgb At(int x, int y) const {
        const uint8_t* p = pixels.data() + (static_cast<size_t>(y) * width + x) * 3;
        return {p[0], p[1], p[2]};
    }
    Rgb AtFraction(double fx, double fy) const {
        return At(std::clamp(static_cast<int>(fx * width), 0, width - 1),
                  std::clamp(static_cast<int>(fy * height), 0, height - 1));
    }
    // How many pixels lie within `tolerance` of `colour` in every channel.
    int Count(Rgb colour, int tolerance = 40) const {
        int n = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const Rgb p = At(x, y);
                n += std::abs(p[0] - colour[0]) <= tolerance && std::abs(p[1] - colour[1]) <= tolerance &&
                     std::abs(p[2] - colour[2]) <= tolerance;
            }
        }
        return n;
    }
    // How many pixels show `colour` over white at least half covered: thin
    // lines and small text are only partly covered at their edges.
    int CountInked(Rgb colour) const {
        int n = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const Rgb p = At(x, y);
                double along = 0, length = 0;
                for (int i = 0; i < 3; ++i) {
                    along += (255.0 - p[i]) * (255.0 - colour[i]);
                    length += (255.0 - colour[i]) * (255.0 - colour[i]);
                }
                const double cover = length > 0 ? along / length : 0;
                bool fits = cover >= 0.5;
                for (int i = 0; i < 3 && fits; ++i) {
                    fits = std::abs(p[i] - (255 - cover * (255 - colour[i]))) <= 40;
                }
                n += fits;
            }
        }
        return n;
    }
};

Rgb Hex(const std::string& text) {
    const unsigned long v = std::strtoul(text.c_str() + 1, nullptr, 16);
    return {static_cast<int>(v >> 16), static_cast<int>((v >> 8) & 0xFF), static_cast<int>(v & 0xFF)};
}

bool Near(Rgb a, Rgb b, int tolerance = 40) {
    for (int i = 0; i < 3; ++i) {
        if (std::abs(a[i] - b[i]) > tolerance) {
            return false;
        }
    }
    return true;
}

struct Row {
    const char* file;
    // The colours LibreOffice's test expects of the file's shapes, lines and
    // text ("#rrggbb", space-separated); each must cover some of our page.
    const char* colours;
    // What else the page must show, for files that showed a fault of ours.
    std::function<void(const Page&)> check = nullptr;
};
void PrintTo(const Row& row, std::ostream* out) {
    *out << row.file;
}

// Wide pens' custom end cap: an arrow head, much taller than the line at its tip.
void ArrowHeadAtLeftEnd(const Page& page) {
    int tallest = 0;
    for (int x = 0; x < page.width / 4; ++x) {
        int red = 0;
        for (int y = 0; y < page.height; ++y) {
            red += Near(page.At(x, y), Hex("#cc0000"), 60);
        }
        tallest = std::max(tallest, red);
    }
    int line = 0;
    for (int y = 0; y < page.height; ++y) {
        line += Near(page.At(page.width / 10, y), Hex("#cc0000"), 60);
    }
    EXPECT_GE(tallest, 2 * line) << "the arrow head is no wider than the line: the cap is missing";
}

// The most pixels near `colour` in one column (or, `across` false, one row)
// of the part of the page given in fractions.
int Thickest(const Page& page, Rgb colour, double x0, double x1, double y0, double y1, bool columns = true) {
    const int left = static_cast<int>(x0 * page.width), right = static_cast<int>(x1 * page.width);
    const int top = static_cast<int>(y0 * page.height), bottom = static_cast<int>(y1 * page.height);
    int most = 0;
    for (int a = columns ? left : top; a < (columns ? right : bottom); ++a) {
        int n = 0;
        for (int b = columns ? top : left; b < (columns ? bottom : right); ++b) {
            n += Near(columns ? page.At(a, b) : page.At(b, a), colour, 30);
        }
        most = std::max(most, n);
    }
    return most;
}

// Anchors and arrow heads stand out beside the line they end.
void AnchorsAtLineEnds(const Page& page) {
    // The violet line runs between the cyan uprights and ends in a round
    // anchor on the left and a diamond on the right, both reaching past the
    // uprights, where a plain line stops.
    const Rgb violet = page.AtFraction(0.5, 0.82);
    const int line = Thickest(page, violet, 0.45, 0.55, 0.7, 1);
    EXPECT_GT(Thickest(page, violet, 0.13, 0.18, 0.7, 1), line / 2) << "round anchor";
    EXPECT_GT(Thickest(page, violet, 0.815, 0.86, 0.7, 1), line / 3) << "diamond anchor";
    // The cyan upright on the left ends at the top in an arrow head.
    const Rgb cyan = page.AtFraction(0.195, 0.5);
    const int upright = Thickest(page, cyan, 0, 0.5, 0.4, 0.6, false);
    EXPECT_GT(Thickest(page, cyan, 0, 0.5, 0, 0.2, false), upright * 3 / 2) << "arrow anchor";
}

// Tiled gradients: bands that repeat, not one flat colour.
void GradientBands(const Page& page) {
    int changes = 0;
    Rgb previous = page.At(page.width * 3 / 4, 0);
    for (int y = 1; y < page.height; ++y) {
        const Rgb p = page.At(page.width * 3 / 4, y);
        changes += !Near(p, previous, 0) && p[1] > 200 && previous[1] <= 200;
        previous = p;
    }
    EXPECT_GE(changes, 4) << "the right-hand gradient repeats in bands down the page";
    EXPECT_FALSE(Near(page.AtFraction(0.1, 0.1), page.AtFraction(0.3, 0.1), 20))
        << "the left-hand gradient changes across the page";
}

// A path gradient: light in the middle, the rim's blue at the edges, with the
// blend's light area wide.
void PathGradientBlend(const Page& page) {
    EXPECT_TRUE(Near(page.AtFraction(0.5, 0.5), Hex("#f5e1cc"), 40) ||
                Near(page.AtFraction(0.5, 0.5), Hex("#cce1f5"), 40));
    EXPECT_TRUE(Near(page.AtFraction(0.02, 0.5), Hex("#0066cc"), 48));
    const Rgb between = page.AtFraction(0.3, 0.5);
    EXPECT_GT(between[0], 120) << "the blend keeps the centre's light colour far out";
}

// A bitmap whose source rectangle reaches past it: the blue fill around it
// stays blue, and the bitmap is not stretched over it.
void BitmapInsideItsFill(const Page& page) {
    EXPECT_GT(page.Count(Hex("#0080ff"), 30), 1000);
    EXPECT_LT(page.Count({0, 0, 0}, 30), page.width * page.height / 50);
}

const Row kRows[] = {
    {"TestArcInsideWronglyDefinedRectangle.emf", "#000000"},
    {"TestArcStartPointEqualEndPoint.emf", "#000000"},
    {"TestChordWithModifyWorldTransform.emf", ""},
    {"TestCreatePen.emf", "#ff0000 #008000 #000080 #000000"},
    {"TestDrawImagePointsTypeBitmap.emf", "#0080ff", BitmapInsideItsFill},
    {"TestDrawLine.emf", "#c01002"},
    // LibreOffice also outlines a filled region in black; GDI does not.
    {"TestDrawPolyLine16WithClip.emf", "#b4ffff #ff0000"},
    {"TestDrawString.emf", "#000000"},
    {"TestDrawStringAlign.emf", "#000000"},
    {"TestDrawStringTransparent.emf", "#8080ff"}, // blue at half transparency
    {"TestDrawStringWithBrush.emf", "#a50021"},
    {"TestEllipseWithSelectClipPath.emf", "#ffff00"},
    {"TestEllipseXformIntersectClipRect.emf", ""},
    {"TestEmfPlusBrushPathGradientWithBlendColors.emf", "#0066cc", PathGradientBlend},
    {"TestEmfPlusDrawBeziers.emf", "#000000 #00ff00"},
    {"TestEmfPlusDrawLineWithCaps.emf", "", AnchorsAtLineEnds},
    {"TestEmfPlusDrawLineWithDash.emf", "#000000"},
    {"TestEmfPlusDrawPathWithCustomCap.emf", "#cc0000", ArrowHeadAtLeftEnd},
    {"TestEmfPlusDrawPathWithMiterLimit.emf", "#c800c8 #0000ff"},
    {"TestEmfPlusFillClosedCurve.emf", "#808080 #000000"},
    {"TestEmfPlusGetDC.emf", "#000000 #fcf2e3"},
    {"TestEmfPlusSave.emf", "#ff0cad #00ffad"},
    {"TestExtTextOutOpaqueAndClipTransform.emf", "#000000 #ff0000 #0080ff #800080"},
    {"TestFillRegion.emf", "#ff0000"},
    {"TestLinearGradient.emf", "", GradientBands},
    {"TestPolyLineWidth.emf", "#ffff00 #000000"},
    {"TestPolylinetoCloseStroke.emf", "#000000"},
    {"TestRectangleWithModifyWorldTransform.emf", "#000000"},
    {"TestRestoreDC.emf", "#ff0000 #000000"},
    {"TestRoundRect.emf", "#ff0000"},
    {"TestSetArcDirection.emf", "#000000"},
    {"TextMapMode.emf", "#4a70e3 #666666"},
    {"fdo79679-2.emf", "#000000"},
    {"test_mm_hienglish_ref.emf", "#ffffad #000000"},
};

class EmfioFiles : public testing::TestWithParam<Row> {};

TEST_P(EmfioFiles, ShowWhatLibreOfficesTestsExpect) {
    EnsureVipsStarted();
    const Row& row = GetParam();
    std::ifstream in(fs::path(QUILLMARK_TEST_DATA) / "emfio" / row.file, std::ios::binary);
    ASSERT_TRUE(in) << row.file;
    std::stringstream bytes;
    bytes << in.rdbuf();
    const EmfDrawing drawn = RenderEmf(bytes.str(), kPage, kPage);
    EXPECT_EQ(drawn.problem, "") << "every record drawn";

    Page page;
    vips::VImage image = drawn.image;
    if (image.has_alpha()) {
        image = image.flatten(vips::VImage::option()->set("background", std::vector<double>{255, 255, 255}));
    }
    image = image.cast(VIPS_FORMAT_UCHAR).copy_memory();
    ASSERT_EQ(image.bands(), 3);
    page.width = image.width();
    page.height = image.height();
    const auto* data = static_cast<const uint8_t*>(image.data());
    page.pixels.assign(data, data + static_cast<size_t>(page.width) * page.height * 3);

    EXPECT_LT(page.Count({255, 255, 255}, 8), page.width * page.height) << "the page is blank";
    std::istringstream colours(row.colours);
    for (std::string colour; colours >> colour;) {
        EXPECT_GE(page.CountInked(Hex(colour)), 4) << colour << " is nowhere on the page";
    }
    if (row.check) {
        row.check(page);
    }
}

INSTANTIATE_TEST_SUITE_P(LibreOffice, EmfioFiles, testing::ValuesIn(kRows), [](const auto& info) {
    std::string name = info.param.file;
    name = name.substr(0, name.find('.'));
    for (char& c : name) {
        c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return name;
});

} // namespace
