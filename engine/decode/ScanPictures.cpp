#include "ScanPictures.h"

#include "ScanCleaning.h"

#include <leptonica/allheaders.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>
#include <vector>

using vips::VImage;

namespace {

// Smaller than this on either side, a picture says nothing reliable about
// its lines or its paper.
constexpr int kMinMeasuredSide = 100;

// Skew is measured on at most this long a side: lines of text are found as
// well at about 120 dpi as at 600, in a fraction of the time.
constexpr int kSkewSide = 1400;

// Blankness is judged on at most this long a side (300 dpi on A4): shrunk
// further, a fine pencil stroke would fade into the paper.
constexpr int kBlankSide = 3600;

// Leptonica's own least confidence for a skew it would correct (pixDeskew).
constexpr float kMinSkewConfidence = 3.0f;
constexpr double kStraightDegrees = 0.1;

// Paper lighter than this is near-white; a darker page is a picture.
constexpr int kPaperLevel = 160;

struct PixDeleter {
    void operator()(PIX* pix) const { pixDestroy(&pix); }
};
using PixPtr = std::unique_ptr<PIX, PixDeleter>;

struct BoxaDeleter {
    void operator()(BOXA* boxa) const { boxaDestroy(&boxa); }
};

VImage ScaledToSide(const VImage& picture, int side) {
    const int longest = std::max(picture.width(), picture.height());
    if (longest <= side) {
        return picture;
    }
    return picture.resize(static_cast<double>(side) / longest).cast(VIPS_FORMAT_UCHAR);
}

// An 8-bit one-band libvips picture as an 8 bpp Leptonica one.
PixPtr ToPix8(const VImage& grey) {
    const VImage flat = grey.extract_band(0).cast(VIPS_FORMAT_UCHAR).copy_memory();
    const auto* pixels = static_cast<const uint8_t*>(flat.data());
    PixPtr pix(pixCreate(flat.width(), flat.height(), 8));
    if (!pix) {
        throw std::runtime_error("out of memory for measuring the scan");
    }
    l_uint32* data = pixGetData(pix.get());
    const int wpl = pixGetWpl(pix.get());
    for (int y = 0; y < flat.height(); ++y) {
        l_uint32* line = data + static_cast<size_t>(y) * wpl;
        const uint8_t* row = pixels + static_cast<size_t>(y) * flat.width();
        for (int x = 0; x < flat.width(); ++x) {
            SET_DATA_BYTE(line, x, row[x]);
        }
    }
    return pix;
}

// A 1 bpp Leptonica picture (1 is black) as 8-bit 0 and 255.
VImage FromPix1(PIX* pix) {
    const int width = static_cast<int>(pixGetWidth(pix));
    const int height = static_cast<int>(pixGetHeight(pix));
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height);
    const l_uint32* data = pixGetData(pix);
    const int wpl = pixGetWpl(pix);
    for (int y = 0; y < height; ++y) {
        const l_uint32* line = data + static_cast<size_t>(y) * wpl;
        uint8_t* row = pixels.data() + static_cast<size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            row[x] = GET_DATA_BIT(line, x) ? 0 : 255;
        }
    }
    VipsImage* image =
        vips_image_new_from_memory_copy(pixels.data(), pixels.size(), width, height, 1, VIPS_FORMAT_UCHAR);
    if (image == nullptr) {
        throw vips::VError();
    }
    return VImage(image).copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_B_W));
}

bool TooSmall(const VImage& picture) {
    return std::min(picture.width(), picture.height()) < kMinMeasuredSide;
}

} // namespace

VImage GreyOf(const VImage& picture) {
    if (picture.bands() >= 3) {
        return picture.colourspace(VIPS_INTERPRETATION_B_W).extract_band(0).cast(VIPS_FORMAT_UCHAR);
    }
    return picture.extract_band(0).cast(VIPS_FORMAT_UCHAR);
}

std::optional<double> FindTextSkew(const VImage& grey) {
    if (TooSmall(grey)) {
        return std::nullopt;
    }
    const VImage scaled = ScaledToSide(grey, kSkewSide);
    // Lines are found on black and white; the adaptive threshold keeps the
    // text of a shaded scan and lets a photo's smooth areas go white.
    const VImage lines = ThresholdAdaptive(scaled, std::max(8, std::max(scaled.width(), scaled.height()) / 100));
    PixPtr pix8 = ToPix8(lines);
    PixPtr pix1(pixConvertTo1(pix8.get(), 128));
    if (!pix1) {
        return std::nullopt;
    }
    // Coarse steps over the whole range at a quarter of the size, then a
    // fine binary search at half of it (as Leptonica's own pixFindSkew does,
    // over a wider range).
    const bool large = std::max(scaled.width(), scaled.height()) >= 1200;
    float angle = 0, confidence = 0, endScore = 0;
    if (pixFindSkewSweepAndSearchScore(pix1.get(), &angle, &confidence, &endScore, large ? 4 : 2, large ? 2 : 1,
                                       0.0f, static_cast<float>(kMaxSkewDegrees), 1.0f, 0.01f) != 0) {
        return std::nullopt;
    }
    if (confidence < kMinSkewConfidence || std::abs(angle) > kMaxSkewDegrees ||
        std::abs(angle) < kStraightDegrees) {
        return std::nullopt;
    }
    // Leptonica's angle is the one its pixRotate turns by, clockwise on the
    // page, to straighten the lines.
    return static_cast<double>(angle);
}

