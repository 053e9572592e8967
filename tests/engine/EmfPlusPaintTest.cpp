// EMF+ records written one by one and drawn: images whose source reaches past
// the picture, gradients that repeat and blend, pen caps at line ends; and a
// header whose device size in micrometres contradicts its millimetres.
#include "EmfPicture.h"
#include "EmfWriter.h"
#include "RecordTypes.h"
#include "VipsRuntime.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <vips/vips8>

using namespace metafile;
using W = EmfWriter;

namespace {

using Rgb = std::array<int, 3>;
constexpr int kSize = 200; // the 100-pixel frame drawn twice as large

struct Page {
    vips::VImage image; // 8-bit RGB in memory
    std::string problem;

    Rgb At(int x, int y) const {
        const auto* p =
            static_cast<const uint8_t*>(image.data()) + (static_cast<size_t>(y) * image.width() + x) * 3;
        return {p[0], p[1], p[2]};
    }
    int DarkInColumn(int x) const {
        int n = 0;
        for (int y = 0; y < image.height(); ++y) {
            const Rgb p = At(x, y);
            n += p[0] + p[1] + p[2] < 3 * 160;
        }
        return n;
    }
};

Page Draw(const std::string& bytes) {
    EnsureVipsStarted();
    EmfDrawing drawn = RenderEmf(bytes, kSize, kSize);
    vips::VImage image = drawn.image;
    if (image.has_alpha()) {
        image = image.flatten(vips::VImage::option()->set("background", std::vector<double>{255, 255, 255}));
    }
    return {image.cast(VIPS_FORMAT_UCHAR).copy_memory(), drawn.problem};
}

bool Near(Rgb a, Rgb b, int tolerance = 32) {
    for (int i = 0; i < 3; ++i) {
        if (std::abs(a[i] - b[i]) > tolerance) {
            return false;
        }
    }
    return true;
}

constexpr Rgb kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255};

std::string Floats(std::initializer_list<float> values) {
    std::string bytes;
    for (float v : values) {
        bytes += W::Float(v);
    }
    return bytes;
}

// An EMF+-only file in pixels of the reference device (100 a frame side).
EmfWriter PlusFile(const std::vector<std::string>& records) {
    EmfWriter w;
    w.EmfPlus({W::PlusRecord(kPlusHeader, 0, W::Word(0xDBC01002) + W::Word(1) + W::Word(100) + W::Word(100)),
               W::PlusRecord(kPlusSetPageTransform, 2, W::Float(1))});
    w.EmfPlus(records);
    w.EmfPlus({W::PlusRecord(kPlusEndOfFile, 0, "")});
    return w;
}

std::string FillFrame(uint32_t argb) {
    return W::PlusRecord(kPlusFillRects, 0x8000, W::Word(argb) + W::Word(1) + Floats({0, 0, 100, 100}));
}

std::string Brush(uint8_t id, const std::string& body) {
    return W::PlusRecord(kPlusObject, 0x0100 | id, W::Word(0xDBC01002) + body);
}

// ---- images ----------------------------------------------------------------------

// A 2 x 2 red bitmap (32-bit ARGB) as image object 1.
std::string RedImage() {
    std::string pixels;
    for (int i = 0; i < 4; ++i) {
        pixels += W::Word(0xFFFF0000);
    }
    return W::PlusRecord(kPlusObject, 0x0501,
                         W::Word(0xDBC01002) + W::Word(1) + W::Word(2) + W::Word(2) + W::Word(8) +
                             W::Word(0x0026200A) + W::Word(0) + pixels);
}

struct ImageRow {
    const char* name;
    std::string draw; // puts the source rectangle (0, 0, 4, 4) on the whole frame
};
void PrintTo(const ImageRow& row, std::ostream* out) {
    *out << row.name;
}

class PlusImages : public testing::TestWithParam<ImageRow> {};

// A source rectangle twice the picture: the picture fills the top-left
// quarter, and the rest of the frame keeps what was under it.
TEST_P(PlusImages, ShowOnlyWhereThePictureIs) {
    const Page page = Draw(PlusFile({FillFrame(0xFF00FF00), RedImage(), GetParam().draw}).Bytes());
    EXPECT_TRUE(Near(page.At(50, 50), kRed)) << "the picture";
    EXPECT_TRUE(Near(page.At(150, 150), kGreen)) << "past the picture's edge";
    EXPECT_TRUE(Near(page.At(150, 50), kGreen)) << "past the picture's edge";
    EXPECT_EQ(page.problem, "");
}

