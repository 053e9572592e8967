#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Pixel-exact comparisons of a document's images with their sources, for
// pages that must show the source's own pixels.

// The images of `pdf` as pdfimages extracts them (-png), in page order, into
// `folder`; empty when pdfimages fails.
std::vector<std::filesystem::path> ExtractImages(const std::filesystem::path& pdf,
                                                 const std::filesystem::path& folder);

// How many pixels of `a` and `b` differ in any band, both read at their own
// depth (1 to 16 bits) and brought to the same number of bands: grey as one
// band, colour as three, alpha composited over white; -1 when their sizes
// differ, or one has 16 bits and the other fewer.
int64_t DifferentPixels(const std::filesystem::path& a, const std::filesystem::path& b);
