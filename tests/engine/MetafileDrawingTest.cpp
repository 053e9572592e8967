// Metafiles written record by record, drawn, and measured: where a shape
// lands under each mapping mode, how wide a pen comes out, whether dashes,
// turned text, bitmaps' alpha and EMF+ records show as GDI and GDI+ show them.
#include "EmfPicture.h"
#include "EmfWriter.h"
#include "RecordTypes.h"
#include "VipsRuntime.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <optional>
#include <vips/vips8>

using namespace metafile;
using W = EmfWriter;

namespace {

using Rgb = std::array<int, 3>;
constexpr int kSize = 200; // the page: the 100-pixel frame drawn twice as large
constexpr int64_t kStock = 0x80000000;
constexpr int64_t kNullPen = kStock | 8, kNullBrush = kStock | 5;
constexpr uint32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000; // COLORREF: 0x00BBGGRR

struct Page {
    vips::VImage image;
    std::string problem;

    // Read from memory: libvips' getpoint is too slow for tests that look at every pixel.
    Rgb At(int x, int y) const {
        const auto* p = static_cast<const uint8_t*>(image.data()) +
                        (static_cast<size_t>(y) * image.width() + x) * image.bands();
        return {p[0], p[1], p[2]};
    }
    bool Dark(int x, int y) const {
        const Rgb p = At(x, y);
        return p[0] + p[1] + p[2] < 3 * 160;
    }
    // How many pixels of column `x` are dark.
    int DarkInColumn(int x) const {
        int n = 0;
        for (int y = 0; y < image.height(); ++y) {
            n += Dark(x, y);
        }
        return n;
    }
    // How often row `y` changes between dark and light from x0 to x1.
    int Changes(int y, int x0, int x1) const {
        int n = 0;
        for (int x = x0 + 1; x < x1; ++x) {
            n += Dark(x, y) != Dark(x - 1, y);
        }
        return n;
    }
    // The box around every dark pixel: width and height (0 when none is).
    std::array<int, 2> InkBox() const {
        int left = image.width(), right = -1, top = image.height(), bottom = -1;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (Dark(x, y)) {
                    left = std::min(left, x), right = std::max(right, x);
                    top = std::min(top, y), bottom = std::max(bottom, y);
                }
            }
        }
        return right < 0 ? std::array<int, 2>{0, 0} : std::array<int, 2>{right - left + 1, bottom - top + 1};
    }
};

Page Draw(const EmfWriter& writer) {
    EnsureVipsStarted();
    const std::string bytes = writer.Bytes();
    EmfDrawing drawn = RenderEmf(bytes, kSize, kSize);
    EXPECT_EQ(drawn.image.format(), VIPS_FORMAT_UCHAR);
    EXPECT_GE(drawn.image.bands(), 3);
    return {drawn.image.copy_memory(), drawn.problem};
}

bool Near(Rgb a, Rgb b, int tolerance = 24) {
    for (int i = 0; i < 3; ++i) {
        if (std::abs(a[i] - b[i]) > tolerance) {
            return false;
        }
    }
    return true;
}

constexpr Rgb kWhiteRgb{255, 255, 255}, kRedRgb{255, 0, 0}, kGreenRgb{0, 255, 0}, kBlueRgb{0, 0, 255};

// Test names from the rows' own names.
struct RowName {
    template <typename Info> std::string operator()(const Info& info) const {
        std::string name = info.param.name;
        for (char& c : name) {
            c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        }
        return name;
    }
};

void SolidBrush(EmfWriter& w, uint32_t colour) {
    w.Record(kEmrCreateBrushIndirect, {1, 0, colour, 0}).Record(kEmrSelectObject, {1});
}

// ---- where shapes land -------------------------------------------------------

struct MappingRow {
    const char* name;
    std::function<void(EmfWriter&)> setUp;
    std::array<int, 4> rect; // logical coordinates that should cover the frame's left half
};
void PrintTo(const MappingRow& row, std::ostream* out) {
    *out << row.name;
}

class MappingModes : public testing::TestWithParam<MappingRow> {};

