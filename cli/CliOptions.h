#pragma once

#include "ConvertOptions.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// What the user asked for on the command line, checked but not yet run.
struct CliRequest {
    std::vector<std::filesystem::path> sources;
    std::filesystem::path saveFolder;
    int pageWidth = 1587;
    int pageHeight = 2245;
    PaperSize paper = PaperSize::Custom;
    int dpi = kDefaultDpi;
    PageOrientation orientation = PageOrientation::AsSized;
    double margin = 0; // millimetres with a paper size, pixels with --size
    PictureFit fit = PictureFit::Fit;
    FolderOrder order = FolderOrder::Standard;
    bool separate = false;
    bool forbidPrint = false;
    bool folders = false;
    std::optional<std::u16string> password;
    std::string ocrLanguages; // empty: no text recognition
    int jobs = 0;
    bool json = false;
    bool quiet = false;
    int quality = 75;
    bool keepJpeg = false;
    bool lossless = false;
    bool aes256 = false;
    bool namesBySource = false;
    std::filesystem::path outputFile; // empty: documents go into a time-stamped folder
    bool force = false;
    DocumentProperties properties; // UTF-8; empty fields are left out
    bool bookmarks = false;
    PdfA pdfa = PdfA::None;
    ScanCleaning cleaning;
};

// The outcome of reading the command line: a request to run, or an exit code
// with the text to print (help and the version on standard output, errors on
// standard error, or as JSON on standard output when `json` was asked for).
struct CliParse {
    std::optional<CliRequest> request;
    int exitCode = 0;
    std::string message;
    bool json = false;
};

inline constexpr int kExitAllConverted = 0;
inline constexpr int kExitSomeFailed = 1;
inline constexpr int kExitBadUsage = 2;
inline constexpr int kExitCancelled = 130;

CliParse ParseCommandLine(int argc, char** argv);

// Prints a usage error as the caller asked for it: a line on standard error,
// or with --json one JSON object with an "error" field on standard output, so
// that scripts never have to read two formats. Returns kExitBadUsage.
int ReportUsageError(const std::string& message, bool json);
