#pragma once

#include "KeptJpeg.h"
#include "PagePlacement.h"
#include "PageSetup.h"

#include <cstdint>

// Where a picture embedded as it is goes: a picture of width x height pixels
// as stored, with `resolution` along its stored axes, turned as EXIF
// `orientation` (1 to 8) says, lands exactly where the normalisation would
// draw it on the page picture LayOutPage measures for it on `page`. A place
// thinner than a pixel has width or height 0: such a sliver is left to the
// normalisation, which draws it one pixel wide.
KeptJpeg PlaceKeptPicture(int32_t width, int32_t height, int32_t orientation, PictureResolution resolution,
                          const PageSetup& page);
