#pragma once

#include <optional>
#include <vips/vips8>

// What is measured on a scanned picture and how it is cleaned, on 8-bit
// pictures as the decoders make them. Leptonica does the measuring; a
// picture too small or too plain to measure is always left as it is.

// Pages are straightened by at most this much either way: a page further
// askew than this was laid on the scanner crooked on purpose, or is no page
// of text lines.
inline constexpr double kMaxSkewDegrees = 10.0;

// The degrees (clockwise) that straighten the text lines of `grey` (8-bit,
// one band): empty when it holds no lines of text that agree on an angle
// (a photo, a drawing, a blank page), when it is too small to tell, or when
// it is straight already (within a tenth of a degree).
std::optional<double> FindTextSkew(const vips::VImage& grey);

// `picture` turned clockwise by `degrees` about its centre, at its own size:
// what turns out of the frame is lost (a scan's margin), what turns in is white.
vips::VImage StraightenPicture(const vips::VImage& picture, double degrees);

// Whether `grey` is a blank page: white or near-white paper with at most
// scanner noise and dust on it. It is blank when nothing darker than the
// paper by kBlankContrast levels (of 255) reaches kBlankExtent of the
// picture's longer side (about 2 mm on an A4 page) in either direction, a
// border of kBlankBorder on each side left aside (the shadow of the
// scanner's lid). Faint pencil is darker than that; dust is smaller; a lone
// noisy pixel is smaller still. A dark picture, or one too small to
// measure, is never blank.
inline constexpr int kBlankContrast = 24;
inline constexpr double kBlankExtent = 1.0 / 150;
inline constexpr double kBlankBorder = 0.02;
bool LooksBlank(const vips::VImage& grey);

// `grey` (8-bit, one band) in black and white (0 and 255) by Sauvola's
// adaptive threshold over windows of `windowHalf` pixels either side: each
// pixel is measured against its neighbourhood, so a shaded or yellowed scan
// keeps its text and loses its shading.
vips::VImage ThresholdAdaptive(const vips::VImage& grey, int windowHalf);

// `picture` (8-bit grey or sRGB) in 8-bit grey.
vips::VImage GreyOf(const vips::VImage& picture);

struct ScanCleaner;
struct ScanDecisions;

// `picture` (8-bit grey or sRGB, as it is shown) cleaned as `cleaner` asks,
// in this order: a blank one is left out (empty, and `decided.blank`), then
// it is turned upright, then straightened. `decided` says what was done.
std::optional<vips::VImage> CleanScan(const vips::VImage& picture, const ScanCleaner& cleaner,
                                      ScanDecisions& decided);

// A finished page picture in black and white, for a page stored that way:
// the threshold's window grows with the page, so it spans a few lines of
// text at any resolution.
vips::VImage BilevelPage(const vips::VImage& page);
