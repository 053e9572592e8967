#include "PdfStage.h"

#include "PdfProbe.h"
#include "Pictures.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>

namespace fs = std::filesystem;

namespace {

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Which page files each document shows, in page order, by the files' names.
std::map<std::string, std::vector<std::string>> Documents(const fs::path& folder, const fs::path& scratch) {
    std::map<std::string, std::vector<std::string>> documents;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.path().extension() != ".pdf") {
            continue;
        }
        auto& shown = documents[fs::relative(entry.path(), folder).string()];
        for (const PdfPage& page : ProbePdf(entry.path()).pages) {
            for (const auto& file : fs::directory_iterator(scratch)) {
                if (!page.images.empty() && page.images[0].bytes == ReadBytes(file.path())) {
                    shown.push_back(file.path().stem().string());
                }
            }
        }
    }
    return documents;
}

struct StageRow {
    const char* name;
    bool folders;
    int32_t merge;
    DocumentNames names;
    std::map<std::string, std::vector<std::string>> expected;
};

class PdfStageDocuments : public testing::TestWithParam<StageRow> {};

} // namespace

// The stage takes its pages from what the preparation handed over, never from
// the scratch folder's listing or the page files' names: a stray file there
// goes nowhere, a page without a picture is left out, a picture of several
// pages keeps them together, and documents are named by the picture's place
// or after the picture.
TEST_P(PdfStageDocuments, FollowThePreparedGroups) {
    const StageRow& row = GetParam();
    TempDir dir;
    const fs::path scratch = dir / "scratch";
    const fs::path out = dir / "out";
    fs::create_directories(scratch);
    fs::create_directories(out);
    uint8_t shade = 0;
    for (const char* name : {"a", "b", "c", "d", "stray"}) {
        WriteSolidPicture(scratch / (std::string(name) + ".jpg"), 40, 60, {shade, 100, 200});
        shade += 40;
    }
    const auto page = [&](const char* source, size_t picture, const char* file, size_t part = 0,
                          size_t parts = 1) {
        PreparedPage prepared;
        prepared.source = source;
        prepared.picture = picture;
        prepared.part = part;
        prepared.partCount = parts;
        prepared.file = *file != '\0' ? scratch / (std::string(file) + ".jpg") : fs::path();
        return prepared;
    };
    JobState job;
    job.workFolderPath = scratch;
    job.options.outputFolder = out;
    job.options.pageWidth = 40;
    job.options.pageHeight = 60;
    job.options.mergeIntoOne = row.merge;
    job.options.documentNames = row.names;
    const std::vector<PreparedPage> first = {page("/x/IMG.jpg", 0, "a"), page("/x/scan.tif", 1, "b", 0, 2),
                                             page("/x/scan.tif", 1, "c", 1, 2), page("/x/broken.jpg", 2, "")};
    const std::vector<PreparedPage> second = {page("/y/IMG.jpg", 0, "d")};
    if (row.folders) {
        job.prepared = {{"/x", "Jan", first}, {"/y", "Jan (2)", second}};
    } else {
        std::vector<PreparedPage> all = first;
        all.push_back(page("/y/IMG.jpg", 3, "d"));
        job.prepared = {{{}, {}, all}};
    }
    int lastDone = -1;
    int doneCalls = 0;
    StageObserver observer;
    observer.progress = [&](const StageProgress& progress) { lastDone = progress.done; };
    observer.done = [&](Stage) { ++doneCalls; };
    row.folders ? BuildFolderPdfsProc(job, observer) : BuildPdfsProc(job, observer);

    EXPECT_TRUE(job.report.jobError.empty()) << job.report.jobError;
    EXPECT_EQ(Documents(out, scratch), row.expected);
    EXPECT_EQ(lastDone, job.report.documentsTotal);
    EXPECT_EQ(doneCalls, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, PdfStageDocuments,
    testing::Values(
        StageRow{"Merged", false, 1, DocumentNames::Numbered, {{"result.pdf", {"a", "b", "c", "d"}}}},
        StageRow{"Numbered",
                 false,
                 0,
                 DocumentNames::Numbered,
                 {{"0.pdf", {"a"}}, {"1.pdf", {"b", "c"}}, {"3.pdf", {"d"}}}},
        StageRow{"BySource",
                 false,
                 0,
                 DocumentNames::BySource,
                 {{"IMG.pdf", {"a"}}, {"scan.pdf", {"b", "c"}}, {"IMG (2).pdf", {"d"}}}},
        StageRow{"FoldersMerged",
                 true,
                 1,
                 DocumentNames::Numbered,
                 {{"Jan/result.pdf", {"a", "b", "c"}}, {"Jan (2)/result.pdf", {"d"}}}},
        StageRow{"FoldersNumbered",
                 true,
                 0,
                 DocumentNames::Numbered,
                 {{"Jan/0.pdf", {"a"}}, {"Jan/1.pdf", {"b", "c"}}, {"Jan (2)/0.pdf", {"d"}}}}),
    [](const auto& info) { return info.param.name; });