INSTANTIATE_TEST_SUITE_P(
    EmfPlus, PlusImages,
    testing::Values(ImageRow{"DrawImage", W::PlusRecord(kPlusDrawImage, 0x0001,
                                                        W::Word(0) + W::Word(2) + Floats({0, 0, 4, 4}) +
                                                            Floats({0, 0, 100, 100}))},
                    ImageRow{"DrawImagePoints",
                             W::PlusRecord(kPlusDrawImagePoints, 0x0001,
                                           W::Word(0) + W::Word(2) + Floats({0, 0, 4, 4}) + W::Word(3) +
                                               Floats({0, 0, 100, 0, 0, 100}))}),
    [](const auto& info) { return std::string(info.param.name); });

// A metafile as image object 1: red on its left half, green on its right.
std::string HalfAndHalfMetafileImage() {
    EmfWriter inner;
    inner.Record(kEmrSelectObject, {0x80000008}); // no pen
    inner.Record(kEmrCreateBrushIndirect, {1, 0, 0x0000FF, 0}).Record(kEmrSelectObject, {1});
    inner.Record(kEmrRectangle, {0, 0, 51, 101});
    inner.Record(kEmrCreateBrushIndirect, {2, 0, 0x00FF00, 0}).Record(kEmrSelectObject, {2});
    inner.Record(kEmrRectangle, {50, 0, 101, 101});
    const std::string bytes = inner.Bytes();
    return W::PlusRecord(kPlusObject, 0x0501,
                         W::Word(0xDBC01002) + W::Word(2) + W::Word(3) +
                             W::Word(static_cast<int64_t>(bytes.size())) + bytes);
}

// The source rectangle counts a metafile in its own device's pixels: its
// whole frame is 100 of them, however large it is drawn inside.
TEST(PlusMetafileImages, SourceRectangleIsInTheMetafilesDevicePixels) {
    const Page page = Draw(PlusFile({HalfAndHalfMetafileImage(),
                                     W::PlusRecord(kPlusDrawImage, 0x0001,
                                                   W::Word(0) + W::Word(2) + Floats({0, 0, 100, 100}) +
                                                       Floats({0, 0, 100, 100}))})
                               .Bytes());
    EXPECT_TRUE(Near(page.At(50, 100), kRed));
    EXPECT_TRUE(Near(page.At(150, 100), kGreen)) << "the whole metafile, not its top-left corner";
    EXPECT_EQ(page.problem, "");
}

// The image object's bytes cut in two pieces, written as the `style` says:
// 0 both pieces flagged as continued, 1 the last one not, 2 the last one not
// but still with the whole size before its bytes.
std::vector<std::string> SplitRedImage(int style) {
    const std::string whole = RedImage().substr(12); // the object's data, without its record header
    const std::string total = W::Word(static_cast<int64_t>(whole.size()));
    const std::string first = whole.substr(0, 20), last = whole.substr(20);
    return {W::PlusRecord(kPlusObject, 0x8501, total + first),
            W::PlusRecord(kPlusObject, style == 0 ? 0x8501 : 0x0501, style == 1 ? last : total + last)};
}

class PlusSplitObjects : public testing::TestWithParam<int> {};

TEST_P(PlusSplitObjects, ArePutTogether) {
    std::vector<std::string> records = SplitRedImage(GetParam());
    records.push_back(W::PlusRecord(
        kPlusDrawImage, 0x0001, W::Word(0) + W::Word(2) + Floats({0, 0, 2, 2}) + Floats({0, 0, 100, 100})));
    const Page page = Draw(PlusFile(records).Bytes());
    EXPECT_TRUE(Near(page.At(100, 100), kRed));
    EXPECT_EQ(page.problem, "");
}

INSTANTIATE_TEST_SUITE_P(EmfPlus, PlusSplitObjects, testing::Values(0, 1, 2));

// ---- gradients ---------------------------------------------------------------------

struct GradientRow {
    const char* name;
    std::string brush; // brush object 1, filling the frame
    std::function<void(const Page&)> check;
};
void PrintTo(const GradientRow& row, std::ostream* out) {
    *out << row.name;
}

class PlusGradients : public testing::TestWithParam<GradientRow> {};

