// Whatever a user's folders hold, each file ends as a page and a line in the
// report, in bounded time: never a crash, a hang or a lost job.
#include "Conversion.h"
#include "FolderTree.h"
#include "MultiPageTiff.h"
#include "PrepareImages.h"
#include "StageTestSupport.h"
#include "TempDir.h"

#include <chrono>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <iostream>
#include <map>
#include <vips/vips8>
#include <zlib.h>

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

std::string BigEndian32(uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}

std::string PngChunk(const std::string& type, const std::string& data) {
    const std::string body = type + data;
    const uint32_t crc =
        crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
    return BigEndian32(static_cast<uint32_t>(data.size())) + body + BigEndian32(crc);
}

// A PNG of width x height grey pixels; with `rows` the image data holds that
// many all-black rows, deflated (a decompression bomb: tiny file, huge image).
std::string Png(uint32_t width, uint32_t height, uint32_t rows) {
    std::string header = BigEndian32(width) + BigEndian32(height) + std::string("\x08\x00\x00\x00\x00", 5);
    std::string compressed;
    z_stream z{};
    deflateInit(&z, 9);
    const std::string row(width + 1, '\0');
    std::string buffer(1 << 16, '\0');
    for (uint32_t r = 0; r <= rows; ++r) {
        const bool last = r == rows;
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(row.data()));
        z.avail_in = last ? 0 : static_cast<uInt>(row.size());
        do {
            z.next_out = reinterpret_cast<Bytef*>(buffer.data());
            z.avail_out = static_cast<uInt>(buffer.size());
            deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
            compressed.append(buffer.data(), buffer.size() - z.avail_out);
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    return std::string("\x89PNG\r\n\x1a\n", 8) + PngChunk("IHDR", header) + PngChunk("IDAT", compressed) +
           PngChunk("IEND", "");
}

std::string Le32(uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
            static_cast<char>(v >> 24)};
}

// An EMF header record followed by `records`, with the header's byte and record
// counts set from the arguments (they may lie).
std::string Emf(const std::string& records, uint32_t declaredBytes, uint32_t declaredRecords) {
    std::string header = Le32(1) + Le32(88);
    header += Le32(0) + Le32(0) + Le32(100) + Le32(100);   // bounds
    header += Le32(0) + Le32(0) + Le32(2000) + Le32(2000); // frame, 0.01 mm
    header += Le32(0x464D4520) + Le32(0x10000) + Le32(declaredBytes) + Le32(declaredRecords);
    header += std::string(2, '\0') + std::string(2, '\0') + Le32(0) + Le32(0) + Le32(0);
    header += Le32(1920) + Le32(1080) + Le32(508) + Le32(286);
    return header + records;
}

std::string EmfEof() {
    return Le32(14) + Le32(20) + Le32(0) + Le32(16) + Le32(20);
}

// `bytes` with `size` bytes at `at` replaced by `replacement`.
std::string Patched(std::string bytes, size_t at, const std::string& replacement) {
    return at + replacement.size() <= bytes.size() ? bytes.replace(at, replacement.size(), replacement)
                                                   : bytes;
}

// The pictures of the newer kinds that this machine's libvips can write, made
// from a real photo, by extension.
std::map<std::string, std::string> NewKindSamples(const fs::path& folder) {
    std::map<std::string, std::string> samples;
    for (const char* kind : {"heic", "avif", "webp", "jxl", "jp2"}) {
        const fs::path file = folder / (std::string("sample.") + kind);
        try {
            ReencodePicture(Corpus() / "jpeg" / "flower.jpg", file);
            samples[kind] = ReadAll(file);
        } catch (const vips::VError& error) {
            std::cout << "no " << kind << " samples: " << error.what() << "\n";
        }
        fs::remove(file);
    }
    return samples;
}

struct Hostile {
    std::string name;
    bool mustBeReported;
};

} // namespace

