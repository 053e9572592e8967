#pragma once

// Seen by the files that include libqpdf's headers, which clang takes only as
// C++17 (libqpdf 11.3 holds a vector of a type not yet complete): this header
// and what it includes stay within C++17, and the build compiles those files
// as C++17 with every compiler, so nothing newer creeps in unnoticed.

#include "PdfProtection.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// A picture file as the document shows it: its bytes go in as they are, read
// from the file while the document is written. A JPEG file by default;
// otherwise an image stream made ready for the document.
struct QpdfImage {
    std::string file;
    std::string name; // how messages name it: the page picture, or the source it links to
    int width = 0;
    int height = 0;
    int components = 3; // 1 grey, 3 colour, 4 CMYK
    std::string filter = "/DCTDecode";
    std::string decodeParms; // the filter's parameters as a PDF dictionary; empty: none
    int bitsPerComponent = 8; // 0: the stream says (JPEG 2000), as it does its colours
    std::string palette;      // RGB triples: the values index an Indexed colour space
    // A file that is the source itself: the parts of it to leave out
    // ({offset, length}, in order), and the size and modification time it
    // had when it was checked, which it must still have.
    std::vector<std::pair<uint64_t, uint64_t>> leaveOut;
    bool mustBeUnchanged = false;
    uint64_t bytes = 0;
    int64_t modifiedNs = 0;
};

struct QpdfPage {
    double width = 0; // the sheet, in points
    double height = 0;
    std::array<double, 6> matrix{}; // draws the image's unit square
    QpdfImage image;
    std::string text; // the content of the page's invisible text layer; empty: none
};

// The parts of the text layer's font that depend on the document (TextLayerFont.h).
struct QpdfTextFont {
    std::string toUnicode;
    std::string glyphMap;
    std::string program; // empty: the font is not embedded
};

// An entry of the outline: the page it shows (from 0) and the entries under it.
struct QpdfBookmark {
    std::string title; // UTF-8
    size_t page = 0;
    std::vector<QpdfBookmark> children;
};

// What makes a document PDF/A: the version it declares, the metadata that
// repeats its information, and the colour profile its device colours mean.
struct QpdfArchival {
    std::string version;  // "1.4" for PDF/A-1, "1.7" for PDF/A-2
    std::string metadata; // the XMP packet
    std::string iccProfile;
    std::string modificationDate; // as creationDate; the metadata names the same moments
};

struct QpdfDocument {
    std::vector<QpdfPage> pages;
    std::optional<QpdfTextFont> textFont; // set when any page has text
    std::string title;                    // UTF-8, as the three below; empty ones are left out
    std::string author;
    std::string subject;
    std::string keywords;
    std::string producer;
    std::string creationDate; // as the format writes it: "D:20261209175525+01'00'"
    std::optional<DocumentProtection> protection;
    std::vector<QpdfBookmark> outline;
    // Set for PDF/A: then no unembedded font is referred to either.
    std::optional<QpdfArchival> archival;
    bool deterministicId = false; // the document ID follows from the content (unprotected documents)
};

// Writes `document` with libqpdf into `file` (created empty beforehand) in
// one pass: the objects are made first, from an empty document, and each
// picture's bytes are read from its file only when the writer reaches it, so
// no more than one picture is held at a time. Pages look as libharu's do: the
// same sheet, the same drawing, the CJK font resource selected, the open
// action at the last page, the same document information; RC4 (revision 3)
// or AES-256 (revision 6) with the passwords and permissions asked for.
// Empty on success, otherwise why it failed, naming `name`; a set `cancel`
// (looked at before each picture) fails it with "cancelled".
std::string WriteQpdfDocument(const QpdfDocument& document, const std::string& file, const std::string& name,
                              const std::atomic<bool>* cancel);
