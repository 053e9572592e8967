#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <vector>

// One directory of a TIFF written for a test.
struct TiffTestPage {
    int width = 0;
    int height = 0;
    std::array<uint8_t, 3> rgb{};
    uint32_t subfileType = 0; // e.g. FILETYPE_REDUCEDIMAGE (1) for a thumbnail
    bool corrupt = false;     // its compressed data is garbage
    float xDpi = 0;           // its resolution in pixels per inch; none when 0
    float yDpi = 0;
};

// A TIFF with one directory per entry, in order, RGB, deflate-compressed.
void WriteMultiPageTiff(const std::filesystem::path& path, const std::vector<TiffTestPage>& pages);
