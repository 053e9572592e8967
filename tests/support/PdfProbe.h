#pragma once

#include <array>
#include <filesystem>
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

struct PdfProbe {
    bool opened = false;           // the file was read whole (with the password, if encrypted), no repair needed
    bool passwordRejected = false; // encrypted, and the password opened it neither as user nor as owner
    std::string error;             // why it did not open
    std::string version;           // "1.4"
    std::optional<PdfEncryption> encryption; // set when the file is encrypted and opened
    std::vector<PdfPage> pages;
    std::optional<PdfOpenAction> openAction;
};

// Reads `pdf`, trying `password` as the user or the owner password.
PdfProbe ProbePdf(const std::filesystem::path& pdf, const std::string& password = "");