VImage StraightenPicture(const VImage& picture, double degrees) {
    const std::vector<double> white(static_cast<size_t>(picture.bands()), 255.0);
    const VImage turned = picture.rotate(degrees, VImage::option()
                                                      ->set("background", white)
                                                      ->set("interpolate", vips::VInterpolate::new_from_name("bilinear")));
    const int left = (turned.width() - picture.width()) / 2;
    const int top = (turned.height() - picture.height()) / 2;
    return turned.crop(std::max(left, 0), std::max(top, 0), std::min(picture.width(), turned.width()),
                       std::min(picture.height(), turned.height()))
        .cast(VIPS_FORMAT_UCHAR);
}

bool LooksBlank(const VImage& grey) {
    if (TooSmall(grey)) {
        return false;
    }
    const VImage scaled = ScaledToSide(grey, kBlankSide).copy_memory();
    const double paper = scaled.percent(50);
    if (paper < kPaperLevel) {
        return false;
    }
    // No smoothing: it would take a thin stroke away with the noise. A
    // noisy pixel darker than the bound stands alone, far below the extent.
    const VImage& smooth = scaled;
    const int borderX = static_cast<int>(smooth.width() * kBlankBorder);
    const int borderY = static_cast<int>(smooth.height() * kBlankBorder);
    const VImage inner =
        smooth.crop(borderX, borderY, smooth.width() - 2 * borderX, smooth.height() - 2 * borderY);
    const VImage marks = (inner < (paper - kBlankContrast)).ifthenelse(0, 255).cast(VIPS_FORMAT_UCHAR);
    if (marks.min() > 0) {
        return true; // not one pixel darker than the paper
    }
    PixPtr pix8 = ToPix8(marks);
    PixPtr pix1(pixConvertTo1(pix8.get(), 128));
    if (!pix1) {
        return false;
    }
    std::unique_ptr<BOXA, BoxaDeleter> boxes(pixConnCompBB(pix1.get(), 8));
    if (!boxes) {
        return false;
    }
    const int extent = std::max(2, static_cast<int>(std::max(scaled.width(), scaled.height()) * kBlankExtent));
    for (int i = 0; i < boxaGetCount(boxes.get()); ++i) {
        l_int32 x = 0, y = 0, w = 0, h = 0;
        boxaGetBoxGeometry(boxes.get(), i, &x, &y, &w, &h);
        if (std::max(w, h) >= extent) {
            return false;
        }
    }
    return true;
}

VImage ThresholdAdaptive(const VImage& grey, int windowHalf) {
    PixPtr pix8 = ToPix8(grey);
    PIX* black = nullptr;
    // Sauvola's k of 0.34, as Leptonica suggests for scanned text.
    if (pixSauvolaBinarize(pix8.get(), std::max(windowHalf, 2), 0.34f, 1, nullptr, nullptr, nullptr, &black) != 0 ||
        black == nullptr) {
        throw std::runtime_error("the scan could not be made black and white");
    }
    PixPtr owned(black);
    return FromPix1(owned.get());
}

std::optional<VImage> CleanScan(const VImage& picture, const ScanCleaner& cleaner, ScanDecisions& decided) {
    decided = {};
    const ScanCleaning& asked = cleaner.cleaning;
    if (!asked.skipBlank && !asked.autoRotate && !asked.deskew) {
        return picture;
    }
    VImage grey = GreyOf(picture).copy_memory();
    if (asked.skipBlank && LooksBlank(grey)) {
        decided.blank = true;
        return std::nullopt;
    }
    VImage cleaned = picture;
    if (asked.autoRotate && cleaner.uprightTurn) {
        const int turn = cleaner.uprightTurn(grey.get_image());
        if (turn == 90 || turn == 180 || turn == 270) {
            const VipsAngle angle = turn == 90 ? VIPS_ANGLE_D90 : turn == 180 ? VIPS_ANGLE_D180 : VIPS_ANGLE_D270;
            cleaned = cleaned.rot(angle).copy_memory();
            grey = grey.rot(angle).copy_memory();
            decided.turnedBy = turn;
        }
    }
    if (asked.deskew) {
        if (const std::optional<double> skew = FindTextSkew(grey)) {
            cleaned = StraightenPicture(cleaned, *skew).copy_memory();
            decided.straightenedBy = *skew;
        }
    }
    return cleaned;
}

VImage BilevelPage(const VImage& page) {
    const int window = std::max(8, std::max(page.width(), page.height()) / 140);
    return ThresholdAdaptive(GreyOf(page), window);
}
