#pragma once

#include "NormalizeImage.h"
#include "RenderProtocol.h"

// What a render worker does with one request: the page of the source (kept
// as it is when the settings allow and KeepJpegAsIs takes it, otherwise
// rendered by NormalizeImage), or a white page when only that is asked, and
// beside it the page's notes (PageNotes.h): the source's path and, for a kept
// JPEG, where it goes. A page whose notes cannot be stored is removed again
// and reported as not prepared, as a page that could not be stored is.
NormalizeResult RenderPage(const RenderRequest& request);
