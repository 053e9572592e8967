#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The density of a JFIF segment.
struct JfifDensity {
    uint8_t unit = 0; // 0: the numbers give only the pixels' shape; 1: per inch; 2: per centimetre
    uint16_t x = 0;
    uint16_t y = 0;
};

// The layout of a JPEG file as its markers tell it, read up to the start of
// the first scan without decoding any picture data.
struct JpegLayout {
    uint8_t frameMarker = 0; // 0xC0 baseline, 0xC2 progressive, ... (the n of SOFn is its low nibble)
    int precision = 0;       // bits per sample
    int width = 0;
    int height = 0;
    std::vector<uint8_t> componentIds;
    std::optional<uint8_t> adobeTransform; // the Adobe segment's colour transform, when there is one
    std::optional<JfifDensity> jfif;       // the JFIF segment's density, when there is one
    // Every APP1 segment that holds EXIF data, as {offset, length} of the
    // whole segment (marker included).
    std::vector<std::pair<size_t, size_t>> exifSegments;
    size_t firstScan = 0; // where the first scan's marker begins
};

// Empty when `bytes` does not begin with a well-formed JPEG header: a start
// marker, then marker segments whose lengths stay inside the file, exactly one
// frame header, then a scan. Never reads outside `bytes`.
std::optional<JpegLayout> ReadJpegLayout(std::string_view bytes);

// True when the coded picture data after the header runs on to the end
// marker: each scan's data is followed by a marker, restart markers come in
// turn, and the file reaches its end marker. That is how a file cut short
// shows without decoding anything; damage inside the coded data does not show
// here. Never reads outside `bytes`.
bool ReachesEndOfImage(std::string_view bytes, const JpegLayout& layout);

// `bytes` without the segments listed in `layout.exifSegments`.
std::string WithoutExif(std::string_view bytes, const JpegLayout& layout);
