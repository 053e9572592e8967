#pragma once

#include "CopyImageData.h"
#include "NormalizeImage.h"

#include <filesystem>

// Stores a decoded picture, as its page shows it (ShownPicture: turned,
// transparency over white, 8-bit grey or sRGB), in its own pixels rather
// than a page picture, and describes it as a kept picture in its place:
// - with `lossy` (the source was lossy already: HEIC, AVIF, lossy WebP,
//   JPEG XL, a JPEG that could not be kept) as a JPEG at `quality`, which
//   Flate would only make larger;
// - otherwise without losing a pixel: black and white as Group 4 (as Flate
//   when libtiff cannot encode it), at most 256 colours as an Indexed
//   picture, anything else as grey or RGB, all Flate with PNG predictors.
LosslessPageResult StoreShownPicture(const ShownPicture& shown, const std::filesystem::path& destination,
                                     bool lossy, int32_t quality);

// Stores `picture` (8-bit or 16-bit grey or RGB, 1 or 3 bands) at
// `destination` without losing a pixel, as StoreShownPicture does, and sets
// `coding` to how. Empty on success, otherwise why, as StorePage says it;
// throws vips::VError or std::runtime_error when the picture cannot be read.
std::string StoreOwnPixels(_VipsImage* picture, const std::filesystem::path& destination,
                           StreamCoding& coding, uint64_t* diskFullNeeding);

// Whether `source` is a picture whose own coding loses detail (HEIC, AVIF,
// lossy WebP, JPEG XL, JPEG) or a metafile, read from its first bytes.
enum class SourceCoding { Lossless, Lossy, Metafile };
SourceCoding SourceCodingOf(const std::filesystem::path& source);

// Decodes page `part` of `pages` as PicturePages::Render does and, when the
// picture reads cleanly, stores it as StoreShownPicture does in place of a
// page picture, and sets `kept` to its description. A damaged or unreadable
// picture, or one that cannot be stored as itself, gets the rendered page
// and its problem, as without this. `text`, when given, hears the picture as
// Render's listener does.
NormalizeResult RenderInOwnPixels(const PicturePages& pages, size_t part, const PageSetup& page,
                                  const std::filesystem::path& destination, int32_t quality, bool lossy,
                                  const ShownPictureSink* text, std::optional<KeptJpeg>& kept);
