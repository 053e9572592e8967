#pragma once

#include <cstdint>

// How the pictures taken from a folder are ordered.
enum class FolderOrder : int32_t {
    Standard,  // the add-folder scan oldest first; a folder-mode group as its folder lists it (by name)
    WriteTime, // oldest first; equal times by name
    Name,      // natural name order ("img2" before "img10")
};
