#include "Conversion.h"
#include "OutputFolder.h"
#include "PdfProbe.h"
#include "ScopedTimeZone.h"
#include "StageTestSupport.h"
#include "TempDir.h"

#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <fcntl.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

// Pictures of distinct colours whose names and file times run against the
// list order, so that only the list can give the right page order.
std::vector<fs::path> ColouredPictures(const fs::path& folder, int count) {
    std::vector<fs::path> pictures;
    for (int n = 0; n < count; ++n) {
        const fs::path picture = folder / ("p" + std::to_string(count - n) + ".png");
        WriteSolidPicture(picture, 20, 30, ColourNumber(n));
        const timespec times[2] = {{1700000000 - n * 60, 0}, {1700000000 - n * 60, 0}};
        ::utimensat(AT_FDCWD, picture.c_str(), times, 0);
        pictures.push_back(picture);
    }
    return pictures;
}

void ExpectColours(const std::vector<Rgb>& colours, const std::vector<int>& numbers) {
    ASSERT_EQ(colours.size(), numbers.size());
    for (size_t i = 0; i < numbers.size(); ++i) {
        EXPECT_TRUE(NearColour(colours[i], ColourNumber(numbers[i]))) << "page " << i;
    }
}

struct Job {
    TempDir save;
    JobState state;
    StageLog log;
    fs::path scratch; // the job's scratch folder, seen while it ran (the end forgets it)

    bool Run(const std::vector<fs::path>& sources, ListMode mode = ListMode::Files, bool merge = true) {
        SetUpJob(state, sources, {}, mode);
        state.options.mergeIntoOne = merge ? 1 : 0;
        StageObserver observer = log.Observer();
        observer.done = [this, logged = observer.done](Stage finished) {
            scratch = state.workFolderPath;
            logged(finished);
        };
        return RunJob(state, save.path(), std::time(nullptr), observer);
    }
    const fs::path& output() const { return state.options.outputFolder; }
};

std::set<std::string> Entries(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

} // namespace