TEST(HostileInput, EveryFileEndsAsAPageAndAReportLine) {
    TempDir dir;
    const fs::path in = dir / "in";
    fs::create_directory(in);
    std::vector<Hostile> set;
    auto add = [&](const std::string& name, const std::string& bytes, bool reported = true) {
        WriteAll(in / name, bytes);
        set.push_back({name, reported});
    };

    for (const char* ext : {"jpg", "png", "tif", "gif", "bmp", "emf"}) {
        add(std::string("zero.") + ext, "");
    }
    const std::vector<std::pair<std::string, fs::path>> originals = {
        {"jpg", Corpus() / "jpeg" / "flower.jpg"},     {"png", Corpus() / "png" / "basi6a08.png"},
        {"tif", Corpus() / "tiff" / "hopper_lzw.tif"}, {"gif", Corpus() / "gif" / "hopper.gif"},
        {"bmp", Corpus() / "bmp" / "rgb24.bmp"},       {"emf", Corpus() / "emf" / "test-142.emf"},
    };
    for (const auto& [ext, original] : originals) {
        const std::string bytes = ReadAll(original);
        for (size_t cut : {size_t{12}, bytes.size() / 10, bytes.size() / 2, bytes.size() * 9 / 10}) {
            // Cut files may still hold a whole picture (a GIF without its trailer):
            // they must give a page, a report line only when something is missing.
            add("cut-" + std::to_string(cut) + "." + ext, bytes.substr(0, cut), false);
        }
    }
    // The newer kinds: cut, and with headers that lie about the picture.
    for (const auto& [ext, bytes] : NewKindSamples(dir.path())) {
        add("whole." + ext, bytes, false);
        for (size_t cut : {size_t{12}, bytes.size() / 10, bytes.size() / 2, bytes.size() * 9 / 10}) {
            add("cut-" + std::to_string(cut) + "." + ext, bytes.substr(0, cut));
        }
        add("text." + ext, "Not a picture at all, whatever its name says.\n");
        if (ext == "heic" || ext == "avif") {
            // The stored size claims 100000 x 100000 pixels.
            add("huge-ispe." + ext,
                Patched(bytes, bytes.find("ispe") + 8, BigEndian32(100000) + BigEndian32(100000)));
        } else if (ext == "jp2") {
            // The codestream's size claims 60000 x 60000 pixels.
            add("huge-siz.jp2",
                Patched(bytes, bytes.find("\xFF\x51") + 6, BigEndian32(60000) + BigEndian32(60000)));
        } else if (ext == "webp") {
            // The frame claims 16383 x 16383 pixels and holds a few thousand bytes.
            add("huge-frame.webp",
                Patched(bytes, bytes.find("\x9D\x01\x2A") + 3, std::string("\xFF\x3F\xFF\x3F", 4)));
        } else if (ext == "jxl") {
            add("garbage-after-signature.jxl", bytes.substr(0, 2) + std::string(4000, '\x5A'));
        }
    }
    {
        // A multi-page TIFF whose second page claims the first as the page after it.
        WriteMultiPageTiff(dir / "loop.tif", {{40, 60, ColourNumber(0)}, {40, 60, ColourNumber(1)}});
        const std::string tiff = ReadAll(dir / "loop.tif");
        auto number = [&](size_t at, int bytes) {
            uint32_t value = 0;
            for (int i = bytes - 1; i >= 0; --i) {
                value = value << 8 | static_cast<uint8_t>(tiff.at(at + i));
            }
            return value;
        };
        const uint32_t first = number(4, 4);
        const uint32_t second = number(first + 2 + 12 * number(first, 2), 4);
        const size_t secondsNext = second + 2 + 12 * number(second, 2);
        add("page-loop.tif", Patched(tiff, secondsNext, Le32(first)), false);
        fs::remove(dir / "loop.tif");
    }
    add("text.jpg", "This is a shopping list, not a picture.\n");
    fs::create_directory(in / "x.png");
    set.push_back({"x.png", true});
    // Named on its own in the list: opening it to read would wait for a
    // writer until the picture's time limit.
    ASSERT_EQ(::mkfifo((in / "pipe.jpg").c_str(), 0600), 0);
    set.push_back({"pipe.jpg", true});
    add("huge-header.png", Png(100000, 100000, 0));
    add("bomb.png", Png(30000, 30000, 30000));
    // Under the pixel limit a bomb is a real (black) picture: it must still
    // finish in bounded time and memory.
    add("bomb-under-limit.png", Png(19000, 19000, 19000), false);
    {
        std::string jpeg = ReadAll(Corpus() / "jpeg" / "hopper_gray.jpg");
        const size_t sof = jpeg.find("\xFF\xC0");
        ASSERT_NE(sof, std::string::npos);
        jpeg.replace(sof + 5, 4, std::string("\xFF\xF0\xFF\xF0", 4)); // 65520 x 65520
        add("huge-header.jpg", jpeg);
    }
    add("emf-absurd-record.emf", Emf(Le32(27) + Le32(0xFFFFFFF0) + Le32(0) + EmfEof(), 88 + 12 + 20, 3));
    add("emf-absurd-count.emf", Emf(EmfEof(), 88 + 20, 0xFFFFFFFF), false);
    add("emf-lying-length.emf", Emf(EmfEof(), 0x7FFFFFFF, 2));
    {
        std::string many;
        for (int i = 0; i < 200000; ++i) {
            many += Le32(18) + Le32(12) + Le32(0x00FF00); // SETTEXTCOLOR, again and again
        }
        add("emf-many-records.emf",
            Emf(many + EmfEof(), static_cast<uint32_t>(88 + many.size() + 20), 200002), false);
    }

    // Inputs the fuzzers found that once hurt: they stay in the set for good.
    for (const auto& finding : fs::directory_iterator(fs::path(QUILLMARK_TEST_DATA) / "fuzz-findings")) {
        fs::copy_file(finding.path(), in / finding.path().filename());
        set.push_back({finding.path().filename().string(), false});
    }

    std::vector<fs::path> sources;
    for (const auto& hostile : set) {
        sources.push_back(in / hostile.name);
    }
    JobState job;
    SetUpJob(job, sources, dir.path());
    job.pictureTimeLimit = std::chrono::seconds(10);
    const auto start = std::chrono::steady_clock::now();
    StageLog log;
    PrepareImagesProc(job, log.Observer());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    EXPECT_EQ(log.notifications, std::vector<Stage>{Stage::Prepare});
    EXPECT_TRUE(job.report.jobError.empty()) << job.report.jobError;
    std::map<fs::path, const PictureProblem*> problems;
    for (const auto& problem : job.report.pictureProblems) {
        problems[problem.source] = &problem;
    }
    std::cout << "hostile inputs: " << set.size() << " files in " << seconds << " s\n";
    for (size_t n = 0; n < set.size(); ++n) {
        const fs::path page = job.workFolderPath / (std::to_string(n) + ".jpg");
        const auto found = problems.find(sources[n]);
        const std::string outcome = found == problems.end()
                                        ? "clean"
                                        : std::string(DescribeOutcome(found->second->outcome)) + ": " +
                                              found->second->reason.substr(0, 90);
        std::cout << "  " << set[n].name << ": " << outcome << "\n";
        ASSERT_TRUE(fs::exists(page)) << set[n].name;
        EXPECT_EQ(ReadSize(page).width, 120) << set[n].name;
        if (set[n].mustBeReported) {
            EXPECT_NE(found, problems.end()) << set[n].name << " converted as if it were a good picture";
        }
    }
    const auto pipe = problems.find(in / "pipe.jpg");
    ASSERT_NE(pipe, problems.end());
    EXPECT_NE(pipe->second->reason.find("not a regular file"), std::string::npos) << pipe->second->reason;
    DeleteFolderTree(job.workFolderPath);
}