TEST_P(MappingModes, PutTheLeftHalfOnTheLeftHalf) {
    const MappingRow& row = GetParam();
    EmfWriter w;
    row.setUp(w);
    SolidBrush(w, kRed);
    w.Record(kEmrSelectObject, {kNullPen});
    w.Record(kEmrRectangle, {row.rect[0], row.rect[1], row.rect[2], row.rect[3]});
    const Page page = Draw(w);
    EXPECT_TRUE(Near(page.At(50, 100), kRedRgb)) << row.name;
    EXPECT_TRUE(Near(page.At(150, 100), kWhiteRgb)) << row.name;
    EXPECT_TRUE(Near(page.At(50, 5), kRedRgb)) << row.name << ": the top";
    EXPECT_TRUE(Near(page.At(50, 195), kRedRgb)) << row.name << ": the bottom";
}

void MapMode(EmfWriter& w, int mode) {
    w.Record(kEmrSetMapMode, {mode});
}

// The reference device has 100 pixels an inch: the left half is 50 x 100 pixels,
// 0.5 x 1 inch, 12.7 x 25.4 mm. Metric and English modes count y upwards.
INSTANTIATE_TEST_SUITE_P(
    Metafile, MappingModes,
    testing::Values(
        MappingRow{"text", [](EmfWriter& w) { MapMode(w, 1); }, {0, 0, 50, 100}},
        MappingRow{"lometric", [](EmfWriter& w) { MapMode(w, 2); }, {0, 0, 127, -254}},
        MappingRow{"himetric", [](EmfWriter& w) { MapMode(w, 3); }, {0, 0, 1270, -2540}},
        MappingRow{"loenglish", [](EmfWriter& w) { MapMode(w, 4); }, {0, 0, 50, -100}},
        MappingRow{"hienglish", [](EmfWriter& w) { MapMode(w, 5); }, {0, 0, 500, -1000}},
        MappingRow{"twips", [](EmfWriter& w) { MapMode(w, 6); }, {0, 0, 720, -1440}},
        MappingRow{"anisotropic",
                   [](EmfWriter& w) {
                       MapMode(w, 8);
                       w.Record(kEmrSetWindowExtEx, {1000, 500}).Record(kEmrSetViewportExtEx, {100, 100});
                   },
                   {0, 0, 500, 500}},
        MappingRow{"isotropic keeps the smaller scale",
                   [](EmfWriter& w) {
                       MapMode(w, 7);
                       w.Record(kEmrSetWindowExtEx, {1000, 2000}).Record(kEmrSetViewportExtEx, {100, 100});
                   },
                   {0, 0, 1000, 2000}},
        MappingRow{"origins",
                   [](EmfWriter& w) {
                       w.Record(kEmrSetWindowOrgEx, {100, 0}).Record(kEmrSetViewportOrgEx, {20, 0});
                   },
                   {80, 0, 130, 100}},
        MappingRow{"world transform",
                   [](EmfWriter& w) {
                       w.Raw(kEmrSetWorldTransform, W::Float(0.5f) + W::Float(0) + W::Float(0) +
                                                        W::Float(0.5f) + W::Float(0) + W::Float(0));
                   },
                   {0, 0, 100, 200}},
        MappingRow{"saved and restored state",
                   [](EmfWriter& w) {
                       w.Record(kEmrSaveDc, {});
                       MapMode(w, 8);
                       w.Record(kEmrSetWindowExtEx, {1, 1}).Record(kEmrSetViewportExtEx, {1000, 1000});
                       w.Record(kEmrRestoreDc, {-1});
                   },
                   {0, 0, 50, 100}}),
    RowName());

// ---- pens --------------------------------------------------------------------

struct PenRow {
    const char* name;
    std::function<void(EmfWriter&)> setUp; // selects the pen, sets the mapping
    int y;                                 // logical y of the horizontal line
    int x1;                                // logical x of its far end
    double pixels;                         // the line's thickness on the page
};
void PrintTo(const PenRow& row, std::ostream* out) {
    *out << row.name;
}

class PenWidths : public testing::TestWithParam<PenRow> {};

TEST_P(PenWidths, GoThroughTheTransforms) {
    const PenRow& row = GetParam();
    EmfWriter w;
    row.setUp(w);
    w.Record(kEmrMoveToEx, {0, row.y}).Record(kEmrLineTo, {row.x1, row.y});
    const Page page = Draw(w);
    EXPECT_NEAR(page.DarkInColumn(100), row.pixels, 1.5) << row.name;
}

void Pen(EmfWriter& w, int64_t style, int64_t width, uint32_t colour = 0) {
    w.Record(kEmrCreatePen, {2, style, width, 0, colour}).Record(kEmrSelectObject, {2});
}

