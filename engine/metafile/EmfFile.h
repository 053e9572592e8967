#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace metafile {

struct IntRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// One record: its type and all of its bytes (type and size words included).
struct EmfRecord {
    uint32_t type = 0;
    std::string_view bytes;
};

// What the header record says about the picture, and the records that follow.
struct EmfFile {
    IntRect bounds;          // inclusive, in reference-device pixels
    IntRect frame;           // inclusive, in 0.01 mm
    double pixelsPerMmX = 0; // of the reference device
    double pixelsPerMmY = 0;
    bool hasEmfPlus = false;        // some comment record carries EMF+ records
    std::vector<EmfRecord> records; // from the header to the end-of-file record
};

// Splits a metafile into its records. Every record size is checked against
// the bytes there are before anything is read, so no later stage can be led
// past the end. Throws std::runtime_error in words a user understands for a
// file that is not a metafile, is truncated or has an impossible record.
EmfFile ReadEmfFile(std::string_view bytes);

// True when `head` (the first bytes of a file) starts an enhanced metafile.
bool IsEmfSignature(std::string_view head);

// The frame as a rectangle in reference-device pixels: the area of the
// drawing that the picture shows. A frame without area falls back to the
// bounds. Throws std::runtime_error for an empty or absurd frame.
struct DeviceFrame {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
    // The frame's proportions as printed: reference devices may have pixels
    // that are not square, and the picture keeps the shape the frame gives it.
    double shownWidth = 0;
    double shownHeight = 0;
};
DeviceFrame FrameInDevicePixels(const EmfFile& file);

} // namespace metafile
