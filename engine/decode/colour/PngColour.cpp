#include "PngColour.h"

#include <cmath>

namespace {

// The primaries of the ITU-T H.273 code points that pictures use, or nothing.
std::optional<Chromaticities> PrimariesOf(uint8_t code) {
    switch (code) {
    case 1: // BT.709, sRGB
        return kSrgbChromaticities;
    case 4: // BT.470 M
        return Chromaticities{0.310, 0.316, 0.67, 0.33, 0.21, 0.71, 0.14, 0.08};
    case 5: // BT.601 625 lines
        return Chromaticities{0.3127, 0.3290, 0.64, 0.33, 0.29, 0.60, 0.15, 0.06};
    case 6: // BT.601 525 lines
    case 7: // SMPTE 240M
        return Chromaticities{0.3127, 0.3290, 0.630, 0.340, 0.310, 0.595, 0.155, 0.070};
    case 9: // BT.2020, BT.2100
        return Chromaticities{0.3127, 0.3290, 0.708, 0.292, 0.170, 0.797, 0.131, 0.046};
    case 11: // DCI-P3
        return Chromaticities{0.314, 0.351, 0.680, 0.320, 0.265, 0.690, 0.150, 0.060};
    case 12: // Display P3
        return Chromaticities{0.3127, 0.3290, 0.680, 0.320, 0.265, 0.690, 0.150, 0.060};
    case 22: // EBU Tech 3213
        return Chromaticities{0.3127, 0.3290, 0.630, 0.340, 0.295, 0.605, 0.155, 0.077};
    default:
        return std::nullopt;
    }
}

std::optional<Transfer> TransferOf(uint8_t code) {
    switch (code) {
    case 1:  // BT.709
    case 6:  // BT.601
    case 14: // BT.2020 10-bit
    case 15: // BT.2020 12-bit
        return Transfer{Transfer::Kind::Bt709};
    case 4:
        return Transfer{Transfer::Kind::Power, 2.2};
    case 5:
        return Transfer{Transfer::Kind::Power, 2.8};
    case 8:
        return Transfer{Transfer::Kind::Power, 1.0};
    case 13:
        return Transfer{Transfer::Kind::Srgb};
    case 16:
        return Transfer{Transfer::Kind::Pq};
    case 18:
        return Transfer{Transfer::Kind::Hlg};
    default:
        return std::nullopt;
    }
}

bool NearSrgbChromaticities(const Chromaticities& c) {
    const Chromaticities& s = kSrgbChromaticities;
    const double pairs[][2] = {{c.whiteX, s.whiteX}, {c.whiteY, s.whiteY}, {c.redX, s.redX},
                               {c.redY, s.redY},     {c.greenX, s.greenX}, {c.greenY, s.greenY},
                               {c.blueX, s.blueX},   {c.blueY, s.blueY}};
    for (const auto& pair : pairs) {
        if (std::abs(pair[0] - pair[1]) > 0.01) {
            return false;
        }
    }
    return true;
}

std::string Profile(const Chromaticities& chromaticities, const Transfer& transfer, bool grey) {
    return grey ? MakeGreyProfile(chromaticities, transfer) : MakeRgbProfile(chromaticities, transfer);
}

} // namespace

PngColour ReadPngColour(const ReadBytesAt& read) {
    PngColour colour;
    WalkPngHeaderChunks(read, [&](std::string_view type, uint32_t length, uint64_t dataAt) {
        auto data = [&](uint32_t expected) {
            const std::string bytes = length == expected ? read(dataAt, length) : std::string();
            return bytes.size() == expected ? bytes : std::string();
        };
        if (type == "gAMA") {
            const std::string bytes = data(4);
            const double gamma = bytes.empty() ? 0 : PngNumber(bytes, 0) / 100000.0;
            // Outside this range the number is a writer's mistake, not a curve.
            if (gamma > 0.05 && gamma < 20) {
                colour.gamma = gamma;
            }
        } else if (type == "cHRM") {
            const std::string bytes = data(32);
            if (!bytes.empty()) {
                double v[8];
                for (int i = 0; i < 8; ++i) {
                    v[i] = PngNumber(bytes, 4 * i) / 100000.0;
                }
                colour.chromaticities = Chromaticities{v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]};
            }
        } else if (type == "sRGB") {
            colour.srgb = true;
        } else if (type == "iCCP") {
            colour.embeddedProfile = true;
        } else if (type == "cICP") {
            const std::string bytes = data(4);
            if (!bytes.empty()) {
                colour.cicp =
                    PngColour::CodingPoints{static_cast<uint8_t>(bytes[0]), static_cast<uint8_t>(bytes[1]),
                                            static_cast<uint8_t>(bytes[2]), bytes[3] != 0};
            }
        }
        return true;
    });
    return colour;
}

std::string PngProfile(const PngColour& colour, bool grey) {
    if (colour.cicp && colour.cicp->matrix == 0) {
        const auto primaries = PrimariesOf(colour.cicp->primaries);
        auto transfer = TransferOf(colour.cicp->transfer);
        if (primaries && transfer) {
            if (colour.cicp->primaries == 1 && colour.cicp->transfer == 13 && colour.cicp->fullRange) {
                return {};
            }
            transfer->narrowRange = !colour.cicp->fullRange;
            return Profile(*primaries, *transfer, grey);
        }
    }
    if (colour.embeddedProfile || colour.srgb || (!colour.gamma && !colour.chromaticities)) {
        return {};
    }
    const Chromaticities chromaticities = colour.chromaticities.value_or(kSrgbChromaticities);
    // A gamma of 1/2.2 on sRGB primaries is how many writers say "sRGB";
    // shown as such it costs nothing and differs from the pure curve only in
    // the deepest shadows.
    const bool srgbGamma = !colour.gamma || std::abs(*colour.gamma * 2.2 - 1) < 0.05;
    if (srgbGamma && NearSrgbChromaticities(chromaticities)) {
        return {};
    }
    const Transfer transfer =
        colour.gamma ? Transfer{Transfer::Kind::Power, 1 / *colour.gamma} : Transfer{Transfer::Kind::Srgb};
    return Profile(chromaticities, transfer, grey);
}