void ExtPen(EmfWriter& w, int64_t style, int64_t width) {
    w.Record(kEmrExtCreatePen, {2, 52, 0, 52, 0, style, width, 0, 0, 0, 0}).Record(kEmrSelectObject, {2});
}

INSTANTIATE_TEST_SUITE_P(
    Metafile, PenWidths,
    testing::Values(
        PenRow{"width 0 is one pixel of the page", [](EmfWriter& w) { Pen(w, 0, 0); }, 50, 100, 1},
        PenRow{"width 1 grows with the picture", [](EmfWriter& w) { Pen(w, 0, 1); }, 50, 100, 2},
        PenRow{"width 10", [](EmfWriter& w) { Pen(w, 0, 10); }, 50, 100, 20},
        PenRow{"4 units where a unit is a quarter pixel",
               [](EmfWriter& w) {
                   MapMode(w, 8);
                   w.Record(kEmrSetWindowExtEx, {400, 400}).Record(kEmrSetViewportExtEx, {100, 100});
                   Pen(w, 0, 4);
               },
               200, 400, 2},
        PenRow{"5 mm in tenths of a millimetre",
               [](EmfWriter& w) {
                   MapMode(w, 2);
                   Pen(w, 0, 50);
               },
               -127, 254, 39.4},
        PenRow{"geometric pen under a world transform",
               [](EmfWriter& w) {
                   w.Raw(kEmrSetWorldTransform, W::Float(0.5f) + W::Float(0) + W::Float(0) + W::Float(0.5f) +
                                                    W::Float(0) + W::Float(0));
                   ExtPen(w, 0x10000 | 0x200, 10); // flat ends
               },
               100, 200, 10},
        PenRow{"cosmetic extended pen", [](EmfWriter& w) { ExtPen(w, 0, 1); }, 50, 100, 1},
        PenRow{"null pen draws nothing", [](EmfWriter& w) { Pen(w, 5, 10); }, 50, 100, 0}),
    RowName());

struct DashRow {
    const char* name;
    std::function<void(EmfWriter&)> pen;
    int fewestChanges;
    int mostChanges;
};
void PrintTo(const DashRow& row, std::ostream* out) {
    *out << row.name;
}

class DashStyles : public testing::TestWithParam<DashRow> {};

TEST_P(DashStyles, ShowTheirGaps) {
    const DashRow& row = GetParam();
    EmfWriter w;
    row.pen(w);
    w.Record(kEmrMoveToEx, {5, 50}).Record(kEmrLineTo, {95, 50});
    const Page page = Draw(w);
    int changes = 0;
    for (int y = 99; y <= 101; ++y) {
        changes = std::max(changes, page.Changes(y, 12, 188));
    }
    EXPECT_GE(changes, row.fewestChanges) << row.name;
    EXPECT_LE(changes, row.mostChanges) << row.name;
}

INSTANTIATE_TEST_SUITE_P(
    Metafile, DashStyles,
    testing::Values(DashRow{"solid", [](EmfWriter& w) { Pen(w, 0, 0); }, 0, 0},
                    DashRow{"dash", [](EmfWriter& w) { Pen(w, 1, 0); }, 10, 20},
                    DashRow{"dot", [](EmfWriter& w) { Pen(w, 2, 0); }, 40, 200},
                    DashRow{"dash dot", [](EmfWriter& w) { Pen(w, 3, 0); }, 20, 60},
                    DashRow{"dash dot dot", [](EmfWriter& w) { Pen(w, 4, 0); }, 20, 80},
                    // Round caps would close the gaps of a wide dotted pen; they must not.
                    DashRow{"wide dots with round caps", [](EmfWriter& w) { ExtPen(w, 0x10000 | 2, 3); }, 8,
                            60}),
    RowName());

// ---- text --------------------------------------------------------------------

std::string TextRecord(int x, int y, const std::u16string& text, uint32_t options = 0) {
    // EMRTEXT after the bounds, graphics mode and scales; the string follows it.
    std::string body =
        W::Word(0) + W::Word(0) + W::Word(-1) + W::Word(-1) + W::Word(1) + W::Float(1) + W::Float(1);
    body +=
        W::Word(x) + W::Word(y) + W::Word(static_cast<int64_t>(text.size())) + W::Word(76) + W::Word(options);
    body += W::Word(0) + W::Word(0) + W::Word(-1) + W::Word(-1) + W::Word(0);
    return body + W::Utf16(text);
}

