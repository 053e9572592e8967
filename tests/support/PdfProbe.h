#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

// What a test needs to know about a PDF we wrote, read back with libqpdf.

struct PdfImage {
    std::string name;                 // the key in the page's /XObject resources
    int width = 0;                    // /Width
    int height = 0;                   // /Height
    std::vector<std::string> filters; // /Filter, e.g. {"/DCTDecode"}
    std::string bytes;                // the stream as stored: decrypted, not decoded
};

struct PdfPage {
    std::array<double, 4> mediaBox{};
    std::vector<PdfImage> images;
    // The matrix of every "cm" in the page's content, in order: for our pages,
    // where and how each image is drawn.
    std::vector<std::array<double, 6>> matrices;
    std::vector<std::string> fontBaseNames; // /BaseFont of every /Font resource
};

struct PdfOpenAction {
    int pageIndex = -1;             // which page the destination shows; -1 when none
    std::string kind;               // "/XYZ", "/Fit", ...
    std::vector<double> parameters; // for /XYZ: left, top, zoom
};

struct PdfEncryption {
    int R = 0;
    int P = 0;
    int V = 0;
    int keyBits = 0;
    bool userPasswordMatched = false;
    bool ownerPasswordMatched = false;
    bool allowPrint = false;   // high-resolution printing
    bool allowModify = false;  // every kind of change
    bool allowExtract = false; // copying text and pictures
};

struct PdfOutlineEntry {
    std::string title;  // UTF-8
    int pageIndex = -1; // the page its destination shows
    std::vector<PdfOutlineEntry> children;
};

struct PdfProbe {
    bool opened = false;           // the file was read whole (with the password, if encrypted), no repair needed
    bool passwordRejected = false; // encrypted, and the password opened it neither as user nor as owner
    std::string error;             // why it did not open
    std::string version;           // "1.4"
    std::optional<PdfEncryption> encryption; // set when the file is encrypted and opened
    std::vector<PdfPage> pages;
    std::optional<PdfOpenAction> openAction;
    std::map<std::string, std::string> info; // the document information, as UTF-8 ("/Title", ...)
    std::vector<PdfOutlineEntry> outline;
    std::string metadata;                   // the catalog's XMP packet; empty when none
    std::vector<std::string> outputIntents; // the /S of each, with the size of its profile: "/GTS_PDFA1 3144"
    std::string trailerId;                  // the trailer's /ID as written, empty when none
};

// Reads `pdf`, trying `password` as the user or the owner password.
PdfProbe ProbePdf(const std::filesystem::path& pdf, const std::string& password = "");

// Renders page `page` (from 1) of `pdf` at `dpi` with pdftoppm into a PNG and
// returns its path (beside `pdf`), or empty when pdftoppm is not installed or
// failed; `why` then says which.
std::filesystem::path RenderPdfPage(const std::filesystem::path& pdf, int page, int dpi, std::string& why,
                                    const std::string& password = "");
// The colour in the middle of each page's picture, in page order.
std::vector<std::array<uint8_t, 3>> PageColours(const std::filesystem::path& pdf,
                                                const std::string& password = "");
