#pragma once

#include <string>
#include <string_view>
#include <vips/vips8>

// True when `head` (the first bytes of a file) starts an enhanced metafile.
bool LooksLikeEmf(std::string_view head);

// An enhanced metafile drawn as a picture by our own metafile renderer: the
// records are checked before anything is drawn (a damaged file is refused
// before any record is read past its end), then drawn so that the frame fits
// inside fitWidth x fitHeight pixels, over white. `problem` says what could
// not be drawn ("drawn without 3 records it does not know"), empty when the
// whole picture was. Throws std::runtime_error with the reason when it cannot
// be drawn at all.
struct EmfDrawing {
    vips::VImage image;
    std::string problem;
};
EmfDrawing RenderEmf(std::string_view bytes, int fitWidth, int fitHeight);
