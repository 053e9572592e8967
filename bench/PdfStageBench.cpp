// pdf_stage_bench PAGE.jpg PAGES WORK_FOLDER [WIDTHxHEIGHT]
//
// Times the PDF stage alone: PAGE.jpg (a prepared, page-sized JPEG) is copied
// to "0.jpg" .. "PAGES-1.jpg" in WORK_FOLDER, then the pages are put into one
// merged document and into one document each, and, kept as it is (the
// picture drawn into its place on each page, as --keep-jpeg does), into one
// merged document,
// plain and with printing forbidden (which encrypts every byte of every
// picture), and merged again with bookmarks, as PDF/A-1b, and with both
// (what those options add to a page). Each way is run three times and the fastest run (other work on
// the machine only ever adds time) is printed as
// "<way> <ms per page> <document MB>", one way a line. The preparation stage
// costs tens of milliseconds a page; this shows what the PDF stage adds.
#include "ConvertOptions.h"
#include "KeepJpeg.h"
#include "PdfAssembly.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kRuns = 3;

struct Timing {
    double msPerPage = 0;
    double documentMb = 0;
};

// The fastest of kRuns runs of `run`, which writes `pages` pages and returns
// the bytes it wrote (0 when it failed).
Timing FastestOf(int pages, const std::function<std::uintmax_t()>& run) {
    std::vector<Timing> runs;
    for (int i = 0; i < kRuns; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const std::uintmax_t bytes = run();
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        if (bytes == 0) {
            std::exit(1);
        }
        runs.push_back({took.count() / pages, static_cast<double>(bytes) / 1e6});
    }
    return *std::min_element(runs.begin(), runs.end(),
                             [](const Timing& a, const Timing& b) { return a.msPerPage < b.msPerPage; });
}

std::uintmax_t WrittenBytes(const PdfOutcome& outcome) {
    if (outcome.status != PdfOutcome::Status::Written) {
        std::fprintf(stderr, "pdf_stage_bench: %s\n", outcome.error.c_str());
        return 0;
    }
    return fs::file_size(outcome.document);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s PAGE.jpg PAGES WORK_FOLDER [WIDTHxHEIGHT]\n", argv[0]);
        return 2;
    }
    const fs::path page = argv[1];
    const int pages = std::atoi(argv[2]);
    const fs::path work = argv[3];
    ConvertOptions options;
    options.pageWidth = 1587;
    options.pageHeight = 2245;
    if (argc > 4 && std::sscanf(argv[4], "%dx%d", &options.pageWidth, &options.pageHeight) != 2) {
        std::fprintf(stderr, "pdf_stage_bench: the page size is WIDTHxHEIGHT\n");
        return 2;
    }
    if (pages < 1) {
        std::fprintf(stderr, "pdf_stage_bench: PAGES must be at least 1\n");
        return 2;
    }

    const fs::path jpegs = work / "pages";
    const fs::path merged = work / "merged";
    const fs::path separate = work / "separate";
    for (const fs::path& folder : {jpegs, merged, separate}) {
        fs::create_directories(folder);
    }
    for (int i = 0; i < pages; ++i) {
        fs::copy_file(page, jpegs / (std::to_string(i) + ".jpg"), fs::copy_options::overwrite_existing);
    }

    // The documents as the stage plans them, straight from the page files.
    auto write = [&](int first, int count, const fs::path& target) {
        DocumentPlan plan = PlanDocument({}, target, {}, DocumentSettingsFor(options));
        for (int i = first; i < first + count; ++i) {
            const fs::path file = jpegs / (std::to_string(i) + ".jpg");
            plan.pages.push_back({file, file, {}, {}, static_cast<size_t>(i)});
        }
        if (options.bookmarks == 1) {
            plan.outline = OutlineOf(plan.pages);
        }
        return WrittenBytes(WritePdfDocument(plan));
    };
    auto mergeAll = [&] { return write(0, pages, merged / kMergedDocumentName); };
    // The same picture kept as it is, one copy of it a page.
    std::vector<PagePlan> kept;
    for (int i = 0; i < pages; ++i) {
        const fs::path file = jpegs / ("kept-" + std::to_string(i) + ".jpg");
        const KeepJpegResult result = KeepJpegAsIs(page, file, PageSetupOf(options));
        if (!result.kept) {
            std::fprintf(stderr, "pdf_stage_bench: %s cannot be kept as it is\n", page.c_str());
            return 1;
        }
        kept.push_back({file, page, result.kept, {}});
    }
    auto mergeKept = [&] {
        DocumentPlan plan = PlanDocument({}, merged / "kept.pdf", {}, DocumentSettingsFor(options));
        plan.pages = kept;
        return WrittenBytes(WritePdfDocument(plan));
    };
    auto oneEach = [&] {
        std::uintmax_t bytes = 0;
        for (int i = 0; i < pages; ++i) {
            const std::string number = std::to_string(i);
            const std::uintmax_t written = write(i, 1, separate / (number + ".pdf"));
            if (written == 0) {
                return std::uintmax_t{0};
            }
            bytes += written;
        }
        return bytes;
    };

    for (const bool protect : {false, true}) {
        options.forbidPrint = protect ? 1 : 0;
        const char* suffix = protect ? "+forbid-print" : "";
        const Timing mergedTiming = FastestOf(pages, mergeAll);
        std::printf("merged%s %.3f %.1f\n", suffix, mergedTiming.msPerPage, mergedTiming.documentMb);
        const Timing keptTiming = FastestOf(pages, mergeKept);
        std::printf("merged-kept%s %.3f %.1f\n", suffix, keptTiming.msPerPage, keptTiming.documentMb);
        const Timing separateTiming = FastestOf(pages, oneEach);
        std::printf("separate%s %.3f %.1f\n", suffix, separateTiming.msPerPage, separateTiming.documentMb);
        std::fflush(stdout);
    }
    options.forbidPrint = 0;
    for (const auto& [name, bookmarks, pdfa] :
         {std::tuple{"merged+bookmarks", 1, PdfA::None}, std::tuple{"merged+pdfa-1b", 0, PdfA::A1b},
          std::tuple{"merged+pdfa-1b+bookmarks", 1, PdfA::A1b}}) {
        options.bookmarks = bookmarks;
        options.pdfa = pdfa;
        const Timing timing = FastestOf(pages, mergeAll);
        std::printf("%s %.3f %.1f\n", name, timing.msPerPage, timing.documentMb);
        std::fflush(stdout);
    }
    return 0;
}
