#pragma once

#include <functional>
#include <string>

// Scans cleaned as a scanner's own software cleans them: what a job asks
// for, and what was done to each page. Every step is off unless asked for,
// so a job without them makes the pages it always made.

struct ScanCleaning {
    bool deskew = false;     // pages of text lines straightened, up to kMaxSkewDegrees
    bool autoRotate = false; // pages turned upright by their text's orientation
    bool skipBlank = false;  // blank pages left out of the documents
    bool bilevel = false;    // pages stored in black and white
    bool Any() const { return deskew || autoRotate || skipBlank || bilevel; }
    bool operator==(const ScanCleaning&) const = default;
};

// What cleaning did to one page; all zero when it left the page as it was.
struct ScanDecisions {
    double straightenedBy = 0; // degrees the picture was turned to straighten it, clockwise
    int turnedBy = 0;          // degrees it was turned upright, clockwise: 0, 90, 180 or 270
    bool blank = false;        // it was blank: it has no page and is left out
    bool operator==(const ScanDecisions&) const = default;
};

// What was done, in a short English phrase for logs and the command line:
// "blank, left out", "turned upright by 180°, straightened by 2.40°".
std::string DescribeScanDecisions(const ScanDecisions& decided);

struct _VipsImage;

// How the pictures of a job are cleaned. Which way up text stands is known
// to text recognition, a layer above the decoders, so it is handed in:
// `uprightTurn` gives the degrees clockwise (0, 90, 180, 270) that turn an
// 8-bit grey picture upright, 0 when it cannot tell with confidence.
struct ScanCleaner {
    ScanCleaning cleaning;
    std::function<int(_VipsImage* grey)> uprightTurn;
};
