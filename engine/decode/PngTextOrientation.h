#pragma once

#include "PngChunks.h"

#include <optional>

// The EXIF orientation (1 to 8) kept in a PNG's "Raw profile type exif" text
// chunk, where ImageMagick writes a picture's EXIF: ImageMagick and Pillow
// turn the picture as it says. Only chunks before the pixel data are read,
// plain or compressed; nothing when none of them gives an orientation.
std::optional<int> ReadPngTextOrientation(const ReadBytesAt& read);
