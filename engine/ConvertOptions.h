#pragma once

#include "PageSetup.h"

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

// How the pictures taken from a folder are ordered.
enum class FolderOrder : int32_t {
    Standard,  // the add-folder scan oldest first; a folder-mode group as its folder lists it (by name)
    WriteTime, // oldest first; equal times by name
    Name,      // natural name order ("img2" before "img10")
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

    // The page beyond its size in pixels; the defaults keep the Custom size.
    PaperSize paper = PaperSize::Custom;
    int32_t dpi = kDefaultDpi;
    PageOrientation orientation = PageOrientation::AsSized;
    double margin = 0; // millimetres for presets, pixels for Custom
    PictureFit fit = PictureFit::Fit;
    FolderOrder folderOrder = FolderOrder::Standard; // the pictures of each folder-mode group

    ConvertOptions() = default;
    ConvertOptions(const ConvertOptions& other) { *this = other; }
    ConvertOptions& operator=(const ConvertOptions& other);
};

// The page settings of a job, as the preparation and the PDF stage take them.
PageSetup PageSetupOf(const ConvertOptions& options);

// The ordered paths a job works on, top of the list first.
using SourceList = std::vector<std::filesystem::path>;
