// keep_jpeg_bench WORK_FOLDER JPEG...
//
// What keeping JPEGs as they are costs, per picture, on the calling thread:
//   check   the check that the picture is whole (its markers, to the end marker)
//   keep    the whole decision: read, markers, check, orientation, copy without EXIF
//   render  the normalisation at the default page (1587 x 2245, quality 75), for comparison
//   pdf     the merged document of the kept pages (each picture copied once from
//           its file into the document), per page
// Each line: "<step> <ms per picture>"; the fastest of three runs.
#include "JpegMarkers.h"
#include "KeepJpeg.h"
#include "NormalizeImage.h"
#include "ConvertOptions.h"
#include "PdfAssembly.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 1587;
constexpr int kHeight = 2245;

double FastestMs(const std::function<void()>& run) {
    double best = 1e300;
    for (int i = 0; i < 3; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: keep_jpeg_bench WORK_FOLDER JPEG...\n");
        return 2;
    }
    const fs::path work = argv[1];
    std::vector<fs::path> sources(argv + 2, argv + argc);
    const double pictures = static_cast<double>(sources.size());
    fs::create_directories(work);

    std::vector<std::string> contents;
    for (const auto& source : sources) {
        contents.push_back(ReadBytes(source));
    }
    int clean = 0;
    const double check = FastestMs([&] {
        clean = 0;
        for (const auto& bytes : contents) {
            const std::optional<JpegLayout> layout = ReadJpegLayout(bytes);
            clean += layout && ReachesEndOfImage(bytes, *layout) ? 1 : 0;
        }
    });
    PageSetup setup;
    setup.pageWidth = kWidth;
    setup.pageHeight = kHeight;
    std::vector<PagePlan> pages;
    const double keep = FastestMs([&] {
        pages.clear();
        for (size_t n = 0; n < sources.size(); ++n) {
            const fs::path page = work / (std::to_string(n) + ".jpg");
            const KeepJpegResult result = KeepJpegAsIs(sources[n], page, setup);
            if (result.kept) {
                pages.push_back({page, sources[n], result.kept, {}});
            }
        }
    });
    const double render = FastestMs([&] {
        for (size_t n = 0; n < sources.size(); ++n) {
            NormalizeImage(kWidth, kHeight, sources[n], work / ("r" + std::to_string(n) + ".jpg"));
        }
    });
    ConvertOptions options;
    options.pageWidth = kWidth;
    options.pageHeight = kHeight;
    DocumentPlan plan = PlanDocument({}, work / "kept.pdf", "kept", DocumentSettingsFor(options));
    plan.pages = pages;
    const double pdf = FastestMs([&] { WritePdfDocument(plan); });
    std::printf("check %.1f\nkeep %.1f\nrender %.1f\npdf %.1f\n", check / pictures, keep / pictures,
                render / pictures, pages.empty() ? 0.0 : pdf / pages.size());
    std::fprintf(stderr, "keep_jpeg_bench: of %zu pictures %d are whole, %zu kept\n", sources.size(), clean,
                 pages.size());
    return 0;
}
