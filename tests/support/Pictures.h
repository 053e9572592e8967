#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

// Pictures made on the fly for tests, written and read with libvips.

// A picture of one colour; the format follows the extension
// (.jpg .png .tif .gif .bmp).
void WriteSolidPicture(const std::filesystem::path& path, int width, int height, std::array<uint8_t, 3> rgb);

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