void Font(EmfWriter& w, int height, int escapement, const std::u16string& face) {
    std::u16string name = face;
    name.resize(32, u'\0');
    w.Raw(kEmrExtCreateFontIndirectW, W::Word(3) + W::Word(height) + W::Word(0) + W::Word(escapement) +
                                          W::Word(escapement) + W::Word(400) + W::Word(0) + W::Word(0) +
                                          W::Utf16(name));
    w.Record(kEmrSelectObject, {3});
}

struct TextRow {
    int escapement;
    bool wide; // the ink is wider than tall
};
void PrintTo(const TextRow& row, std::ostream* out) {
    *out << "escapement " << row.escapement;
}

class TextEscapement : public testing::TestWithParam<TextRow> {};

TEST_P(TextEscapement, TurnsTheLine) {
    EmfWriter w;
    Font(w, -12, GetParam().escapement, u"DejaVu Sans");
    w.Record(kEmrSetTextAlign, {24}).Record(kEmrSetBkMode, {1}); // baseline, transparent
    w.Raw(kEmrExtTextOutW, TextRecord(50, 50, u"HHHHHH"));
    const Page page = Draw(w);
    const auto box = page.InkBox();
    ASSERT_GT(box[0] * box[1], 0) << "no text drawn at escapement " << GetParam().escapement;
    if (GetParam().wide) {
        EXPECT_GT(box[0], 2 * box[1]);
    } else {
        EXPECT_GT(box[1], 2 * box[0]);
    }
}

INSTANTIATE_TEST_SUITE_P(Metafile, TextEscapement,
                         testing::Values(TextRow{0, true}, TextRow{900, false}, TextRow{1800, true},
                                         TextRow{2700, false}),
                         [](const auto& info) {
                             return "Escapement" + std::to_string(info.param.escapement);
                         });

TEST(MetafileText, SymbolFontsDrawTheirPicturesNotLetters) {
    // 'l' in Wingdings is a round bullet; in a Latin font it is a thin stroke.
    auto inkOf = [](const std::u16string& face) {
        EmfWriter w;
        Font(w, -40, 0, face);
        w.Record(kEmrSetBkMode, {1});
        w.Raw(kEmrExtTextOutW, TextRecord(30, 30, u"l"));
        return Draw(w).InkBox();
    };
    const auto bullet = inkOf(u"Wingdings"), letter = inkOf(u"DejaVu Sans");
    ASSERT_GT(bullet[0], 0);
    EXPECT_NEAR(bullet[0], bullet[1], bullet[1] / 4) << "a round bullet";
    EXPECT_GT(letter[1], 3 * letter[0]) << "a thin letter";
}

TEST(MetafileText, OpaqueBackgroundFillsBehindTheText) {
    EmfWriter w;
    Font(w, -20, 0, u"DejaVu Sans");
    w.Record(kEmrSetBkMode, {2}).Record(kEmrSetBkColor, {kGreen}).Record(kEmrSetTextColor, {kBlue});
    w.Raw(kEmrExtTextOutW, TextRecord(10, 10, u"M  M"));
    const Page page = Draw(w);
    bool green = false, blue = false;
    for (int x = 20; x < 120; ++x) {
        for (int y = 20; y < 60; ++y) {
            green = green || Near(page.At(x, y), kGreenRgb, 40);
            blue = blue || Near(page.At(x, y), kBlueRgb, 60);
        }
    }
    EXPECT_TRUE(green);
    EXPECT_TRUE(blue);
}

// ---- bitmaps and brushes -----------------------------------------------------

// A StretchDIBits of a whole width x height bitmap over the whole frame.
std::string StretchDibitsOver(const std::string& info, const std::string& pixels, int width, int height,
                              uint32_t rop = 0xCC0020) {
    // bounds, dest x y, src x y cx cy, offBmi cbBmi offBits cbBits, usage, rop, dest cx cy
    const int64_t offBmi = 80, offBits = offBmi + static_cast<int64_t>(info.size());
    std::string body;
    for (int64_t v : {0, 0, 99, 99, 0, 0, 0, 0, width, height}) {
        body += W::Word(v);
    }
    for (int64_t v : {offBmi, static_cast<int64_t>(info.size()), offBits, static_cast<int64_t>(pixels.size()),
                      int64_t{0}, int64_t{rop}, int64_t{100}, int64_t{100}}) {
        body += W::Word(v);
    }
    return body + info + pixels;
}

