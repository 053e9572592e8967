#pragma once

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

// The settings of one conversion job, captured when the job starts.
// Flags count as on only when they hold 1. `usePassword` may be changed by the
// window while a job runs; the PDF stage reads it afresh for every document.
struct ConvertOptions {
    int32_t pageWidth = 0;  // pixels; also the page width in points
    int32_t pageHeight = 0; // pixels; also the page height in points
    std::filesystem::path outputFolder;
    int32_t mergeIntoOne = 1;
    int32_t forbidPrint = 0;
    std::atomic<int32_t> usePassword{0};
    std::u16string password; // the open password; kept when usePassword is cleared
    ListMode listMode = ListMode::Files;

    ConvertOptions() = default;
    ConvertOptions(const ConvertOptions& other) { *this = other; }
    ConvertOptions& operator=(const ConvertOptions& other);
};

// The ordered paths a job works on, top of the list first.
using SourceList = std::vector<std::filesystem::path>;
