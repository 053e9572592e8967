#pragma once

#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

// Pictures made on the fly for tests, written and read with libvips.

// A picture of one colour; the format follows the extension
// (.jpg .png .tif .gif .bmp).
void WriteSolidPicture(const std::filesystem::path& path, int width, int height, std::array<uint8_t, 3> rgb);

// The same at a resolution of xDpi x yDpi pixels per inch, as the format
// stores it (TIFF tags, PNG pHYs, JPEG JFIF density, BMP pixels per metre);
// `faxTiff` writes a TIFF as a fax does, one bit per pixel in Group 4.
void WriteSolidPictureAt(const std::filesystem::path& path, int width, int height, std::array<uint8_t, 3> rgb,
                         double xDpi, double yDpi, bool faxTiff = false);

// A JPEG of one colour whose header holds only a JFIF segment with this
// density (unit 0: only the pixels' shape, 1: per inch, 2: per centimetre),
// or no JFIF segment at all when `unit` is negative.
void WriteJfifJpeg(const std::filesystem::path& path, int width, int height, int unit, int x, int y);

// `from` written again in the kind the extension of `to` names. Throws
// vips::VError when this libvips cannot write that kind.
void ReencodePicture(const std::filesystem::path& from, const std::filesystem::path& to);

// A PNG of one colour with an alpha channel.
void WriteRgbaPng(const std::filesystem::path& path, int width, int height, std::array<uint8_t, 4> rgba);

// Printed text as a scan shows it: black `text` (lines split at "\n") on
// white, in a font that has Latin and Chinese letters, `points` high at 200
// dots per inch, `width` pixels wide.
void WriteTextPicture(const std::filesystem::path& path, const std::string& text, int points, int width);

// `upright` stored turned a quarter, as a camera held sideways stores it,
// with the EXIF orientation (6) that shows it upright again, as a JPEG.
void WriteTurnedJpeg(const std::filesystem::path& upright, const std::filesystem::path& jpeg);

// The sRGB colour of one pixel (alpha, if any, is dropped).
std::array<uint8_t, 3> ReadPixel(const std::filesystem::path& path, int x, int y);

struct PictureSize {
    int width = 0;
    int height = 0;
};

PictureSize ReadSize(const std::filesystem::path& path);

// A JPEG of four coloured quarters (so that any turn or mirror shows), with
// EXIF orientation `orientation` (1 to 8) recorded but not applied.
void WriteQuarteredJpeg(const std::filesystem::path& path, int width, int height, int orientation);

// A JPEG coded with arithmetic coding instead of Huffman coding.
void WriteArithmeticJpeg(const std::filesystem::path& path, int width, int height);

// The mean absolute difference of two pictures of the same size, over all
// bands, 0 to 255; a negative value when their sizes differ.
double MeanDifference(const std::filesystem::path& a, const std::filesystem::path& b);
using Rgb = std::array<uint8_t, 3>;

// Distinct colours, far enough apart to survive JPEG.
inline Rgb ColourNumber(int n) {
    static const Rgb kColours[] = {{220, 30, 30},   {30, 200, 30},   {30, 30, 220}, {230, 200, 20},
                                   {20, 200, 210},  {200, 30, 200},  {0, 0, 0},     {140, 70, 0},
                                   {120, 120, 120}, {250, 150, 150}, {0, 90, 60},   {90, 0, 140}};
    return kColours[n % 12];
}

inline bool NearColour(Rgb a, Rgb b, int tolerance = 24) {
    for (int i = 0; i < 3; ++i) {
        if (std::abs(a[i] - b[i]) > tolerance) {
            return false;
        }
    }
    return true;
}

// Starts libvips once for the tests, with its cache off: tests rewrite files
// under the same name, and must never be answered from a cache.
void StartTestVips();
