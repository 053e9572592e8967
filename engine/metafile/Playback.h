#pragma once

#include "ByteReader.h"
#include "Canvas.h"

#include <cairo.h>
#include <set>
#include <string>

namespace metafile {

// What a playback could not draw, so that the user hears of it instead of
// getting a page that is silently incomplete.
struct PlaybackReport {
    int unknownRecords = 0; // record types it does not know
    int undrawnRecords = 0; // records it knows but could not draw (damaged, unsupported variant)
    std::set<uint32_t> unknownTypes;

    void Unknown(uint32_t type) {
        ++unknownRecords;
        unknownTypes.insert(type);
    }
    void Undrawn() { ++undrawnRecords; }
    // "drawn without 3 records it does not know", or empty when all was drawn.
    std::string Describe() const;
};

// Where records are drawn: the page, and how the reference device of the
// metafile (the pixels of the screen or printer it was made on) lands on it.
struct PlaybackTarget {
    Canvas& canvas;
    cairo_matrix_t deviceToOutput;
    double outputPerDevice = 1;      // the scale of deviceToOutput
    double pixelsPerMmX = 96 / 25.4; // of the reference device
    double pixelsPerMmY = 96 / 25.4;
    PlaybackReport& report;
};

cairo_matrix_t Identity();
Point Apply(const cairo_matrix_t& m, Point p);
// The factor by which `m` scales areas' sides on average: sqrt(|det|).
double ScaleOf(const cairo_matrix_t& m);
// first, then second.
cairo_matrix_t Then(const cairo_matrix_t& first, const cairo_matrix_t& second);
// A transform as metafiles store it: six floats, m11 m12 m21 m22 dx dy. False
// (and `m` unusable) when the record is short or a number is not finite.
bool ReadMatrix(ByteReader& in, cairo_matrix_t& m);

} // namespace metafile
