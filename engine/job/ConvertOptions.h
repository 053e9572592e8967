#pragma once

#include "DocumentProperties.h"
#include "FolderOrder.h"
#include "JpegQuality.h"
#include "PageSetup.h"
#include "PdfProtection.h"
#include "ScanCleaning.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// What the source list of a job holds.
enum class ListMode : int32_t {
    Files = 0,   // every entry is a picture file
    Folders = 1, // every entry is a folder whose pictures form a group (traverse mode)
};

// How the documents of one picture each are named.
enum class DocumentNames : int32_t {
    Numbered = 0, // "0.pdf", "1.pdf", ...: the picture's place in its list
    BySource = 1, // after the picture: "IMG_0001.pdf", a second one "IMG_0001 (2).pdf"
};

// The settings of one conversion job, captured when the job starts.
// Flags count as on only when they hold 1. `usePassword` may be changed by the
// window while a job runs; the PDF stage reads it afresh for every document.
struct ConvertOptions {
    int32_t pageWidth = 0;  // pixels of a Custom page; also its width in points
    int32_t pageHeight = 0; // pixels of a Custom page; also its height in points
    std::filesystem::path outputFolder;
    int32_t mergeIntoOne = 1;
    int32_t forbidPrint = 0;
    std::atomic<int32_t> usePassword{0};
    std::u16string password; // the open password; kept when usePassword is cleared
    ListMode listMode = ListMode::Files;
    // Languages to recognise the text of every page in, for an invisible
    // layer that makes the documents searchable: Tesseract's list, such as
    // "chi_sim+eng". Empty (the default): no recognition, no text layer.
    std::string ocrLanguages;

    // The page beyond its size in pixels; the defaults keep the Custom size.
    PaperSize paper = PaperSize::Custom;
    int32_t dpi = kDefaultDpi;
    PageOrientation orientation = PageOrientation::AsSized;
    double margin = 0; // millimetres for presets, pixels for Custom
    PictureFit fit = PictureFit::Fit;
    FolderOrder folderOrder = FolderOrder::Standard; // the pictures of each folder-mode group
    // Additions to the window's settings; their defaults keep its behaviour.
    int32_t jpegQuality = kDefaultJpegQuality; // 1 to 100, for every page that is rendered
    int32_t keepJpeg = 0; // a JPEG the PDF can show as it is goes in byte for byte
    // Every page shows the picture's own pixels (its own data where the PDF
    // can show it, else losslessly compressed), never resampled; pictures
    // that are lossy already become JPEGs of their own size, and metafiles,
    // which have no pixels, go in as vectors.
    int32_t lossless = 0;
    Encryption encryption = Encryption::Rc4;
    DocumentNames documentNames = DocumentNames::Numbered;
    // When set, the one merged document goes exactly here and no time-stamped
    // folder is made; an existing file is replaced only when
    // `replaceOutputFile` is 1.
    std::filesystem::path outputFile;
    int32_t replaceOutputFile = 0;
    DocumentProperties properties;
    // An outline entry per picture in every merged document.
    int32_t bookmarks = 0;
    PdfA pdfa = PdfA::None;
    // Scans cleaned as a scanner's own software does; each off by default.
    int32_t deskew = 0;     // pages of text lines straightened
    int32_t autoRotate = 0; // pages turned upright by their text (needs Tesseract's orientation data)
    int32_t skipBlank = 0;  // blank pages left out of the documents
    int32_t bilevel = 0;    // pages stored in black and white

    ConvertOptions() = default;
    ConvertOptions(const ConvertOptions& other) { *this = other; }
    ConvertOptions& operator=(const ConvertOptions& other);
};

// The page settings of a job, as the preparation and the PDF stage take them.
PageSetup PageSetupOf(const ConvertOptions& options);

// The cleaning of scans the options ask for.
ScanCleaning ScanCleaningOf(const ConvertOptions& options);

struct DocumentSettings;
// How a document begun now is written (DocumentPlan.h): the page settings and
// the protection the options ask for at this moment.
DocumentSettings DocumentSettingsFor(const ConvertOptions& options);

// The ordered paths a job works on, top of the list first.
using SourceList = std::vector<std::filesystem::path>;
