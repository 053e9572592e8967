#pragma once

#include "ConvertOptions.h"
#include "PreparedPages.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The name of a merged document.
inline constexpr const char* kMergedDocumentName = "result.pdf";

// The permissions (owner) password of every protected document.
inline constexpr const char* kPermissionsPassword = "kelpo";

// What became of one document.
struct PdfOutcome {
    enum class Status { Written, NothingToDo, Failed, Cancelled };
    Status status = Status::NothingToDo;
    std::filesystem::path document; // the final path (set for Written and Failed)
    std::string error;              // why it failed, in words for the user
    int pages = 0;
};

// Puts every "*.jpg" of `jpegFolder` one per page into `pdfFolder`/"result.pdf".
// Pages follow the number in each prepared file's name (0.jpg, 1.jpg, ... 10.jpg),
// which is the picture's place in the list. Nothing is written when the folder
// holds no JPEG (NothingToDo). The document is written under a temporary name
// in `pdfFolder` and renamed when complete, so a failure or an interrupted job
// never leaves a truncated "result.pdf"; on any library error nothing is saved.
// The file reaches the disk before it takes its final name, so a power cut
// never leaves an empty document under that name.
PdfOutcome MergeFolderToPdf(const std::filesystem::path& jpegFolder, const std::filesystem::path& pdfFolder,
                            const ConvertOptions& options);

// The same for pages already listed, into `pdfFolder`/`documentName`.
// `cancel`, when given, is looked at between pages: a set flag ends the
// document unwritten (Cancelled).
PdfOutcome MergePagesToPdf(const std::vector<PreparedPage>& pages, const std::filesystem::path& pdfFolder,
                           const std::string& documentName, const ConvertOptions& options,
                           const std::atomic<bool>* cancel = nullptr);

// Puts one JPEG file onto the single page of `pdfPath`, written the same way.
PdfOutcome JpegToPdf(const std::filesystem::path& jpegPath, const std::filesystem::path& pdfPath,
                     const ConvertOptions& options);

// The error handler handed to libharu: writes
// "ERROR: error_no=%04X, detail_no=%u\n" to the diagnostics stream and records
// the error in the document's record that `user_data` points to.
void OnPdfError(unsigned long error_no, unsigned long detail_no, void* user_data);

// Where the diagnostic lines go: standard error unless a caller (a test)
// chooses otherwise. Standard output belongs to the front ends' results.
void SetPdfDiagnosticsStream(std::FILE* stream);
