#pragma once

#include "NormalizeImage.h"
#include "RenderProtocol.h"

#include <functional>

// What a render worker does with one request. `onCount` hears first how many
// pages the source has, then `onPage` each page from `request.firstPart` on,
// as soon as it is written; either returning false stops the rest. A page is
// the source's own JPEG kept as it is (when the settings allow and
// KeepJpegAsIs takes it; such a JPEG has one page) or rendered by
// PicturePages; when only a white page is asked for, that is the one page.
// Page k goes to PartPagePath(request.destination, k) and beside it its
// notes (PageNotes.h): the source's path and, for a kept JPEG, where it goes.
// A page whose notes cannot be stored is removed again and reported as not
// prepared, as a page that could not be stored is.
void RenderPages(const RenderRequest& request, const std::function<bool(size_t count)>& onCount,
                 const std::function<bool(size_t part, const NormalizeResult& result)>& onPage);

// The first page the request asks for, alone, as RenderPages makes it.
NormalizeResult RenderPage(const RenderRequest& request);
