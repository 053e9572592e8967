#pragma once

#include "IccProfile.h"
#include "PngChunks.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// What a PNG file says about its colours in the chunks before its pixel data.
struct PngColour {
    struct CodingPoints { // cICP: code points of ITU-T H.273
        uint8_t primaries = 0;
        uint8_t transfer = 0;
        uint8_t matrix = 0;
        bool fullRange = true;
    };
    std::optional<CodingPoints> cicp;
    bool embeddedProfile = false;                 // iCCP
    bool srgb = false;                            // sRGB
    std::optional<double> gamma;                  // gAMA: the file gamma, stored value = light ^ gamma
    std::optional<Chromaticities> chromaticities; // cHRM
};

// Walks the chunks of a PNG file up to its first IDAT. Every length is checked
// against the file before a chunk is read; a malformed chunk ends the walk
// with what was found so far (the decoder then says what is wrong).
PngColour ReadPngColour(const ReadBytesAt& read);

// The ICC profile that shows the picture as its chunks describe it, for `grey`
// or RGB pixels: cICP first, then (when there is no iCCP or sRGB chunk) gAMA
// and cHRM. Empty when the picture is sRGB already, when an embedded profile
// decides, or when the chunks hold numbers no display could follow.
std::string PngProfile(const PngColour& colour, bool grey);