// A StretchBlt of a whole width x height bitmap over the whole frame.
std::string StretchBltOver(const std::string& info, const std::string& bits, int width, int height,
                           uint32_t rop = 0xCC0020) {
    const int64_t offBmi = 108, offBits = offBmi + static_cast<int64_t>(info.size());
    std::string body;
    // bounds, dest x y cx cy, rop, src x y, source transform, background, usage, bitmap, src cx cy
    for (int64_t v : {int64_t{0}, int64_t{0}, int64_t{99}, int64_t{99}, int64_t{0}, int64_t{0}, int64_t{100},
                      int64_t{100}, int64_t{rop}, int64_t{0}, int64_t{0}}) {
        body += W::Word(v);
    }
    body += W::Float(1) + W::Float(0) + W::Float(0) + W::Float(1) + W::Float(0) + W::Float(0);
    body += W::Word(0) + W::Word(0) + W::Word(offBmi) + W::Word(static_cast<int64_t>(info.size())) +
            W::Word(offBits) + W::Word(static_cast<int64_t>(bits.size())) + W::Word(width) + W::Word(height);
    return body + info + bits;
}

// A StretchDIBits of a 2 x 2 bitmap of `pixel` (0xAARRGGBB as stored) over the whole frame.
std::string StretchDibits(uint32_t pixel, int bits = 32) {
    std::string pixels;
    for (int i = 0; i < 4; ++i) {
        pixels += W::Word(pixel);
    }
    return StretchDibitsOver(W::BitmapInfo(2, 2, bits), pixels, 2, 2);
}

// An AlphaBlend of the same bitmap with `blend` as BLENDFUNCTION.
std::string AlphaBlend(uint32_t pixel, uint32_t blend) {
    const std::string info = W::BitmapInfo(2, 2, 32);
    std::string pixels;
    for (int i = 0; i < 4; ++i) {
        pixels += W::Word(pixel);
    }
    const int64_t offBmi = 108, offBits = offBmi + static_cast<int64_t>(info.size());
    std::string body;
    // bounds, dest x y cx cy, blend, src x y, source transform, background, usage, bitmap, src cx cy
    for (int64_t v : {0, 0, 99, 99, 0, 0, 100, 100}) {
        body += W::Word(v);
    }
    body += W::Word(blend) + W::Word(0) + W::Word(0);
    body += W::Float(1) + W::Float(0) + W::Float(0) + W::Float(1) + W::Float(0) + W::Float(0);
    body += W::Word(0) + W::Word(0) + W::Word(offBmi) + W::Word(static_cast<int64_t>(info.size())) +
            W::Word(offBits) + W::Word(static_cast<int64_t>(pixels.size())) + W::Word(2) + W::Word(2);
    return body + info + pixels;
}

struct AlphaRow {
    const char* name;
    std::function<void(EmfWriter&)> draw;
    Rgb expected;
};
void PrintTo(const AlphaRow& row, std::ostream* out) {
    *out << row.name;
}

class AlphaRules : public testing::TestWithParam<AlphaRow> {};

TEST_P(AlphaRules, FollowGdi) {
    EmfWriter w;
    GetParam().draw(w);
    EXPECT_TRUE(Near(Draw(w).At(100, 100), GetParam().expected, 30)) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Metafile, AlphaRules,
    testing::Values(AlphaRow{"the fourth byte of a blitted bitmap is not alpha",
                             [](EmfWriter& w) { w.Raw(kEmrStretchDiBits, StretchDibits(0x00FF0000)); },
                             kRedRgb},
                    AlphaRow{"alpha blending uses premultiplied source alpha",
                             [](EmfWriter& w) { w.Raw(kEmrAlphaBlend, AlphaBlend(0x00000000, 0x01FF0000)); },
                             kWhiteRgb},
                    AlphaRow{"alpha blending uses the constant alpha",
                             [](EmfWriter& w) { w.Raw(kEmrAlphaBlend, AlphaBlend(0xFF0000FF, 0x00800000)); },
                             {127, 127, 255}}),
    RowName());