// A picture's time limit counts the processor time its decoder had: one that
// spins is given up at the limit, one that waits (starved on a busy machine)
// is not, and one that waits for ever is given up at ten times the limit.
TEST(HostileInput, APictureIsGivenUpForTheTimeItsDecoderTookNotForWaiting) {
    TempDir dir;
    const fs::path spinning = dir / "spinning-decoder.sh";
    WriteAll(spinning, "#!/bin/sh\nwhile :; do :; done\n");
    const fs::path stuck = dir / "stuck-decoder.sh";
    WriteAll(stuck, "#!/bin/sh\nexec sleep 600\n");
    fs::permissions(spinning, fs::perms::owner_all);
    fs::permissions(stuck, fs::perms::owner_all);
    struct Row {
        const char* what;
        fs::path decoder;
        const char* standIn; // what the stand-in decoder does, if it is the decoder
        // Empty: the picture converts cleanly. The reason, not the clock,
        // tells which limit ended a picture: a busy machine stretches every
        // wait, so only lower bounds of time are checked.
        const char* reason;
        int atLeastSeconds;
    };
    const Row rows[] = {
        {"a decoder that waits three seconds", QUILLMARK_PAGE_CRASH_WORKER, "slow", "", 3},
        {"a decoder that spins", spinning, nullptr, "gave up after 1 seconds of decoding", 1},
        // Its white page waits for ever too: twice the backstop.
        {"a decoder that never answers", stuck, nullptr, "did not answer for 10 seconds", 20},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        if (row.standIn != nullptr) {
            ::setenv("QUILLMARK_STAND_IN", row.standIn, 1);
        }
        JobState job;
        SetUpJob(job, {Corpus() / "jpeg" / "flower.jpg"}, dir.path());
        job.renderProgram = row.decoder;
        job.workers = 1;
        job.pictureTimeLimit = std::chrono::seconds(1);
        StageLog log;
        const auto start = std::chrono::steady_clock::now();
        PrepareImagesProc(job, log.Observer());
        const auto took = std::chrono::steady_clock::now() - start;
        ::unsetenv("QUILLMARK_STAND_IN");
        EXPECT_GE(took, std::chrono::seconds(row.atLeastSeconds));
        EXPECT_EQ(log.notifications, std::vector<Stage>{Stage::Prepare});
        if (*row.reason == '\0') {
            EXPECT_TRUE(job.report.pictureProblems.empty()) << job.report.pictureProblems[0].reason;
        } else {
            ASSERT_EQ(job.report.pictureProblems.size(), 1u);
            EXPECT_NE(job.report.pictureProblems[0].reason.find(row.reason), std::string::npos)
                << job.report.pictureProblems[0].reason;
        }
        DeleteFolderTree(job.workFolderPath);
    }
}

