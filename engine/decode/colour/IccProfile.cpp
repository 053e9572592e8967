#include "IccProfile.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <lcms2.h>
#include <memory>
#include <string>
#include <vector>

namespace {

using CurvePtr = std::unique_ptr<cmsToneCurve, decltype(&cmsFreeToneCurve)>;
using ProfilePtr = std::unique_ptr<void, decltype(&cmsCloseProfile)>;

// Light (0 to 1, page white at 1) for a stored value (0 to 1), by each
// transfer. The HDR curves put their reference white (203 cd/m², or 75 % of
// the HLG signal) at page white and clip what lies above it: a page has no
// brighter white to offer.
double PqToLight(double value) {
    constexpr double m1 = 2610.0 / 16384, m2 = 2523.0 / 4096 * 128;
    constexpr double c1 = 3424.0 / 4096, c2 = 2413.0 / 4096 * 32, c3 = 2392.0 / 4096 * 32;
    const double p = std::pow(value, 1 / m2);
    const double nits = 10000 * std::pow(std::max(p - c1, 0.0) / (c2 - c3 * p), 1 / m1);
    return nits / 203;
}

double HlgSceneLight(double value) {
    constexpr double a = 0.17883277, b = 0.28466892, c = 0.55991073;
    return value <= 0.5 ? value * value / 3 : (std::exp((value - c) / a) + b) / 12;
}

double HlgToLight(double value) {
    return HlgSceneLight(value) / HlgSceneLight(0.75);
}

double Bt709ToLight(double value) {
    return value < 0.081 ? value / 4.5 : std::pow((value + 0.099) / 1.099, 1 / 0.45);
}

double SrgbToLight(double value) {
    return value < 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double SrgbFromLight(double light) {
    return light <= 0.0031308 ? light * 12.92 : 1.055 * std::pow(light, 1 / 2.4) - 0.055;
}

double ToLight(const Transfer& transfer, double value) {
    switch (transfer.kind) {
    case Transfer::Kind::Power:
        return std::pow(value, transfer.exponent);
    case Transfer::Kind::Srgb:
        return SrgbToLight(value);
    case Transfer::Kind::Bt709:
        return Bt709ToLight(value);
    case Transfer::Kind::Pq:
        return PqToLight(value);
    case Transfer::Kind::Hlg:
        return HlgToLight(value);
    }
    return value;
}

CurvePtr MakeCurve(const Transfer& transfer) {
    if (!transfer.narrowRange) {
        // The common curves have exact parametric forms, kept as such so that
        // lcms can invert and optimise them.
        if (transfer.kind == Transfer::Kind::Power) {
            return {cmsBuildGamma(nullptr, transfer.exponent), &cmsFreeToneCurve};
        }
        if (transfer.kind == Transfer::Kind::Srgb) {
            const double srgb[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
            return {cmsBuildParametricToneCurve(nullptr, 4, srgb), &cmsFreeToneCurve};
        }
        if (transfer.kind == Transfer::Kind::Bt709) {
            const double bt709[5] = {1 / 0.45, 1 / 1.099, 0.099 / 1.099, 1 / 4.5, 0.081};
            return {cmsBuildParametricToneCurve(nullptr, 4, bt709), &cmsFreeToneCurve};
        }
    }
    constexpr int kPoints = 4096;
    std::vector<float> table(kPoints);
    for (int i = 0; i < kPoints; ++i) {
        double value = static_cast<double>(i) / (kPoints - 1);
        if (transfer.narrowRange) {
            value = std::clamp((value * 255 - 16) / 219, 0.0, 1.0);
        }
        table[i] = static_cast<float>(std::clamp(ToLight(transfer, value), 0.0, 1.0));
    }
    return {cmsBuildTabulatedToneCurveFloat(nullptr, kPoints, table.data()), &cmsFreeToneCurve};
}

bool Plausible(const Chromaticities& c) {
    for (double v : {c.whiteX, c.whiteY, c.redX, c.redY, c.greenX, c.greenY, c.blueX, c.blueY}) {
        if (!(v >= 0 && v <= 1)) {
            return false;
        }
    }
    // The three primaries must span a triangle that holds some colour.
    const double area = (c.greenX - c.redX) * (c.blueY - c.redY) - (c.blueX - c.redX) * (c.greenY - c.redY);
    return c.whiteY > 0 && c.redY > 0 && c.greenY > 0 && c.blueY > 0 && std::abs(area) > 1e-4;
}

std::string Serialise(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    if (!cmsSaveProfileToMem(profile, nullptr, &size) || size == 0) {
        return {};
    }
    std::string bytes(size, '\0');
    if (!cmsSaveProfileToMem(profile, bytes.data(), &size)) {
        return {};
    }
    bytes.resize(size);
    return bytes;
}

} // namespace

std::string MakeRgbProfile(const Chromaticities& c, const Transfer& transfer) {
    if (!Plausible(c)) {
        return {};
    }
    const CurvePtr curve = MakeCurve(transfer);
    if (!curve) {
        return {};
    }
    const cmsCIExyY white{c.whiteX, c.whiteY, 1.0};
    const cmsCIExyYTRIPLE primaries{
        {c.redX, c.redY, 1.0}, {c.greenX, c.greenY, 1.0}, {c.blueX, c.blueY, 1.0}};
    cmsToneCurve* curves[3] = {curve.get(), curve.get(), curve.get()};
    const ProfilePtr profile(cmsCreateRGBProfile(&white, &primaries, curves), &cmsCloseProfile);
    return profile ? Serialise(profile.get()) : std::string();
}

std::string MakeGreyProfile(const Chromaticities& c, const Transfer& transfer) {
    if (!(c.whiteX > 0 && c.whiteX < 1 && c.whiteY > 0 && c.whiteY < 1)) {
        return {};
    }
    const CurvePtr curve = MakeCurve(transfer);
    if (!curve) {
        return {};
    }
    const cmsCIExyY white{c.whiteX, c.whiteY, 1.0};
    const ProfilePtr profile(cmsCreateGrayProfile(&white, curve.get()), &cmsCloseProfile);
    return profile ? Serialise(profile.get()) : std::string();
}

bool DescribesSrgb(std::string_view bytes) {
    const ProfilePtr profile(cmsOpenProfileFromMem(bytes.data(), static_cast<cmsUInt32Number>(bytes.size())),
                             &cmsCloseProfile);
    if (!profile || cmsGetColorSpace(profile.get()) != cmsSigRgbData || !cmsIsMatrixShaper(profile.get())) {
        return false;
    }
    // sRGB's colorants adapted to the D50 connection space, as every sRGB
    // profile stores them (to about three decimals).
    const struct {
        cmsTagSignature colorant;
        cmsTagSignature curve;
        cmsCIEXYZ expected;
    } channels[] = {
        {cmsSigRedColorantTag, cmsSigRedTRCTag, {0.4361, 0.2225, 0.0139}},
        {cmsSigGreenColorantTag, cmsSigGreenTRCTag, {0.3851, 0.7169, 0.0971}},
        {cmsSigBlueColorantTag, cmsSigBlueTRCTag, {0.1431, 0.0606, 0.7141}},
    };
    for (const auto& channel : channels) {
        const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile.get(), channel.colorant));
        const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(profile.get(), channel.curve));
        if (xyz == nullptr || curve == nullptr || std::abs(xyz->X - channel.expected.X) > 0.003 ||
            std::abs(xyz->Y - channel.expected.Y) > 0.003 || std::abs(xyz->Z - channel.expected.Z) > 0.003) {
            return false;
        }
        for (double value : {0.02, 0.05, 0.1, 0.2, 0.35, 0.5, 0.65, 0.8, 0.9, 1.0}) {
            // Within half a step of eight bits.
            const double light = cmsEvalToneCurveFloat(curve, static_cast<cmsFloat32Number>(value));
            if (std::abs(SrgbFromLight(light) - value) > 0.5 / 255) {
                return false;
            }
        }
    }
    return true;
}