TEST(Conversion, MergedPagesFollowTheListNotNamesOrTimes) {
    TempDir pictures;
    Job job;
    ASSERT_TRUE(job.Run(ColouredPictures(pictures.path(), 12)));
    EXPECT_EQ(job.log.notifications, (std::vector<Stage>{Stage::Prepare, Stage::Build}));
    EXPECT_TRUE(job.state.report.AllWell());
    EXPECT_EQ(Entries(job.output()), std::set<std::string>{"result.pdf"});
    ExpectColours(PageColours(job.output() / "result.pdf"), {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
    const PdfProbe probe = ProbePdf(job.output() / "result.pdf");
    EXPECT_EQ(probe.pages[0].mediaBox, (std::array<double, 4>{0, 0, 120, 160}));
    ASSERT_FALSE(job.scratch.empty());
    EXPECT_FALSE(fs::exists(job.scratch));
}

TEST(Conversion, SeparateDocumentsAreNumberedByListPlace) {
    TempDir pictures;
    std::vector<fs::path> sources = ColouredPictures(pictures.path(), 12);
    Job job;
    // A folder named like document 3 keeps that one from being written; the
    // others keep their numbers.
    ASSERT_TRUE(job.Run(sources, ListMode::Files, false));
    for (int n = 0; n < 12; ++n) {
        ExpectColours(PageColours(job.output() / (std::to_string(n) + ".pdf")), {n});
    }
    Job blocked;
    SetUpJob(blocked.state, sources, {});
    blocked.state.options.mergeIntoOne = 0;
    StageObserver observer;
    observer.progress = [&](const StageProgress& p) {
        if (p.stage == Stage::Prepare && p.done == 0) {
            fs::create_directory(blocked.output() / "3.pdf");
        }
    };
    ASSERT_TRUE(RunJob(blocked.state, blocked.save.path(), std::time(nullptr), observer));
    EXPECT_EQ(blocked.state.report.documentsWritten.size(), 11u);
    ASSERT_EQ(blocked.state.report.documentProblems.size(), 1u);
    EXPECT_EQ(blocked.state.report.documentProblems[0].document, blocked.output() / "3.pdf");
    ExpectColours(PageColours(blocked.output() / "4.pdf"), {4});
    for (const auto& name : Entries(blocked.output())) {
        EXPECT_NE(name.front(), '.') << "left behind: " << name;
    }
}

TEST(Conversion, FolderGroupsGoToSubFoldersAndAnEmptyOneDoesNotStopTheRest) {
    TempDir pictures;
    const fs::path a = pictures / "2019" / "Jan", empty = pictures / "empty", b = pictures / "2020" / "Jan";
    fs::create_directories(a);
    fs::create_directories(b);
    fs::create_directories(empty);
    WriteSolidPicture(a / "1.png", 20, 20, ColourNumber(0));
    WriteSolidPicture(a / "2.png", 20, 20, ColourNumber(1));
    WriteSolidPicture(b / "1.png", 20, 20, ColourNumber(2));
    // Named like pictures, but never pages: a folder, and a pipe that would
    // keep the decoder waiting for a writer.
    fs::create_directory(a / "holiday.jpg");
    ASSERT_EQ(::mkfifo((b / "pipe.png").c_str(), 0600), 0);
    for (bool merge : {true, false}) {
        Job job;
        ASSERT_TRUE(job.Run({a, empty, b}, ListMode::Folders, merge));
        EXPECT_EQ(Entries(job.output()), (std::set<std::string>{"Jan", "Jan (2)"}));
        if (merge) {
            ExpectColours(PageColours(job.output() / "Jan" / "result.pdf"), {0, 1});
            ExpectColours(PageColours(job.output() / "Jan (2)" / "result.pdf"), {2});
        } else {
            EXPECT_EQ(Entries(job.output() / "Jan"), (std::set<std::string>{"0.pdf", "1.pdf"}));
            ExpectColours(PageColours(job.output() / "Jan" / "1.pdf"), {1});
            ExpectColours(PageColours(job.output() / "Jan (2)" / "0.pdf"), {2});
        }
        EXPECT_EQ(job.state.report.emptyGroups, std::vector<fs::path>{empty});
        EXPECT_TRUE(job.state.report.pictureProblems.empty()) << job.state.report.pictureProblems[0].reason;
        ASSERT_FALSE(job.scratch.empty());
        EXPECT_FALSE(fs::exists(job.scratch));
    }
}

TEST(Conversion, PaperPagesTurnWithTheirPicturesInsideOneDocument) {
    TempDir pictures;
    const fs::path wide = pictures / "wide.png", tall = pictures / "tall.png";
    WriteSolidPicture(wide, 60, 30, ColourNumber(0));
    WriteSolidPicture(tall, 30, 60, ColourNumber(1));
    Job job;
    SetUpJob(job.state, {wide, tall, wide}, {});
    job.state.options.paper = PaperSize::A4;
    job.state.options.dpi = 72;
    job.state.options.orientation = PageOrientation::Auto;
    job.state.options.margin = 10;
    ASSERT_TRUE(RunJob(job.state, job.save.path(), std::time(nullptr), job.log.Observer()));
    ASSERT_TRUE(job.state.report.AllWell()) << job.state.report.jobError;

    const PdfProbe probe = ProbePdf(job.output() / "result.pdf");
    ASSERT_TRUE(probe.opened) << probe.error;
    ASSERT_EQ(probe.pages.size(), 3u);
    const std::array<double, 4> landscape{0, 0, 841.89, 595.276}, portrait{0, 0, 595.276, 841.89};
    for (size_t i = 0; i < 3; ++i) {
        const auto& expected = i == 1 ? portrait : landscape;
        for (int side = 0; side < 4; ++side) {
            EXPECT_NEAR(probe.pages[i].mediaBox[side], expected[side], 0.01) << "page " << i;
        }
        // The page picture: the sheet at 72 dpi, turned with the page.
        ASSERT_EQ(probe.pages[i].images.size(), 1u);
        EXPECT_EQ(probe.pages[i].images[0].width, i == 1 ? 595 : 842);
        EXPECT_EQ(probe.pages[i].images[0].height, i == 1 ? 842 : 595);
    }
    // 10 mm is 28 pixels at 72 dpi: white there, the picture just inside.
    TempDir scratch;
    std::ofstream(scratch / "page.jpg", std::ios::binary) << probe.pages[0].images[0].bytes;
    EXPECT_TRUE(NearColour(ReadPixel(scratch / "page.jpg", 20, 297), {255, 255, 255}));
    EXPECT_TRUE(NearColour(ReadPixel(scratch / "page.jpg", 34, 297), ColourNumber(0)));
}

TEST(Conversion, GroupsFollowTheChosenOrder) {
    TempDir pictures;
    const fs::path group = pictures / "scans";
    fs::create_directories(group);
    // Written in the order 10, 2, 1: neither name nor natural order.
    const char* names[] = {"p10.png", "p2.png", "p1.png"};
    for (int n = 0; n < 3; ++n) {
        WriteSolidPicture(group / names[n], 20, 20, ColourNumber(n));
        const timespec times[2] = {{1700000000 + n * 60, 0}, {1700000000 + n * 60, 0}};
        ::utimensat(AT_FDCWD, (group / names[n]).c_str(), times, 0);
    }
    const std::pair<FolderOrder, std::vector<int>> rows[] = {
        {FolderOrder::Standard, {2, 0, 1}}, // as the folder lists them: p1, p10, p2
        {FolderOrder::Name, {2, 1, 0}},
        {FolderOrder::WriteTime, {0, 1, 2}},
    };
    for (const auto& [order, colours] : rows) {
        Job job;
        SetUpJob(job.state, {group}, {}, ListMode::Folders);
        job.state.options.folderOrder = order;
        ASSERT_TRUE(RunJob(job.state, job.save.path(), std::time(nullptr), job.log.Observer()));
        ExpectColours(PageColours(job.output() / "scans" / "result.pdf"), colours);
    }
}

TEST(Conversion, PageSettingsAreRefusedBeforeAnythingIsMade) {
    const std::pair<std::function<void(ConvertOptions&)>, JobRefusal> rows[] = {
        {[](ConvertOptions& o) { o.paper = PaperSize::A4, o.dpi = 1200; }, JobRefusal::Resolution},
        {[](ConvertOptions& o) { o.paper = PaperSize::A4, o.margin = 150; }, JobRefusal::Margin},
        {[](ConvertOptions& o) { o.margin = -3; }, JobRefusal::Margin},
    };
    for (const auto& [change, refusal] : rows) {
        Job job;
        SetUpJob(job.state, {Corpus() / "jpeg" / "flower.jpg"}, {});
        change(job.state.options);
        EXPECT_FALSE(BeginJob(job.state, job.save.path(), std::time(nullptr)));
        EXPECT_EQ(job.state.report.refusal, refusal) << job.state.report.jobError;
        EXPECT_TRUE(fs::is_empty(job.save.path()));
    }
    // With a paper size the typed pixel size plays no part.
    Job paper;
    SetUpJob(paper.state, {Corpus() / "jpeg" / "flower.jpg"}, {});
    paper.state.options.pageWidth = 0;
    paper.state.options.paper = PaperSize::A5;
    EXPECT_TRUE(BeginJob(paper.state, paper.save.path(), std::time(nullptr))) << paper.state.report.jobError;
    EndJob(paper.state);
}

TEST(Conversion, PasswordTickedDuringTheJobAppliesToLaterDocuments) {
    TempDir pictures;
    Job job;
    job.state.options.password = u"secret";
    StageObserver observer = job.log.Observer();
    SetUpJob(job.state, ColouredPictures(pictures.path(), 3), {});
    job.state.options.mergeIntoOne = 0;
    observer.progress = [&](const StageProgress& p) {
        if (p.stage == Stage::Build && p.done == 1) {
            job.state.options.usePassword = 1;
        }
    };
    ASSERT_TRUE(RunJob(job.state, job.save.path(), std::time(nullptr), observer));
    EXPECT_FALSE(ProbePdf(job.output() / "0.pdf").encryption.has_value());
    EXPECT_TRUE(ProbePdf(job.output() / "1.pdf", "wrong").passwordRejected);
    EXPECT_TRUE(ProbePdf(job.output() / "2.pdf", "secret").opened);
}

TEST(Conversion, JobsInTheSameSecondGetTheirOwnOutputFolder) {
    TempDir save;
    const std::time_t when = 1614953229; // 2021-03-05 14:07:09 UTC
    const ScopedTimeZone utc("UTC");
    EXPECT_EQ(OutputFolderName(when), "转换结果20210305140709");
    const fs::path first = CreateOutputFolder(save.path(), when);
    const fs::path second = CreateOutputFolder(save.path(), when);
    const fs::path third = CreateOutputFolder(save.path(), when);
    EXPECT_EQ(first.filename(), "转换结果20210305140709");
    EXPECT_EQ(second.filename(), "转换结果20210305140709_2");
    EXPECT_EQ(third.filename(), "转换结果20210305140709_3");
}

TEST(Conversion, RefusedJobsCreateNothing) {
    Job badSize;
    badSize.state.options.pageWidth = 20000;
    SetUpJob(badSize.state, {Corpus() / "jpeg" / "flower.jpg"}, {});
    badSize.state.options.pageHeight = 20000;
    badSize.state.options.pageWidth = 20000;
    EXPECT_FALSE(BeginJob(badSize.state, badSize.save.path(), std::time(nullptr)));
    EXPECT_FALSE(badSize.state.report.jobError.empty());
    EXPECT_TRUE(fs::is_empty(badSize.save.path()));

    Job noFolder;
    SetUpJob(noFolder.state, {Corpus() / "jpeg" / "flower.jpg"}, {});
    EXPECT_FALSE(BeginJob(noFolder.state, noFolder.save / "missing", std::time(nullptr)));
    EXPECT_NE(noFolder.state.report.jobError.find("missing"), std::string::npos);
}

TEST(Conversion, CancelDuringThePdfStageLeavesOnlyCompleteDocuments) {
    TempDir pictures;
    Job job;
    SetUpJob(job.state, ColouredPictures(pictures.path(), 6), {});
    job.state.options.mergeIntoOne = 0;
    StageObserver observer = job.log.Observer();
    auto record = observer.progress;
    observer.progress = [&](const StageProgress& p) {
        record(p);
        if (p.stage == Stage::Build && p.done == 2) {
            job.state.cancelRequested = true;
        }
    };
    ASSERT_TRUE(RunJob(job.state, job.save.path(), std::time(nullptr), observer));
    EXPECT_EQ(job.log.notifications, (std::vector<Stage>{Stage::Prepare, Stage::Build}));
    EXPECT_TRUE(job.state.report.cancelled);
    EXPECT_EQ(Entries(job.output()), (std::set<std::string>{"0.pdf", "1.pdf"}));
    EXPECT_TRUE(ProbePdf(job.output() / "1.pdf").opened);
}

// The end of a job removes its scratch folder and an output folder that
// received nothing, whatever stopped the job.
TEST(JobLifecycle, TheEndRemovesWhatTheJobMadeWhateverHappened) {
    TempDir pictures;
    const std::vector<fs::path> sources = ColouredPictures(pictures.path(), 3);
    const fs::path elsewhere = pictures / "moved-scratch";
    struct Row {
        const char* name;
        std::function<void(JobState&, const StageProgress&)> onProgress;
        std::function<void(JobState&, Stage)> onDone;
        bool failed;
        bool cancelled;
    };
    const Row rows[] = {
        {"a stage that throws",
         [](JobState&, const StageProgress& p) {
             if (p.stage == Stage::Prepare && p.done == 1) {
                 throw std::runtime_error("out of luck");
             }
         },
         {}, true, false},
        {"a cancel while preparing",
         [](JobState& job, const StageProgress& p) {
             if (p.stage == Stage::Prepare && p.done == 1) {
                 job.cancelRequested = true;
             }
         },
         {}, false, true},
        {"a scratch folder that cannot be read",
         {},
         [&](JobState& job, Stage finished) {
             if (finished == Stage::Prepare) {
                 fs::rename(job.workFolderPath, elsewhere);
                 std::ofstream(job.workFolderPath) << "not a folder";
             }
         },
         true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Job job;
        SetUpJob(job.state, sources, {});
        job.state.workers = 1;
        StageObserver observer;
        observer.progress = [&](const StageProgress& p) {
            if (row.onProgress) {
                row.onProgress(job.state, p);
            }
        };
        observer.done = [&](Stage finished) {
            if (row.onDone) {
                row.onDone(job.state, finished);
            }
        };
        ASSERT_TRUE(RunJob(job.state, job.save.path(), std::time(nullptr), observer));
        EXPECT_EQ(!job.state.report.jobError.empty(), row.failed) << job.state.report.jobError;
        EXPECT_EQ(job.state.report.cancelled, row.cancelled);
        EXPECT_FALSE(job.state.report.AllWell());
        EXPECT_TRUE(fs::is_empty(job.save.path())) << "left behind in " << job.save.path();
        fs::remove_all(elsewhere);
    }
}

TEST(JobLifecycle, AMissingDecoderIsAJobErrorThatSaysWhereItWasLookedFor) {
    TempDir save;
    JobState job;
    SetUpJob(job, {Corpus() / "jpeg" / "flower.jpg"}, {});
    setenv("QUILLMARK_RENDER", "/nowhere/quillmark-render", 1);
    EXPECT_FALSE(BeginJob(job, save.path(), std::time(nullptr)));
    unsetenv("QUILLMARK_RENDER");
    EXPECT_EQ(job.report.refusal, JobRefusal::NoDecoder);
    EXPECT_NE(job.report.jobError.find("/nowhere/quillmark-render"), std::string::npos) << job.report.jobError;
    EXPECT_TRUE(fs::is_empty(save.path()));
}
