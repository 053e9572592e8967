#pragma once

#include "KeptJpeg.h"

#include <cstdint>
#include <filesystem>
#include <string>

struct _VipsImage;

// Stores a black-and-white picture at `destination` as a CCITT Group 4
// image stream (libtiff's codec), the smallest lossless form a document
// shows it in. `picture` is 8-bit grey (its first band counts), each pixel 0
// for black or 255 for white; anything below the middle is taken as black.
// On success `coding` says how the file is coded (G4, one bit, 0 for black)
// and the result is empty; otherwise it says why, nothing is left at
// `destination`, and `coding` is unchanged. When the disk (or the user's
// quota) is full, `diskFullNeeding`, if given, is set to the page's size.
std::string StoreBilevelPage(const std::filesystem::path& destination, _VipsImage* picture,
                             StreamCoding& coding, uint64_t* diskFullNeeding = nullptr);

// The descriptor of a page picture of width x height pixels stored as
// `coding`, shown over the whole page as a rendered page is.
KeptJpeg OverWholePage(int32_t width, int32_t height, const StreamCoding& coding);