TEST(MetafileBitmaps, MonochromeBlitTakesTheTextAndBackgroundColours) {
    // A 1-bit 8 x 1 bitmap: left half 0 bits, right half 1 bits, stretched over the frame.
    const std::string info = W::BitmapInfo(8, 1, 1, {0x000000, 0xFFFFFF});
    const std::string bits = std::string("\x0F\0\0\0", 4);
    const int64_t offBmi = 108, offBits = offBmi + static_cast<int64_t>(info.size());
    std::string body;
    for (int64_t v : {0, 0, 99, 99, 0, 0, 100, 100, 0xCC0020, 0, 0}) {
        body += W::Word(v);
    }
    body += W::Float(1) + W::Float(0) + W::Float(0) + W::Float(1) + W::Float(0) + W::Float(0);
    body += W::Word(0) + W::Word(0) + W::Word(offBmi) + W::Word(static_cast<int64_t>(info.size())) +
            W::Word(offBits) + W::Word(static_cast<int64_t>(bits.size())) + W::Word(8) + W::Word(1);
    EmfWriter w;
    w.Record(kEmrSetTextColor, {kBlue}).Record(kEmrSetBkColor, {kGreen});
    w.Raw(kEmrStretchBlt, body + info + bits);
    const Page page = Draw(w);
    EXPECT_TRUE(Near(page.At(40, 100), kBlueRgb, 40));
    EXPECT_TRUE(Near(page.At(160, 100), kGreenRgb, 40));
}

// How many pixels of the page are neither near black nor near white, nor
// near `colour` when given: the soft edges of a smoothed bitmap.
int InBetween(const Page& page, std::optional<Rgb> colour = std::nullopt) {
    int n = 0;
    for (int y = 0; y < page.image.height(); ++y) {
        for (int x = 0; x < page.image.width(); ++x) {
            const Rgb p = page.At(x, y);
            n += !Near(p, {0, 0, 0}, 40) && !Near(p, kWhiteRgb, 40) && !(colour && Near(p, *colour, 40));
        }
    }
    return n;
}

// A 10 x 10 chequerboard of black and white pixels, 8 bits with a palette.
std::pair<std::string, std::string> Chequerboard() {
    std::string rows;
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 12; ++x) { // rows are padded to 12 bytes
            rows += static_cast<char>(x < 10 && (x + y) % 2);
        }
    }
    return {W::BitmapInfo(10, 10, 8, {0x000000, 0xFFFFFF}), rows};
}

struct StretchRow {
    const char* name;
    std::optional<int> mode; // SetStretchBltMode, none when unset
    bool stretchBlt;         // StretchBlt rather than StretchDIBits
    bool smooth;
};
void PrintTo(const StretchRow& row, std::ostream* out) {
    *out << row.name;
}

class StretchModes : public testing::TestWithParam<StretchRow> {};

TEST_P(StretchModes, SmoothOnlyInHalftone) {
    const StretchRow& row = GetParam();
    const auto [info, pixels] = Chequerboard();
    EmfWriter w;
    if (row.mode) {
        w.Record(kEmrSetStretchBltMode, {*row.mode});
    }
    w.Raw(row.stretchBlt ? kEmrStretchBlt : kEmrStretchDiBits,
          row.stretchBlt ? StretchBltOver(info, pixels, 10, 10) : StretchDibitsOver(info, pixels, 10, 10));
    const Page page = Draw(w);
    // Each bitmap pixel covers 20 x 20 page pixels.
    EXPECT_NE(page.Dark(10, 10), page.Dark(30, 10)) << row.name;
    if (row.smooth) {
        EXPECT_GT(InBetween(page), 1000) << row.name;
    } else {
        EXPECT_EQ(InBetween(page), 0) << row.name << ": the cells must stay sharp";
    }
}

INSTANTIATE_TEST_SUITE_P(Metafile, StretchModes,
                         testing::Values(StretchRow{"unset", std::nullopt, false, false},
                                         StretchRow{"blackonwhite", 1, false, false},
                                         StretchRow{"whiteonblack", 2, true, false},
                                         StretchRow{"coloroncolor", 3, false, false},
                                         StretchRow{"coloroncolor stretchblt", 3, true, false},
                                         StretchRow{"halftone", 4, false, true},
                                         StretchRow{"halftone stretchblt", 4, true, true}),
                         RowName());