TEST(HostileInput, EveryReasonIsOneLineAboutItsOwnPicture) {
    TempDir dir;
    // A TIFF that floods the log with warnings, then a JPEG that takes its
    // decoder down: the crash must be told from the JPEG's own messages.
    const fs::path flood = Corpus() / "broken" / "crash-2020-10-test.tif";
    const fs::path crash =
        fs::path(QUILLMARK_TEST_DATA) / "fuzz-findings" / "jpeg-bad-exif-aborts-decoder.jpg";
    JobState job;
    SetUpJob(job, {flood, crash}, dir.path());
    job.workers = 1;
    PrepareImagesProc(job, {});
    ASSERT_EQ(job.report.pictureProblems.size(), 2u);
    for (const auto& problem : job.report.pictureProblems) {
        EXPECT_EQ(problem.reason.find('\n'), std::string::npos) << problem.reason;
        EXPECT_LE(problem.reason.size(), 210u) << problem.reason;
        EXPECT_FALSE(problem.reason.empty());
    }
    EXPECT_GT(job.report.pictureProblems[0].detail.size(), 1000u) << "the full text is kept for --json";
    const std::string& crashed = job.report.pictureProblems[1].reason;
    EXPECT_NE(crashed.find("the decoder crashed"), std::string::npos) << crashed;
    EXPECT_NE(crashed.find("assertion"), std::string::npos) << crashed;
    EXPECT_EQ(crashed.find("TIFF"), std::string::npos) << crashed;
    EndJob(job);
}

TEST(HostileInput, ADamagedTiffAfterOneImageMagickReadIsDamagedNotACrash) {
    // ImageMagick leaves libtiff a complaint handler that writes into its
    // finished read: a worker that has used it once must still hear the
    // next TIFF's complaints itself.
    TempDir dir;
    const fs::path readByImageMagick = Corpus() / "broken" / "crash-2020-10-test.tif";
    const fs::path damaged = Corpus() / "broken" / "oom-225817ca.tif";
    JobState job;
    SetUpJob(job, {readByImageMagick, damaged, readByImageMagick, damaged}, dir.path());
    job.workers = 1;
    PrepareImagesProc(job, {});
    ASSERT_EQ(job.report.pictureProblems.size(), 4u);
    for (const auto& problem : job.report.pictureProblems) {
        EXPECT_EQ(problem.reason.find("crashed"), std::string::npos) << problem.detail;
    }
    EXPECT_EQ(job.report.pictureProblems[1].reason.rfind("the TIFF file is damaged or cut short", 0), 0u)
        << job.report.pictureProblems[1].detail;
    EndJob(job);
}
