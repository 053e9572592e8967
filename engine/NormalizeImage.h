#pragma once

#include "JobReport.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

// Where a picture of w x h pixels lands on a page of W x H pixels: fitted with
// its proportions kept, centred along the axis with room to spare. Ratios are
// compared in single precision, the exact fitted side is computed in double
// precision, and every conversion to an integer truncates toward zero, so the
// far margin may be up to two pixels wider than the near one.
struct PagePlacement {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const PagePlacement&) const = default;
};
PagePlacement FitPictureOnPage(int32_t pageWidth, int32_t pageHeight, int32_t pictureWidth,
                               int32_t pictureHeight);

// The result of rendering one picture. `written` tells whether the destination
// JPEG exists; `problem` is empty for a picture that converted cleanly.
struct NormalizeResult {
    bool written = false;
    std::optional<PictureOutcome> problem;
    std::string reason;
};

// Renders `source` (JPEG, PNG, BMP, TIFF, GIF or EMF; the first page or frame of
// a multi-page file) into `destination`, a JPEG of exactly pageWidth x pageHeight
// pixels at the encoder's default quality: the picture as its viewer shows it
// (EXIF orientation applied, transparency over white), fitted by
// FitPictureOnPage onto a white page. A source that cannot be read yields an
// all-white page and an Undecodable problem; one that can be read only in part
// (a truncated file) yields what could be read and a Damaged problem. The
// destination's folder must exist. Safe to call from several threads at once.
NormalizeResult NormalizeImage(int32_t pageWidth, int32_t pageHeight, const std::filesystem::path& source,
                               const std::filesystem::path& destination);

// Renders `source` as a small JPEG picture for a preview: drawn as
// NormalizeImage draws it, scaled down to fit inside maxSide x maxSide with its
// proportions kept (a smaller picture keeps its size). A picture that cannot be
// read writes nothing and yields an Undecodable problem with the reason; a
// damaged one is shown as far as it can be read, with a Damaged problem.
NormalizeResult RenderPreview(int32_t maxSide, const std::filesystem::path& source,
                              const std::filesystem::path& destination);

// Writes an all-white page, for a picture that could not be rendered at all.
NormalizeResult WriteWhitePage(int32_t pageWidth, int32_t pageHeight,
                               const std::filesystem::path& destination);