namespace {

const char* ColoursOf(int channels) {
    switch (channels) {
    case 1:
        return "grey";
    case 3:
        return "RGB";
    case 4:
        return "CMYK";
    default:
        return "of another colour model";
    }
}

} // namespace

std::string WhyProfileUnfit(std::string_view bytes, int colourBands) {
    constexpr size_t kHeaderSize = 128;
    if (bytes.size() < kHeaderSize || bytes.substr(36, 4) != "acsp") {
        return "it is damaged or is not a colour profile";
    }
    // The header gives the profile's whole size. lcms opens a profile cut
    // short all the same and quietly leaves out the tables it lost.
    uint32_t declared = 0;
    for (int i = 0; i < 4; ++i) {
        declared = declared << 8 | static_cast<unsigned char>(bytes[i]);
    }
    if (declared > bytes.size()) {
        return "it is cut short: " + std::to_string(bytes.size()) + " of its " + std::to_string(declared) +
               " bytes are there";
    }
    const ProfilePtr profile(cmsOpenProfileFromMem(bytes.data(), static_cast<cmsUInt32Number>(bytes.size())),
                             &cmsCloseProfile);
    if (!profile) {
        return "it is damaged or is not a colour profile";
    }
    const cmsColorSpaceSignature space = cmsGetColorSpace(profile.get());
    const int channels = static_cast<int>(cmsChannelsOf(space));
    if (channels != colourBands) {
        const char* made = space == cmsSigGrayData   ? "grey"
                           : space == cmsSigRgbData  ? "RGB"
                           : space == cmsSigCmykData ? "CMYK"
                                                     : "other";
        return std::string("it is made for ") + made + " pictures, and this picture is " +
               ColoursOf(colourBands);
    }
    return {};
}

std::string MakeSrgbV2Profile() {
    const ProfilePtr profile(cmsCreate_sRGBProfile(), &cmsCloseProfile);
    if (!profile) {
        return {};
    }
    // Version 2 profiles hold their tone curves as tables, which lcms writes
    // in place of the parametric ones of version 4.
    cmsSetProfileVersion(profile.get(), 2.1);
    std::string bytes = Serialise(profile.get());
    // lcms dates a profile when it is made; the same profile in every document
    // keeps documents of the same pictures identical byte for byte.
    constexpr size_t kDateAt = 24; // twelve bytes: year, month, day, hours, minutes, seconds
    constexpr unsigned char kFixedDate[12] = {0x07, 0xD0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0}; // 2000-01-01
    if (bytes.size() >= kDateAt + sizeof kFixedDate) {
        bytes.replace(kDateAt, sizeof kFixedDate, reinterpret_cast<const char*>(kFixedDate),
                      sizeof kFixedDate);
    }
    return bytes;
}
