#pragma once

#include <string>
#include <string_view>
#include <vips/vips8>

// Brings a decoded picture, from any loader, to the colours a screen shows
// for it: sRGB, or grey on sRGB's tone curve, 8 bits per channel, an alpha
// channel kept for the caller to lay over white.
//
// - A picture that carries a colour profile (embedded in the file, or made
//   from what the file says about its colours) is converted with it through
//   lcms, black kept black.
// - CMYK without a profile is shown the way viewers and browsers show it:
//   each ink takes away its share of light, black ink from all three.
// - Anything else (no profile, a profile that cannot be read or does not fit
//   the pixels) is taken as sRGB, its samples only brought to 8 bits.
//
// A picture that is already 8-bit sRGB or grey without a profile passes
// through untouched, at no cost. When the picture carries a profile that
// could not be used, `profileProblem` says why, for the report: the pixels are
// all there, but their colours may be off.
struct DisplayColours {
    vips::VImage image;
    std::string profileProblem;
};
DisplayColours ToDisplayColours(vips::VImage image);

// The picture with `profile` as its colour profile, in place of any it had.
vips::VImage WithProfile(vips::VImage image, std::string_view profile);