TEST_P(PlusGradients, PaintAsGdiPlusDoes) {
    const Page page =
        Draw(PlusFile({GetParam().brush,
                       W::PlusRecord(kPlusFillRects, 0, W::Word(1) + W::Word(1) + Floats({0, 0, 100, 100}))})
                 .Bytes());
    EXPECT_EQ(page.problem, "");
    GetParam().check(page);
}

// Red to blue across 25 pixels, tiled.
std::string TiledLinear(int wrap) {
    return Brush(1, W::Word(4) + W::Word(0) + W::Word(wrap) + Floats({0, 0, 25, 100}) + W::Word(0xFFFF0000) +
                        W::Word(0xFF0000FF) + W::Word(0) + W::Word(0));
}

// White at the centre, blue on a rim around the whole frame; blend factors
// (counted from the rim in) that keep the inner half white.
std::string BlendedPath() {
    const std::string rim = Floats({0, 0, 100, 0, 100, 100, 0, 100});
    return Brush(1, W::Word(3) + W::Word(0x08) + W::Word(0) + W::Word(0xFFFFFFFF) + Floats({50, 50}) +
                        W::Word(1) + W::Word(0xFF0000FF) + W::Word(4) + rim + W::Word(3) +
                        Floats({0, 0.5f, 1}) + Floats({0, 1, 1}));
}

