#pragma once

#include "PageSetup.h"
#include "PdfProtection.h"
#include "PreparedPages.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

// The name of a merged document.
inline constexpr const char* kMergedDocumentName = "result.pdf";

// What became of one document.
struct PdfOutcome {
    enum class Status { Written, NothingToDo, Failed, Cancelled };
    Status status = Status::NothingToDo;
    std::filesystem::path document; // the final path (set for Written and Failed)
    std::string error;              // why it failed, in words for the user
    int pages = 0;
};

// One document to write: its pages in order, where it goes and its title.
struct DocumentPlan {
    std::vector<PageFile> pages;
    std::filesystem::path target;
    std::string title;           // what viewers and file managers show; empty: the file's own name
    bool replaceExisting = true; // false: a file already at `target` fails the document
};

// How every document of a job is written, decided once per document from the
// options as they stand when it is begun: the window may change the password
// choice meanwhile, and one document must not mix two settings.
struct DocumentSettings {
    PageSetup page;
    std::optional<DocumentProtection> protection;
    std::string protectionError; // why the protection cannot be applied; the document then fails
};

// Writes the pages of `plan`, one per page, into `plan.target`. A page is
// shown as its side file says (PageNotes.h): a kept JPEG where the notes place
// it, any other page over the whole page, one pixel per point. The document
// carries the producer, its creation time and the title. It is written under
// a temporary name and renamed when complete (PdfSaving.h), so a failure or an
// interrupted job never leaves a truncated document; on any library error
// nothing is saved. `cancel`, when given, is looked at between pages: a set
// flag ends the document unwritten (Cancelled). No pages: NothingToDo.
PdfOutcome WritePdfDocument(const DocumentPlan& plan, const DocumentSettings& settings,
                            const std::atomic<bool>* cancel = nullptr);

// Puts every "*.jpg" of `jpegFolder` one per page into `pdfFolder`/"result.pdf".
// Pages follow the number in each prepared file's name (0.jpg, 1.jpg, ... 10.jpg),
// which is the picture's place in the list. Nothing is written when the folder
// holds no JPEG (NothingToDo).
PdfOutcome MergeFolderToPdf(const std::filesystem::path& jpegFolder, const std::filesystem::path& pdfFolder,
                            const DocumentSettings& settings);

// Puts one JPEG file onto the single page of `pdfPath`, written the same way.
PdfOutcome JpegToPdf(const std::filesystem::path& jpegPath, const std::filesystem::path& pdfPath,
                     const DocumentSettings& settings);

// The producer every document names: "Quillmark" and the version.
std::string ProducerName();
