#pragma once

#include <string>
#include <string_view>

// Colour profiles made from a picture's own description of its colours, for
// formats that describe them in a few numbers instead of an ICC profile (PNG's
// gAMA, cHRM and cICP chunks). The profiles are ordinary ICC data: the picture
// then goes through the same colour management as one with an embedded
// profile.

// CIE xy chromaticities of a white point and three primaries.
struct Chromaticities {
    double whiteX, whiteY;
    double redX, redY;
    double greenX, greenY;
    double blueX, blueY;
};

// The sRGB (and BT.709) primaries under D65.
inline constexpr Chromaticities kSrgbChromaticities{0.3127, 0.3290, 0.64, 0.33, 0.30, 0.60, 0.15, 0.06};

// How stored values turn into light.
struct Transfer {
    enum class Kind {
        Power, // light = value ^ exponent
        Srgb,  // the sRGB curve
        Bt709, // the inverse of the BT.709 camera curve
        Pq,    // SMPTE ST 2084 (HDR), shown with its reference white at page white
        Hlg,   // ARIB STD-B67 (HDR), likewise
    };
    Kind kind = Kind::Srgb;
    double exponent = 1.0;
    bool narrowRange = false; // video levels: 16 is black and 235 white
};

// An ICC profile for RGB pixels with these primaries and this transfer, or
// for grey pixels with this white point and transfer. Empty when the numbers
// cannot make a profile (a primary on the white point, a zero white y...).
std::string MakeRgbProfile(const Chromaticities& chromaticities, const Transfer& transfer);
std::string MakeGreyProfile(const Chromaticities& chromaticities, const Transfer& transfer);

// True when `profile` is an RGB matrix profile with sRGB's primaries and tone
// curve (as written by cameras, phones and most software under many names):
// converting with it would change nothing but cost time.
bool DescribesSrgb(std::string_view profile);

// Why `profile` cannot convert pixels of `colourBands` colour channels (1
// grey, 3 RGB, 4 CMYK), in words for the user: "it is damaged or is not a
// colour profile", "it is cut short: ...", "it is made for grey pictures, and
// this picture is RGB". Empty when it is whole, lcms can read it and it is
// made for exactly those channels.
std::string WhyProfileUnfit(std::string_view profile, int colourBands);

// The sRGB profile as an ICC version 2 profile, the version every PDF reader
// and PDF/A-1 take: what archival documents declare their colours to be.
// Empty only when lcms cannot make it (out of memory).
std::string MakeSrgbV2Profile();
