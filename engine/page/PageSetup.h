#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// What a page is made of: its paper, the resolution of the page picture, the
// way it is turned, the white border and how the picture is fitted.

// Sheet sizes people print on; Custom is the size in pixels typed by the
// user, where one pixel is one point of the PDF page; Picture is a page of
// each picture's own size at its resolution.
enum class PaperSize : int32_t { Custom, A5, A4, A3, A2, B5, Letter, Legal, Tabloid, Picture };

enum class PageOrientation : int32_t {
    AsSized,   // as the size says (presets are portrait)
    Portrait,  // the long side upright
    Landscape, // the long side across
    Auto,      // per picture: landscape for a picture wider than tall, portrait for one taller than wide
};

enum class PictureFit : int32_t {
    Fit,    // enlarged or reduced to fill the area inside the margins
    Shrink, // only reduced: a picture smaller than the area keeps its own size
};

inline constexpr int32_t kDefaultDpi = 150;
inline constexpr int32_t kMinDpi = 72;
inline constexpr int32_t kMaxDpi = 600;

struct PageSetup {
    PaperSize paper = PaperSize::Custom;
    int32_t pageWidth = 0; // Custom: pixels, also points
    int32_t pageHeight = 0;
    int32_t dpi = kDefaultDpi; // presets: pixels per inch of the page picture
    PageOrientation orientation = PageOrientation::AsSized;
    double margin =
        0; // the white border on every side: millimetres for presets and Picture, pixels for Custom
    PictureFit fit = PictureFit::Fit;
};

// A sheet upright, in millimetres.
struct SheetSize {
    double widthMm = 0;
    double heightMm = 0;
};

// The presets, in the order menus list them.
std::span<const PaperSize> PaperPresets();

// "A4", "Letter", ...; "custom" for Custom, "picture" for Picture.
const char* PaperName(PaperSize paper);

// The preset of that name in any letter case ("a4", "LETTER"); empty for
// another name and for "custom".
std::optional<PaperSize> PaperSizeNamed(std::string_view name);

// The upright sheet of a preset; zero for Custom and Picture.
SheetSize SheetOf(PaperSize paper);

// Empty when the resolution of a preset page is usable (72 to 600 dots per
// inch; Custom pages have none); otherwise a sentence for the user.
std::optional<std::string> CheckResolution(const PageSetup& setup);

// Empty when the margin is a number of zero or more that leaves room for the
// picture on the page; otherwise a sentence for the user.
std::optional<std::string> CheckMargin(const PageSetup& setup);
