#include "PageSetup.h"

#include "PagePlacement.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <sstream>

namespace {

struct Preset {
    PaperSize paper;
    const char* name;
    SheetSize sheet;
};

// ISO 216 sheets, and the North American ones from their inches (25.4 mm each).
constexpr std::array<Preset, 9> kPresets{{
    {PaperSize::A5, "A5", {148, 210}},
    {PaperSize::A4, "A4", {210, 297}},
    {PaperSize::A3, "A3", {297, 420}},
    {PaperSize::A2, "A2", {420, 594}},
    {PaperSize::B5, "B5", {176, 250}},
    {PaperSize::Letter, "Letter", {215.9, 279.4}},
    {PaperSize::Legal, "Legal", {215.9, 355.6}},
    {PaperSize::Tabloid, "Tabloid", {279.4, 431.8}},
    {PaperSize::Picture, "picture", {0, 0}}, // each picture's own size
}};

constexpr std::array<PaperSize, 9> kPresetOrder = {
    PaperSize::A5,     PaperSize::A4,    PaperSize::A3,      PaperSize::A2,      PaperSize::B5,
    PaperSize::Letter, PaperSize::Legal, PaperSize::Tabloid, PaperSize::Picture,
};

const Preset* Find(PaperSize paper) {
    for (const Preset& preset : kPresets) {
        if (preset.paper == paper) {
            return &preset;
        }
    }
    return nullptr;
}

std::string Number(double value) {
    std::ostringstream text;
    text << value;
    return text.str();
}

} // namespace

std::span<const PaperSize> PaperPresets() {
    return kPresetOrder;
}

const char* PaperName(PaperSize paper) {
    const Preset* preset = Find(paper);
    return preset != nullptr ? preset->name : "custom";
}

std::optional<PaperSize> PaperSizeNamed(std::string_view name) {
    for (const Preset& preset : kPresets) {
        const std::string_view candidate = preset.name;
        if (candidate.size() == name.size() &&
            std::equal(candidate.begin(), candidate.end(), name.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) ==
                       std::tolower(static_cast<unsigned char>(b));
            })) {
            return preset.paper;
        }
    }
    return std::nullopt;
}

SheetSize SheetOf(PaperSize paper) {
    const Preset* preset = Find(paper);
    return preset != nullptr ? preset->sheet : SheetSize{};
}

std::optional<std::string> CheckResolution(const PageSetup& setup) {
    if (setup.paper == PaperSize::Custom || (setup.dpi >= kMinDpi && setup.dpi <= kMaxDpi)) {
        return std::nullopt;
    }
    return "a resolution of " + std::to_string(setup.dpi) + " dpi is not possible: it must be between " +
           std::to_string(kMinDpi) + " and " + std::to_string(kMaxDpi) + " dpi";
}

std::optional<std::string> CheckMargin(const PageSetup& setup) {
    const bool custom = setup.paper == PaperSize::Custom;
    const std::string unit = custom ? " pixels" : " mm";
    if (!std::isfinite(setup.margin) || setup.margin < 0) {
        return "a margin of " + Number(setup.margin) + unit + " is not possible: it must be zero or more";
    }
    if (setup.paper == PaperSize::Picture) {
        // The page grows by the margin, up to the largest page a PDF may have.
        const double largestMm = kMaxPdfPageInches * 25.4;
        if (setup.margin * 2 < largestMm) {
            return std::nullopt;
        }
        return "a margin of " + Number(setup.margin) + unit +
               " leaves no room for the picture on the largest page, " + Number(largestMm) + unit + " wide";
    }
    // The page picture's narrower side, in the margin's unit.
    const PageGeometry page = LayOutPage(PageSetup{setup.paper, setup.pageWidth, setup.pageHeight, setup.dpi,
                                                   PageOrientation::AsSized, 0, setup.fit},
                                         0, 0);
    const int32_t narrowPx = std::min(page.widthPx, page.heightPx);
    const double narrow =
        custom ? narrowPx : std::min(SheetOf(setup.paper).widthMm, SheetOf(setup.paper).heightMm);
    if (MarginInPixels(setup) * 2 < narrowPx) {
        return std::nullopt;
    }
    return "a margin of " + Number(setup.margin) + unit + " leaves no room for the picture on a page " +
           Number(narrow) + unit + " wide";
}