TEST(MetafileBitmaps, TransparencyDrawnWithTwoMaskBlitsHasNoOutline) {
    // A 10 x 10 picture whose middle 4 x 4 is red and the rest transparent,
    // drawn as Windows programs draw it: the 1-bit mask (0 where the picture
    // is) ANDed onto the page, then the picture (black where it is
    // transparent) XORed over it, both stretched and in halftone mode.
    auto inside = [](int x, int y) { return x >= 3 && x < 7 && y >= 3 && y < 7; };
    std::string mask, picture;
    for (int y = 0; y < 10; ++y) {
        uint16_t bits = 0;
        for (int x = 0; x < 10; ++x) {
            bits |= inside(x, y) ? 0 : 0x8000 >> x;
            picture += inside(x, y) ? std::string("\0\0\xFF", 3) : std::string(3, '\0');
        }
        mask += std::string{static_cast<char>(bits >> 8), static_cast<char>(bits & 0xFF), 0, 0};
        picture += std::string(2, '\0'); // rows are padded to 32 bytes
    }
    EmfWriter w;
    w.Record(kEmrSetStretchBltMode, {4});
    w.Raw(kEmrStretchBlt,
          StretchBltOver(W::BitmapInfo(10, 10, 1, {0x000000, 0xFFFFFF}), mask, 10, 10, 0x8800C6));
    w.Raw(kEmrStretchBlt, StretchBltOver(W::BitmapInfo(10, 10, 24), picture, 10, 10, 0x660046));
    const Page page = Draw(w);
    EXPECT_TRUE(Near(page.At(100, 100), kRedRgb));
    EXPECT_TRUE(Near(page.At(20, 100), kWhiteRgb));
    EXPECT_EQ(InBetween(page, kRedRgb), 0) << "no grey outline around the picture";
    int dark = 0;
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            dark += Near(page.At(x, y), {0, 0, 0}, 40);
        }
    }
    EXPECT_EQ(dark, 0) << "no black outline around the picture";
}

TEST(MetafileBrushes, DefaultBrushIsWhiteAndDefaultPenBlack) {
    EmfWriter w;
    w.Record(kEmrRectangle, {10, 10, 90, 90});
    const Page page = Draw(w);
    EXPECT_TRUE(Near(page.At(100, 100), kWhiteRgb));
    EXPECT_TRUE(page.Dark(20, 100)) << "the outline";
}

TEST(MetafileBrushes, HatchShowsItsLinesOverTheBackground) {
    EmfWriter w;
    w.Record(kEmrCreateBrushIndirect, {1, 2, kRed, 4}).Record(kEmrSelectObject, {1}); // HS_CROSS
    w.Record(kEmrSetBkColor, {kGreen}).Record(kEmrSelectObject, {kNullPen});
    w.Record(kEmrRectangle, {0, 0, 100, 100});
    const Page page = Draw(w);
    int red = 0, green = 0;
    for (int x = 50; x < 150; ++x) {
        red += Near(page.At(x, 101), kRedRgb, 60) || Near(page.At(x, 103), kRedRgb, 60);
        green += Near(page.At(x, 101), kGreenRgb, 60);
    }
    EXPECT_GT(red, 5);
    EXPECT_GT(green, 5);
}

// ---- EMF+ ----------------------------------------------------------------------

std::string PlusHeader(bool dual) {
    return W::PlusRecord(kPlusHeader, dual ? 1 : 0,
                         W::Word(0xDBC01002) + W::Word(1) + W::Word(100) + W::Word(100));
}

// FillRects of the whole frame in `argb`, in pixels of the reference device.
std::string PlusFillFrame(uint32_t argb) {
    return W::PlusRecord(kPlusFillRects, 0x8000,
                         W::Word(argb) + W::Word(1) + W::Float(0) + W::Float(0) + W::Float(100) +
                             W::Float(100));
}

TEST(MetafileEmfPlus, DrawingOnlyInEmfPlusShows) {
    EmfWriter w;
    w.EmfPlus({PlusHeader(false), W::PlusRecord(kPlusSetPageTransform, 2, W::Float(1))});
    w.EmfPlus({PlusFillFrame(0xFF00FF00)});
    w.EmfPlus({W::PlusRecord(kPlusEndOfFile, 0, "")});
    const Page page = Draw(w);
    EXPECT_TRUE(Near(page.At(100, 100), kGreenRgb));
    EXPECT_TRUE(page.problem.empty()) << page.problem;
}

TEST(MetafileEmfPlus, DualFilesDrawTheEmfPlusRecordsAndSkipTheirGdiCopy) {
    EmfWriter w;
    w.EmfPlus({PlusHeader(true)});
    w.EmfPlus({PlusFillFrame(0xFF00FF00)});
    SolidBrush(w, kRed); // the GDI copy of the same drawing, for programs without GDI+
    w.Record(kEmrRectangle, {0, 0, 100, 50});
    const Page page = Draw(w);
    EXPECT_TRUE(Near(page.At(100, 50), kGreenRgb));
}

