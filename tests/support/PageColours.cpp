#include "PdfProbe.h"
#include "Pictures.h"
#include "TempDir.h"

#include <fstream>
#include <gtest/gtest.h>

std::vector<std::array<uint8_t, 3>> PageColours(const std::filesystem::path& pdf,
                                                const std::string& password) {
    const PdfProbe probe = ProbePdf(pdf, password);
    EXPECT_TRUE(probe.opened) << pdf << ": " << probe.error;
    std::vector<std::array<uint8_t, 3>> colours;
    TempDir scratch;
    for (const auto& page : probe.pages) {
        EXPECT_EQ(page.images.size(), 1u);
        if (page.images.empty()) {
            continue;
        }
        std::ofstream(scratch / "page.jpg", std::ios::binary) << page.images[0].bytes;
        colours.push_back(
            ReadPixel(scratch / "page.jpg", page.images[0].width / 2, page.images[0].height / 2));
    }
    return colours;
}
