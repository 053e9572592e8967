#pragma once

#include "DocumentPlan.h"

#include <atomic>
#include <filesystem>
#include <string>

// What became of one document.
struct PdfOutcome {
    enum class Status { Written, NothingToDo, Failed, Cancelled };
    Status status = Status::NothingToDo;
    std::filesystem::path document; // the final path (set for Written and Failed)
    std::string error;              // why it failed, in words for the user
    int pages = 0;
};

// Writes `plan` into `plan.target`, once, with the writer it needs
// (WriterFor): a page picture over its page, one pixel per point on a Custom
// page; a kept JPEG into the place it has on the page picture it stands in
// for, turned as its EXIF orientation says; the page's recognised text, if
// any, invisibly over the page picture. The document carries the producer,
// its creation time and the title. It is written under a temporary name and
// renamed when complete (PdfSaving.h), so a failure or an interrupted job
// never leaves a truncated document; on any error nothing is saved.
// `cancel`, when given, is looked at between pages: a set flag ends the
// document unwritten (Cancelled). No pages: NothingToDo.
PdfOutcome WritePdfDocument(const DocumentPlan& plan, const std::atomic<bool>* cancel = nullptr);
