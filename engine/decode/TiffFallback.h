#pragma once

#include <cstdint>
#include <vips/vips8>

// One directory (page) of a TIFF, 0 for the first, read through libtiff's
// RGBA interface. It reads what libvips' TIFF loader refuses (old-style JPEG
// compression, subsampled YCbCr, tiled pictures with separate planes), and
// reads old-style JPEG and YCbCr right where ImageMagick gives them a green
// cast.
//
// `fd` stays the caller's. The picture keeps the file's orientation and
// profile as metadata; grey files stay grey; alpha is straight, not
// premultiplied. With `stopOnError` a damaged strip or tile fails the read;
// without it the damaged parts are left out. Throws std::runtime_error with
// libtiff's reason, or vips::VError.
vips::VImage ReadTiffAsRgba(int fd, int directory, int64_t maxPixels, bool stopOnError);