TEST(MetafileEmfPlus, GdiRecordsAfterGetDcAreDrawn) {
    EmfWriter w;
    w.EmfPlus({PlusHeader(true)});
    w.EmfPlus({PlusFillFrame(0xFF00FF00)});
    w.EmfPlus({W::PlusRecord(kPlusGetDc, 0, "")});
    SolidBrush(w, kRed);
    w.Record(kEmrSelectObject, {kNullPen}).Record(kEmrRectangle, {0, 0, 100, 50});
    const Page page = Draw(w);
    EXPECT_TRUE(Near(page.At(100, 50), kRedRgb));
    EXPECT_TRUE(Near(page.At(100, 150), kGreenRgb));
}

TEST(MetafileEmfPlus, DualFileWithAnEmfPlusRecordItDoesNotKnowFallsBackToGdi) {
    EmfWriter w;
    w.EmfPlus({PlusHeader(true)});
    w.EmfPlus({PlusFillFrame(0xFF00FF00), W::PlusRecord(0x4FFF, 0, W::Word(0))});
    SolidBrush(w, kRed);
    w.Record(kEmrSelectObject, {kNullPen}).Record(kEmrRectangle, {0, 0, 100, 100});
    const Page page = Draw(w);
    EXPECT_TRUE(Near(page.At(100, 100), kRedRgb));
}

TEST(MetafileEmfPlus, PenWidthInWorldUnitsFollowsTheWorldTransform) {
    EmfWriter w;
    w.EmfPlus({PlusHeader(false), W::PlusRecord(kPlusSetPageTransform, 2, W::Float(1)),
               W::PlusRecord(kPlusScaleWorldTransform, 0, W::Float(2) + W::Float(2)),
               // a pen object (id 0): width 5 world units, solid black brush
               W::PlusRecord(kPlusObject, 0x0200,
                             W::Word(0xDBC01002) + W::Word(0) + W::Word(0) + W::Word(0) + W::Float(5) +
                                 W::Word(0xDBC01002) + W::Word(0) + W::Word(0xFF000000)),
               W::PlusRecord(kPlusDrawLines, 0x0000,
                             W::Word(2) + W::Float(0) + W::Float(25) + W::Float(50) + W::Float(25))});
    const Page page = Draw(w);
    EXPECT_NEAR(page.DarkInColumn(100), 20, 2); // 5 units x 2 (world) x 2 (page)
}

// ---- what cannot be drawn --------------------------------------------------------

TEST(MetafileReport, UnknownRecordsAreCountedAndTheRestDrawn) {
    EmfWriter w;
    w.Record(200, {1, 2, 3}).Record(201, {});
    SolidBrush(w, kRed);
    w.Record(kEmrRectangle, {0, 0, 100, 100});
    const Page page = Draw(w);
    EXPECT_EQ(page.problem, "drawn without 2 records it does not know");
    EXPECT_TRUE(Near(page.At(100, 100), kRedRgb));
}

TEST(MetafileReport, LyingCountsInsideRecordsAreNeverTrusted) {
    EmfWriter w;
    w.Record(kEmrPolyline16, {0, 0, 10, 10, 0xFFFFFFF}); // count far beyond the record
    w.Record(kEmrPolyPolygon, {0, 0, 10, 10, 0x40000000, 0x40000000, 5});
    w.Raw(kEmrExtTextOutW, TextRecord(10, 10, u"ab").replace(36, 4, W::Word(0x7FFFFFFF)));
    w.Record(kEmrExtSelectClipRgn, {0x7FFFFFF0, 5, 32, 1, 0x7FFFFFFF, 0});
    w.Raw(kEmrStretchDiBits, StretchDibits(0).replace(40, 4, W::Word(0x7FFFFFF0)));
    w.EmfPlus({PlusHeader(false), W::PlusRecord(kPlusDrawLines, 0, W::Word(0x7FFFFFFF) + W::Float(1))});
    for (int i = 0; i < 300; ++i) { // a clip no drawing needs, which every shape would be clipped against
        w.Record(kEmrIntersectClipRect, {0, 0, 100 - i % 7, 100});
    }
    SolidBrush(w, kRed);
    w.Record(kEmrRectangle, {0, 0, 100, 100});
    const Page page = Draw(w); // must not crash or read past the records (ASan checks)
    EXPECT_FALSE(page.problem.empty());
}

} // namespace
