// metafile_bench FOLDER [WIDTHxHEIGHT]
//
// Times the metafile renderer alone: every .emf in FOLDER is drawn to fit a
// page (1587x2245 unless given), three times, and the fastest run is printed
// as "<file> <ms> <width>x<height>", one file a line, then the total. Other
// work on the machine only ever adds time, hence the fastest run.
#include "EmfPicture.h"
#include "VipsRuntime.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: metafile_bench FOLDER [WIDTHxHEIGHT]\n");
        return 2;
    }
    int width = 1587, height = 2245;
    if (argc > 2 && std::sscanf(argv[2], "%dx%d", &width, &height) != 2) {
        std::fprintf(stderr, "metafile_bench: the page size is WIDTHxHEIGHT\n");
        return 2;
    }
    EnsureVipsStarted();
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(argv[1])) {
        if (entry.path().extension() == ".emf") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    double total = 0;
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        const std::string metafile = bytes.str();
        double fastest = 1e30;
        int drawnWidth = 0, drawnHeight = 0;
        for (int run = 0; run < 3; ++run) {
            const auto start = std::chrono::steady_clock::now();
            try {
                const EmfDrawing drawn = RenderEmf(metafile, width, height);
                drawnWidth = drawn.image.width();
                drawnHeight = drawn.image.height();
            } catch (const std::exception&) {
                TakeVipsError();
            }
            const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
            fastest = std::min(fastest, took.count());
        }
        total += fastest;
        std::printf("%s %.1f %dx%d\n", file.filename().c_str(), fastest, drawnWidth, drawnHeight);
    }
    std::printf("total %.1f\n", total);
    return 0;
}