INSTANTIATE_TEST_SUITE_P(EmfPlus, PlusGradients,
                         testing::Values(GradientRow{"LinearRepeatsBeyondItsRectangle", TiledLinear(0),
                                                     [](const Page& page) {
                                                         EXPECT_TRUE(Near(page.At(4, 100), kRed, 60));
                                                         EXPECT_TRUE(Near(page.At(46, 100), kBlue, 60));
                                                         EXPECT_TRUE(Near(page.At(54, 100), kRed, 60))
                                                             << "the second band starts red again";
                                                         EXPECT_TRUE(Near(page.At(196, 100), kBlue, 60));
                                                     }},
                                         GradientRow{"LinearFlippedMirrorsEachOtherBand", TiledLinear(1),
                                                     [](const Page& page) {
                                                         EXPECT_TRUE(Near(page.At(46, 100), kBlue, 60));
                                                         EXPECT_TRUE(Near(page.At(54, 100), kBlue, 60))
                                                             << "the second band runs back from blue";
                                                         EXPECT_TRUE(Near(page.At(96, 100), kRed, 60));
                                                     }},
                                         GradientRow{"PathFollowsItsRimAndBlend", BlendedPath(),
                                                     [](const Page& page) {
                                                         EXPECT_TRUE(Near(page.At(100, 100), kWhite))
                                                             << "the centre";
                                                         EXPECT_TRUE(Near(page.At(130, 100), kWhite))
                                                             << "the blend keeps the inner half white";
                                                         // Rings the shape of the rim: the middle of a side
                                                         // is as blue as a corner.
                                                         EXPECT_TRUE(Near(page.At(197, 100), kBlue, 60))
                                                             << "middle of the right side";
                                                         EXPECT_TRUE(Near(page.At(197, 197), kBlue, 60))
                                                             << "corner";
                                                     }}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- pen caps -------------------------------------------------------------------------

// A black pen 3 pixels wide (object 2) with `capData` after its width: the
// flags say which optional fields follow.
std::string Pen(uint32_t flags, const std::string& capData) {
    return W::PlusRecord(kPlusObject, 0x0202,
                         W::Word(0xDBC01002) + W::Word(0) + W::Word(flags) + W::Word(0) + W::Float(3) +
                             capData + W::Word(0xDBC01002) + W::Word(0) + W::Word(0xFF000000));
}

// A custom cap from its own fill path: an arrow head 3 widths long, 3 wide.
std::string CustomArrowCap() {
    const std::string path = W::Word(0xDBC01002) + W::Word(3) + W::Word(0) +
                             Floats({1.5f, -3, 0, 0, -1.5f, -3}) + std::string("\x00\x01\x81\x00", 4);
    const std::string cap = W::Word(0xDBC01002) + W::Word(0) + W::Word(1) + W::Word(0) + W::Float(0) +
                            W::Word(0) + W::Word(0) + W::Word(0) + W::Float(10) + W::Float(1) +
                            Floats({0, 0, 0, 0}) + W::Word(static_cast<int64_t>(path.size())) + path;
    return W::Word(0xFF) + W::Word(static_cast<int64_t>(cap.size())) + cap; // end cap custom, then the cap
}

// GDI+'s adjustable arrow: 3 widths wide and long, filled.
std::string AdjustableArrowCap() {
    const std::string cap = W::Word(0xDBC01002) + W::Word(1) + Floats({3, 3, 0}) + W::Word(1) + W::Word(0) +
                            W::Word(0) + W::Word(0) + W::Float(10) + W::Float(1) + Floats({0, 0, 0, 0});
    return W::Word(0xFF) + W::Word(static_cast<int64_t>(cap.size())) + cap;
}

struct CapRow {
    const char* name;
    std::string pen;
};
void PrintTo(const CapRow& row, std::ostream* out) {
    *out << row.name;
}

class PlusPenCaps : public testing::TestWithParam<CapRow> {};

// A line across the middle from x 20 to 80: its end cap stands out across it.
TEST_P(PlusPenCaps, DrawTheEndCap) {
    const Page page = Draw(PlusFile({GetParam().pen, W::PlusRecord(kPlusDrawLines, 0x0002,
                                                                   W::Word(2) + Floats({20, 50, 80, 50}))})
                               .Bytes());
    EXPECT_EQ(page.problem, "");
    const int line = page.DarkInColumn(100);
    EXPECT_NEAR(line, 6, 2);
    int widest = 0;
    for (int x = 140; x < 165; ++x) {
        widest = std::max(widest, page.DarkInColumn(x));
    }
    EXPECT_GE(widest, line * 3 / 2) << "the cap is wider than the line";
    EXPECT_EQ(page.DarkInColumn(50), line) << "nothing at the start";
}

INSTANTIATE_TEST_SUITE_P(EmfPlus, PlusPenCaps,
                         testing::Values(CapRow{"ArrowAnchor", Pen(0x0004, W::Word(0x14))},
                                         CapRow{"DiamondAnchor", Pen(0x0004, W::Word(0x13))},
                                         CapRow{"CustomCapPath", Pen(0x1004, CustomArrowCap())},
                                         CapRow{"AdjustableArrow", Pen(0x1004, AdjustableArrowCap())}),
                         [](const auto& info) { return std::string(info.param.name); });

// Dashes given without a line style: the line still shows its gaps.
TEST(PlusPens, CustomDashesWithoutALineStyleShowTheirGaps) {
    const std::string dashes = W::Word(2) + Floats({2, 2}); // on and off, in widths
    const Page page =
        Draw(PlusFile({Pen(0x0100, dashes),
                       W::PlusRecord(kPlusDrawLines, 0x0002, W::Word(2) + Floats({20, 50, 80, 50}))})
                 .Bytes());
    int changes = 0;
    for (int x = 41; x < 160; ++x) {
        changes += (page.DarkInColumn(x) > 0) != (page.DarkInColumn(x - 1) > 0);
    }
    EXPECT_GE(changes, 8);
}

// ---- the reference device -------------------------------------------------------------

// The header extended with the device's size in micrometres.
std::string WithMicrometres(std::string bytes, int x, int y) {
    bytes.insert(88, W::Word(0) + W::Word(0) + W::Word(0) + W::Word(x) + W::Word(y));
    bytes.replace(4, 4, W::Word(108));
    bytes.replace(48, 4, W::Word(static_cast<int64_t>(bytes.size())));
    return bytes;
}

// The device is 254 x 254 mm; micrometres that say otherwise are not believed
// over the millimetres, or the picture would be squashed or lost off the page.
TEST(MetafileHeader, MicrometresThatContradictTheMillimetresAreNotBelieved) {
    for (const auto& [x, y] : {std::pair{254000, 254000}, std::pair{500000, 500000}, std::pair{300, 200}}) {
        EmfWriter w;
        w.Record(kEmrCreateBrushIndirect, {1, 0, 0x0000FF, 0}).Record(kEmrSelectObject, {1});
        w.Record(kEmrSelectObject, {0x80000008}); // no pen
        w.Record(kEmrRectangle, {0, 0, 50, 100}); // the left half of the frame, in device pixels
        const Page page = Draw(WithMicrometres(w.Bytes(), x, y));
        EXPECT_TRUE(Near(page.At(50, 100), kRed)) << x << " x " << y << " micrometres";
        EXPECT_TRUE(Near(page.At(150, 100), kWhite)) << x << " x " << y << " micrometres";
    }
}

} // namespace
