#include "ColourToSrgb.h"

#include "IccProfile.h"

#include <optional>

using vips::VImage;

namespace {

int ColourBands(const VImage& image) {
    return image.bands() - (image.has_alpha() ? 1 : 0);
}

// The alpha channel of `image` scaled to 0..255.
VImage AlphaInEightBits(const VImage& image) {
    const double opaque = image.format() == VIPS_FORMAT_USHORT ? 65535.0 : 255.0;
    return image.extract_band(image.bands() - 1).linear(255.0 / opaque, 0.5).cast(VIPS_FORMAT_UCHAR);
}

// The picture converted with its own profile, or nothing when converting
// would change nothing or the profile cannot be used; `problem` then says why
// it could not (a profile that is unreadable or made for other pixels, such as
// an RGB profile on a grey picture).
std::optional<VImage> ThroughProfile(const VImage& image, std::string& problem) {
    const void* data = nullptr;
    size_t length = 0;
    if (vips_image_get_blob(image.get_image(), VIPS_META_ICC_NAME, &data, &length) != 0) {
        vips_error_clear();
        problem = "the embedded colour profile could not be read";
        return std::nullopt;
    }
    const std::string_view profile(static_cast<const char*>(data), length);
    // Many photographs carry an sRGB profile: converting with it would change
    // nothing and cost a fifth of the page's time. A grey picture tagged sRGB
    // is shown right without it too.
    if (DescribesSrgb(profile)) {
        return std::nullopt;
    }
    // libvips takes a grey profile for a colour picture, and would turn the
    // page grey: the channels must match exactly.
    std::string why = WhyProfileUnfit(profile, ColourBands(image));
    if (why.empty() && !vips_icc_is_compatible_profile(image.get_image(), data, length)) {
        why = "the colour library refused it";
    }
    vips_error_clear();
    if (!why.empty()) {
        problem = "the embedded colour profile could not be used: " + why;
        return std::nullopt;
    }
    try {
        // The profile is for the colour; alpha only needs bringing to 8 bits.
        const bool hasAlpha = image.has_alpha();
        const VImage colour =
            hasAlpha ? image.extract_band(0, VImage::option()->set("n", image.bands() - 1)) : image;
        // Perceptual, because some profiles (large camera and print ones)
        // carry only that table; black point compensation so that the
        // deepest shade of the profile lands on black.
        VImage out = colour.icc_transform("srgb", VImage::option()
                                                      ->set("embedded", true)
                                                      ->set("intent", VIPS_INTENT_PERCEPTUAL)
                                                      ->set("black_point_compensation", true)
                                                      ->set("depth", 8));
        // Grey stays grey: a third of the page data, and no tint from rounding.
        if (ColourBands(image) == 1) {
            out = out.colourspace(VIPS_INTERPRETATION_B_W);
        }
        if (hasAlpha) {
            out = out.bandjoin(AlphaInEightBits(image));
        }
        return out;
    } catch (const vips::VError& error) {
        vips_error_clear();
        problem = std::string("the embedded colour profile could not be applied: ") + error.what();
        return std::nullopt;
    }
}

// Ink values (0 none, full scale all) to light: each ink takes away its share,
// black from all three. This is what browsers and common viewers show for a
// CMYK picture without a profile; a generic press profile would lift its black
// to slate grey.
VImage InkToRgb(const VImage& image) {
    const double full = image.format() == VIPS_FORMAT_USHORT ? 65535.0 : 255.0;
    const VImage paper = image.extract_band(0, VImage::option()->set("n", 4)).linear(-1.0, full);
    const VImage light = paper.extract_band(0, VImage::option()->set("n", 3)) * paper.extract_band(3);
    VImage rgb = light.linear(255.0 / (full * full), 0.5).cast(VIPS_FORMAT_UCHAR);
    if (image.bands() > 4) {
        rgb = rgb.bandjoin(AlphaInEightBits(image));
    }
    return rgb.copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

} // namespace

DisplayColours ToDisplayColours(VImage image) {
    std::string problem;
    if (image.get_typeof(VIPS_META_ICC_NAME) != 0) {
        if (std::optional<VImage> converted = ThroughProfile(image, problem)) {
            return {*converted, {}};
        }
    }
    const VipsInterpretation kind = image.interpretation();
    if (kind == VIPS_INTERPRETATION_CMYK && image.bands() >= 4) {
        return {InkToRgb(image), problem};
    }
    const bool grey = kind == VIPS_INTERPRETATION_B_W || kind == VIPS_INTERPRETATION_GREY16;
    if (image.format() != VIPS_FORMAT_UCHAR ||
        (!grey && kind != VIPS_INTERPRETATION_sRGB && kind != VIPS_INTERPRETATION_MULTIBAND)) {
        image = image.colourspace(grey ? VIPS_INTERPRETATION_B_W : VIPS_INTERPRETATION_sRGB);
    }
    return {image, problem};
}

VImage WithProfile(VImage image, std::string_view profile) {
    image = image.copy();
    vips_image_set_blob_copy(image.get_image(), VIPS_META_ICC_NAME, profile.data(), profile.size());
    return image;
}
