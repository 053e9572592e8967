#include "Conversion.h"
#include "EndlessDecoding.h"
#include "FolderTree.h"
#include "MultiPageTiff.h"
#include "PrepareImages.h"
#include "PreparedPages.h"
#include "StageTestSupport.h"
#include "TempDir.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <map>
#include <set>
#include <sys/stat.h>
#include <thread>

namespace fs = std::filesystem;

namespace {

// The pages and folders in `folder`: the workers' logs and the notes that
// today's PDF side reads beside each page are left out.
std::set<std::string> FilesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().front() != '.' && entry.path().extension() != ".json") {
            names.insert(entry.path().filename().string());
        }
    }
    return names;
}

std::string Bytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace

TEST(PrepareStage, EveryEntryBecomesThePageOfItsNumber) {
    TempDir dir;
    std::vector<fs::path> sources;
    for (int n = 0; n < 12; ++n) {
        sources.push_back(dir / ("src-" + std::to_string(11 - n) + ".png"));
        WriteSolidPicture(sources.back(), 30, 40, ColourNumber(n));
    }
    sources[5] = dir / "missing.png"; // still a page of its own, white
    JobState job;
    SetUpJob(job, sources, dir.path());
    StageLog log;
    PrepareImagesProc(job, log.Observer());

    EXPECT_EQ(log.notifications, std::vector<Stage>{Stage::Prepare});
    EXPECT_FALSE(log.progressAfterDone);
    ASSERT_FALSE(log.progress.empty());
    EXPECT_EQ(log.progress.back().done, 12);
    EXPECT_EQ(log.progress.back().total, 12);

    const fs::path scratch = job.workFolderPath;
    EXPECT_EQ(scratch.parent_path(), dir.path());
    EXPECT_EQ(fs::status(scratch).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(FilesIn(scratch).size(), 12u) << "a page per entry";
    ASSERT_EQ(job.prepared.size(), 1u);
    ASSERT_EQ(job.prepared[0].pages.size(), 12u);
    for (size_t n = 0; n < 12; ++n) {
        const PreparedPage& page = job.prepared[0].pages[n];
        EXPECT_EQ(page.source, sources[n]);
        EXPECT_EQ(page.file, PreparedPagePath(scratch, n));
        EXPECT_EQ(page.picture, n);
        EXPECT_EQ(page.problem.has_value(), n == 5);
    }
    EXPECT_EQ(fs::status(scratch / "0.jpg").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    for (int n = 0; n < 12; ++n) {
        const fs::path page = scratch / (std::to_string(n) + ".jpg");
        const Rgb expected = n == 5 ? Rgb{255, 255, 255} : ColourNumber(n);
        EXPECT_TRUE(NearColour(ReadPixel(page, 60, 80), expected)) << page;
    }
    EXPECT_EQ(job.report.picturesTotal, 12);
    EXPECT_EQ(job.report.picturesPrepared, 11);
    ASSERT_EQ(job.report.pictureProblems.size(), 1u);
    EXPECT_EQ(job.report.pictureProblems[0].source, dir / "missing.png");
    DeleteFolderTree(scratch);
}

TEST(PrepareStage, ManyWorkersWriteTheSamePagesAsOne) {
    TempDir dir;
    std::vector<fs::path> sources;
    for (const char* name :
         {"jpeg/flower.jpg", "png/basn6a08.png", "gif/hopper.gif", "tiff/hopper_lzw.tif", "bmp/rgb24.bmp",
          "emf/test-142.emf", "exif-orientation/hopper_orientation_6.jpg", "broken/truncated_jpeg.jpg"}) {
        sources.push_back(Corpus() / name);
    }
    std::vector<std::vector<std::string>> pages;
    for (int workers : {1, 3}) {
        JobState job;
        SetUpJob(job, sources, dir.path());
        job.workers = workers;
        PrepareImagesProc(job, {});
        std::vector<std::string> bytes;
        for (size_t n = 0; n < sources.size(); ++n) {
            bytes.push_back(Bytes(job.workFolderPath / (std::to_string(n) + ".jpg")));
        }
        pages.push_back(bytes);
        EXPECT_EQ(job.report.pictureProblems.size(), 1u) << workers << " workers";
        DeleteFolderTree(job.workFolderPath);
    }
    EXPECT_EQ(pages[0], pages[1]);
}

TEST(PrepareStage, FolderGroupsTakePicturesByTheirEndingInNameOrder) {
    TempDir dir;
    const fs::path first = dir / "2019" / "Jan", second = dir / "2020" / "Jan", empty = dir / "empty",
                   gone = dir / "gone";
    fs::create_directories(first);
    fs::create_directories(second);
    fs::create_directories(empty);
    WriteSolidPicture(first / "c.JPG", 20, 20, ColourNumber(2));
    WriteSolidPicture(first / "a.png", 20, 20, ColourNumber(0));
    std::ofstream(first / "b.txt") << "notes";
    WriteSolidPicture(first / "d.Jpg", 20, 20, ColourNumber(3));
    std::ofstream(first / "c.JPG.xmp") << "<x:xmpmeta/>"; // a photo editor's sidecar
    fs::create_directory(first / "old.png");              // a folder, whatever its name
    WriteSolidPicture(second / "only.gif", 20, 20, ColourNumber(4));
    std::ofstream(empty / "readme.txt") << "no pictures here";

    JobState job;
    SetUpJob(job, {first, empty, gone, second}, dir.path(), ListMode::Folders);
    StageLog log;
    PrepareImagesProc(job, log.Observer());
    EXPECT_EQ(log.notifications, std::vector<Stage>{Stage::Prepare});

    const fs::path scratch = job.workFolderPath;
    EXPECT_EQ(FilesIn(scratch), (std::set<std::string>{"Jan", "Jan (2)"}));
    EXPECT_EQ(FilesIn(scratch / "Jan"), (std::set<std::string>{"0.jpg", "1.jpg", "2.jpg"}));
    ASSERT_EQ(job.prepared.size(), 2u);
    EXPECT_EQ(job.prepared[0].name, "Jan");
    EXPECT_EQ(job.prepared[0].folder, first);
    ASSERT_EQ(job.prepared[0].pages.size(), 3u);
    EXPECT_EQ(job.prepared[0].pages[2].source, first / "d.Jpg");
    EXPECT_EQ(job.prepared[1].name, "Jan (2)");
    EXPECT_TRUE(NearColour(ReadPixel(scratch / "Jan" / "0.jpg", 60, 80), ColourNumber(0)));
    EXPECT_TRUE(NearColour(ReadPixel(scratch / "Jan" / "1.jpg", 60, 80), ColourNumber(2)));
    EXPECT_TRUE(NearColour(ReadPixel(scratch / "Jan" / "2.jpg", 60, 80), ColourNumber(3)));
    EXPECT_TRUE(NearColour(ReadPixel(scratch / "Jan (2)" / "0.jpg", 60, 80), ColourNumber(4)));
    EXPECT_EQ(job.report.emptyGroups, std::vector<fs::path>{empty});
    // Every picture converted cleanly: the sidecar was never taken for one.
    ASSERT_EQ(job.report.pictureProblems.size(), 1u);
    EXPECT_EQ(job.report.pictureProblems[0].source, gone);
    DeleteFolderTree(scratch);
}

TEST(PrepareStage, CancelStopsEarlyAndTheEndRemovesTheScratchFolder) {
    TempDir dir;
    std::vector<fs::path> sources(40, Corpus() / "jpeg" / "flower.jpg");
    std::ofstream(dir / "keep.txt") << "the user's own file";
    JobState job;
    SetUpJob(job, sources, dir.path());
    job.workers = 1;
    StageLog log;
    StageObserver observer = log.Observer();
    auto record = observer.progress;
    observer.progress = [&](const StageProgress& p) {
        record(p);
        if (p.done == 2) {
            job.cancelRequested = true;
        }
    };
    PrepareImagesProc(job, observer);
    EXPECT_EQ(log.notifications, std::vector<Stage>{Stage::Prepare});
    EXPECT_TRUE(job.report.cancelled);
    EXPECT_LT(log.progress.back().done, 40);
    EXPECT_FALSE(JobGoesOn(job));
    EndJob(job);
    EXPECT_EQ(FilesIn(dir.path()), std::set<std::string>{"keep.txt"});
}

TEST(PrepareStage, CancelEndsAPictureBeingDecoded) {
    TempDir dir;
    // A picture whose decoder waits for ever: only ending the decoder can end
    // the stage before the picture's time limit.
    const EndlessDecoding endlessDecoding;
    const fs::path endless = dir / "endless.png";
    fs::copy_file(Corpus() / "png" / "basn2c08.png", endless);
    JobState job;
    SetUpJob(job, {endless, Corpus() / "jpeg" / "flower.jpg"}, dir.path());
    job.workers = 1;
    job.pictureTimeLimit = std::chrono::seconds(120);
    std::chrono::steady_clock::time_point asked;
    std::thread stage([&] { PrepareImagesProc(job, {}); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    asked = std::chrono::steady_clock::now();
    job.cancelRequested = true;
    stage.join();
    const auto took = std::chrono::steady_clock::now() - asked;
    std::cout << "stop took " << std::chrono::duration<double, std::milli>(took).count() << " ms\n";
    EXPECT_LT(took, job.pictureTimeLimit / 4);
    EXPECT_TRUE(job.report.cancelled);
    EndJob(job);
    EXPECT_EQ(FilesIn(dir.path()), std::set<std::string>{"endless.png"});
}

TEST(PrepareStage, EachPageOfAMultiPageTiffGetsItsPageAndItsOwnLine) {
    struct Row {
        const char* what;
        bool corruptSecondPage;
        const char* worker; // empty for the real one
        PictureOutcome outcome;
        const char* reason;
    };
    // clang-format off
    const Row rows[] = {
        {"a page that can be read only in part", true, "", PictureOutcome::Damaged, "Decoding error"},
        {"a page that takes its decoder down", false, QUILLMARK_PAGE_CRASH_WORKER, PictureOutcome::Undecodable, "the decoder crashed"},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TempDir dir;
        const fs::path scan = dir / "scan.tif";
        WriteMultiPageTiff(scan, {{40, 60, ColourNumber(1)},
                                  {40, 60, ColourNumber(2), 0, row.corruptSecondPage},
                                  {60, 40, ColourNumber(3)}});
        WriteSolidPicture(dir / "before.png", 30, 40, ColourNumber(0));
        WriteSolidPicture(dir / "after.png", 30, 40, ColourNumber(4));
        JobState job;
        SetUpJob(job, {dir / "before.png", scan, dir / "after.png"}, dir.path());
        if (*row.worker != '\0') {
            job.renderProgram = row.worker;
        }
        StageLog log;
        PrepareImagesProc(job, log.Observer());

        const fs::path scratch = job.workFolderPath;
        // Each page, a crashed one's white page too.
        EXPECT_EQ(FilesIn(scratch), (std::set<std::string>{"0.jpg", "1.jpg", "1-1.jpg", "1-2.jpg", "2.jpg"}));
        ASSERT_EQ(job.prepared.at(0).pages.size(), 5u);
        for (size_t part = 0; part < 3; ++part) {
            const PreparedPage& page = job.prepared[0].pages[1 + part];
            EXPECT_EQ(page.source, scan);
            EXPECT_EQ(page.picture, 1u);
            EXPECT_EQ(page.part, part);
            EXPECT_EQ(page.partCount, 3u);
            EXPECT_EQ(page.file, PreparedPagePath(scratch, 1, part));
            EXPECT_EQ(page.problem.has_value(), part == 1);
        }
        const std::map<std::string, Rgb> expected = {{"0.jpg", ColourNumber(0)},
                                                     {"1.jpg", ColourNumber(1)},
                                                     {"1-1.jpg", {255, 255, 255}},
                                                     {"1-2.jpg", ColourNumber(3)},
                                                     {"2.jpg", ColourNumber(4)}};
        for (const auto& [name, colour] : expected) {
            if (name != "1-1.jpg" || row.outcome == PictureOutcome::Undecodable) {
                EXPECT_TRUE(NearColour(ReadPixel(scratch / name, 60, 80), colour)) << name;
            }
        }
        ASSERT_EQ(job.report.pictureProblems.size(), 1u);
        const PictureProblem& problem = job.report.pictureProblems[0];
        EXPECT_EQ(problem.source, scan);
        EXPECT_EQ(problem.page, 2u);
        EXPECT_EQ(problem.outcome, row.outcome);
        EXPECT_NE(problem.reason.find(row.reason), std::string::npos) << problem.reason;
        EXPECT_EQ(job.report.picturesTotal, 5);
        EXPECT_EQ(job.report.picturesPrepared, row.outcome == PictureOutcome::Undecodable ? 4 : 5);
        ASSERT_FALSE(log.progress.empty());
        EXPECT_EQ(log.progress.back().done, 5);
        EXPECT_EQ(log.progress.back().total, 5);
        DeleteFolderTree(scratch);
    }
}
