#pragma once

#include "RenderProtocol.h"
#include "TextRecognition.h"

#include <functional>

// What a render worker does with one request. `onCount` hears first how many
// pages the source has, then `onPage` each page from `request.firstPart` on,
// as soon as it is written; either returning false stops the rest. A page is
// the source's own JPEG kept as it is (when the settings allow and
// KeepJpegAsIs takes it; such a JPEG has one page, and its place travels with
// it) or rendered by PicturePages; when only a white page is asked for, that
// is the one page. Page k goes to PartPagePath(request.destination, k). When
// the request names languages, each page that shows its picture has the text
// of that picture read by `recognizer`, from the picture as decoded, not from
// the page written from it; a page whose text cannot be read is still a page,
// with the reason. With lossless settings a metafile's page is drawn as
// vectors too, beside its page picture (VectorPagePath), and says where they
// go; a metafile the players cannot draw so has its page picture alone.
void RenderPages(const RenderRequest& request, TextRecognizer& recognizer,
                 const std::function<bool(size_t count)>& onCount,
                 const std::function<bool(size_t part, const PageMade& page)>& onPage);
