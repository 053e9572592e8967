// ocr_bench WORK_FOLDER [PAGES]
//
// What searchable documents cost: PAGES (default 8) pictures of printed pages
// (A4 scanned at 200 dots per inch, English and Chinese paragraphs in 11
// point type) are converted into one merged document three times, as
// quillmark-cli does with two workers: without text recognition, with
// `--ocr eng` and with `--ocr chi_sim+eng`. Prints, for each, the seconds per
// page, the seconds recognition adds per page, and the bytes the text layer
// adds to the document per page.
#include "Conversion.h"
#include "OcrLanguages.h"

#include <vips/vips8>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace fs = std::filesystem;
using vips::VImage;

namespace {

constexpr int kWorkers = 2;

const char* const kEnglish =
    "Most pictures people turn into PDF documents are scans and photos of pages. A document whose "
    "text can be searched, selected and copied is worth far more than a stack of images. The "
    "quick brown fox jumps over the lazy dog, and the five boxing wizards jump quickly. ";
const char* const kChinese =
    "大多数人转换成文档的图片都是页面的扫描件和照片。可以搜索、选择和复制文字的文档，比一叠图片"
    "有用得多。今天是二零二四年三月五日，会议在北京举行，与会者讨论了文件管理的新方法。";

// A page of printed text, as a scanner at 200 dots per inch sees an A4 sheet.
void WritePrintedPage(const fs::path& path, int number) {
    std::string text;
    for (int paragraph = 0; paragraph < 6; ++paragraph) {
        text += (paragraph + number) % 2 == 0 ? kEnglish : kChinese;
        text += (paragraph + number) % 2 == 0 ? kEnglish : kChinese;
        text += "\n\n";
    }
    constexpr int kWidth = 1654, kHeight = 2339, kMargin = 160;
    const VImage ink = VImage::text(text.c_str(), VImage::option()
                                                      ->set("font", "WenQuanYi Micro Hei 11")
                                                      ->set("dpi", 200)
                                                      ->set("width", kWidth - 2 * kMargin));
    (255 - ink.crop(0, 0, ink.width(), std::min(ink.height(), kHeight - 2 * kMargin)))
        .embed(kMargin, kMargin, kWidth, kHeight, VImage::option()->set("extend", VIPS_EXTEND_WHITE))
        .cast(VIPS_FORMAT_UCHAR)
        .write_to_file(path.c_str());
}

struct Run {
    double seconds = 0;
    double cpuSeconds = 0; // of the decoder workers, where recognition runs
    std::uintmax_t bytes = 0;
};

double ChildCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

Run Convert(const std::vector<fs::path>& pages, const fs::path& save, const std::string& languages) {
    fs::remove_all(save);
    fs::create_directories(save);
    JobState job;
    job.options.pageWidth = 1587;
    job.options.pageHeight = 2245;
    job.options.ocrLanguages = languages;
    job.sourceList = pages;
    job.workers = kWorkers;
    const auto start = std::chrono::steady_clock::now();
    const double cpuBefore = ChildCpuSeconds();
    if (!RunJob(job, save, std::time(nullptr), {}) || !job.report.AllWell()) {
        std::fprintf(stderr, "ocr_bench: the job with \"%s\" failed: %s\n", languages.c_str(),
                     job.report.jobError.c_str());
        std::exit(1);
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return {took.count(), ChildCpuSeconds() - cpuBefore, fs::file_size(job.report.documentsWritten.at(0))};
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || VIPS_INIT(argv[0]) != 0) {
        std::fprintf(stderr, "usage: ocr_bench WORK_FOLDER [PAGES]\n");
        return 2;
    }
    const fs::path work = argv[1];
    const int count = argc > 2 ? std::atoi(argv[2]) : 8;
    fs::create_directories(work / "pages");
    std::vector<fs::path> pages;
    for (int n = 0; n < count; ++n) {
        pages.push_back(work / "pages" / (std::to_string(n) + ".png"));
        WritePrintedPage(pages.back(), n);
    }
    const Run plain = Convert(pages, work / "save", "");
    std::printf("%-12s %8s %10s %14s %12s %10s\n", "", "wall s/p", "worker CPU", "recognition", "bytes/page",
                "the layer");
    std::printf("%-12s %8.2f %10.2f %14s %12.0f %10s\n", "no text", plain.seconds / count,
                plain.cpuSeconds / count, "-", static_cast<double>(plain.bytes) / count, "-");
    for (const std::string languages : {"eng", "chi_sim+eng"}) {
        if (CheckOcrLanguages(languages)) {
            std::printf("%-12s not installed\n", languages.c_str());
            continue;
        }
        const Run searchable = Convert(pages, work / "save", languages);
        std::printf("%-12s %8.2f %10.2f %12.2f s %12.0f %10.0f\n", languages.c_str(),
                    searchable.seconds / count, searchable.cpuSeconds / count,
                    (searchable.cpuSeconds - plain.cpuSeconds) / count,
                    static_cast<double>(searchable.bytes) / count,
                    (static_cast<double>(searchable.bytes) - static_cast<double>(plain.bytes)) / count);
    }
    std::printf(
        "(wall s/p: seconds per page with %d workers; worker CPU and recognition: CPU seconds per page\n"
        " of the decoder workers, all and for recognition alone; the layer: bytes it adds per page)\n",
        kWorkers);
    fs::remove_all(work);
    return 0;
}
