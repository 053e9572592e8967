// A metafile's page drawn as vectors, beside the page picture of the same
// file: it must look like that picture, keep shapes as paths and bitmaps as
// images, and give way to the picture wherever vectors cannot go.
#include "Conversion.h"
#include "ConvertOptions.h"
#include "FolderTree.h"
#include "OcrLanguages.h"
#include "PageNotes.h"
#include "PdfProbe.h"
#include "PdfTestDocuments.h"
#include "PrepareImages.h"
#include "Pictures.h"
#include "PreparedPages.h"
#include "RenderPage.h"
#include "RunProgram.h"
#include "StageTestSupport.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace fs = std::filesystem;

namespace {

ConvertOptions CustomPageOptions() {
    ConvertOptions options;
    options.pageWidth = 420;
    options.pageHeight = 300;
    options.margin = 10;
    return options;
}

// The first page of `source` as a decoder worker makes it into `page`.
PageMade Prepare(const fs::path& source, const fs::path& page, bool lossless,
                 const ConvertOptions& options = CustomPageOptions()) {
    RenderRequest request;
    request.settings = {PageSetupOf(options), kDefaultJpegQuality, false, lossless};
    request.source = source.string();
    request.destination = page.string();
    return FirstPageMade(request);
}

// The lines of a poppler tool's listing after its two heading lines: the
// images (pdfimages -list) or fonts (pdffonts) of a document, in forms and
// patterns too. Empty, with `why` set, when the tool cannot run.
std::vector<std::string> Listing(const std::string& tool, const std::vector<std::string>& arguments,
                                 std::string& why) {
    const ProgramResult listed = RunProgram(tool, arguments);
    std::vector<std::string> lines;
    if (listed.exitCode != 0) {
        why = tool + " did not run: " + listed.err;
        return lines;
    }
    std::istringstream in(listed.out);
    std::string line;
    for (int heading = 0; heading < 2 && std::getline(in, line); ++heading) {
    }
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

// Column `n` (from 0) of a listing's line; empty when it has fewer.
std::string Column(const std::string& line, size_t n) {
    std::istringstream columns(line);
    std::string word;
    for (size_t i = 0; i <= n; ++i) {
        if (!(columns >> word)) {
            return {};
        }
    }
    return word;
}

size_t EmbeddedFonts(const fs::path& pdf, std::string& why) {
    size_t embedded = 0;
    for (const std::string& line : Listing("/usr/bin/pdffonts", {pdf.string()}, why)) {
        std::istringstream columns(line);
        // name, type (one or two words), encoding, emb, sub, uni, object, id
        std::vector<std::string> words;
        for (std::string word; columns >> word;) {
            words.push_back(word);
        }
        embedded += words.size() >= 6 && words[words.size() - 5] == "yes";
    }
    return embedded;
}

struct VectorRow {
    const char* file;
    bool bitmaps;     // images inside that must stay images
    bool text;        // text that must stay text
    double tolerance; // mean difference from the page picture, 0 to 255
};

void PrintTo(const VectorRow& row, std::ostream* out) {
    *out << row.file;
}

class VectorPages : public testing::TestWithParam<VectorRow> {};

} // namespace

// The vector page and the page picture come from the same players: drawn by
// a PDF reader at the page picture's resolution they differ only by
// anti-aliasing, JPEG and type hinting, and nothing that was a shape became
// pixels.
TEST_P(VectorPages, LookLikeThePagePictureOfTheSameFile) {
    const VectorRow& row = GetParam();
    const fs::path source = Corpus() / "emf" / row.file;
    TempDir dir;
    const PageMade made = Prepare(source, dir / "0.jpg", true);
    ASSERT_TRUE(made.result.written) << made.result.reason;
    ASSERT_TRUE(made.vectorPage);
    EXPECT_EQ(made.vectorPage->file, dir / "0.pdf");
    EXPECT_EQ(made.vectorPage->pageWidth, 420);
    EXPECT_EQ(made.vectorPage->pageHeight, 300);

    const fs::path pdf = dir / "doc.pdf";
    const PagePlan page{dir / "0.jpg", source, {}, {}, 0, 0, made.vectorPage};
    const PdfOutcome outcome = WritePages({page}, pdf, DocumentSettingsFor(CustomPageOptions()), "t");
    ASSERT_EQ(outcome.status, PdfOutcome::Status::Written) << outcome.error;
    const PdfProbe probe = ProbePdf(pdf);
    ASSERT_TRUE(probe.opened) << probe.error;
    ASSERT_EQ(probe.pages.size(), 1u);
    EXPECT_EQ(probe.pages[0].mediaBox, (std::array<double, 4>{0, 0, 420, 300}));
    EXPECT_TRUE(probe.pages[0].images.empty()) << "the page draws a form, not a picture";

    std::string why;
    const fs::path drawn = RenderPdfPage(pdf, 1, 72, why);
    if (drawn.empty()) {
        GTEST_SKIP() << why;
    }
    const double difference = MeanDifference(dir / "0.jpg", drawn);
    EXPECT_GE(difference, 0) << "the pages differ in size";
    EXPECT_LT(difference, row.tolerance);
    const std::vector<std::string> images = Listing("/usr/bin/pdfimages", {"-list", pdf.string()}, why);
    ASSERT_TRUE(why.empty()) << why;
    EXPECT_EQ(!images.empty(), row.bitmaps) << images.size() << " images";
    if (row.text) {
        EXPECT_GE(EmbeddedFonts(pdf, why), 1u) << why;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Metafile, VectorPages,
    testing::Values(VectorRow{"test-007.emf", false, false, 3}, VectorRow{"drawing.emf", false, false, 3},
                    VectorRow{"test-186.emf", false, false, 3}, VectorRow{"test-013.emf", false, true, 6},
                    VectorRow{"test-142.emf", true, true, 6}, VectorRow{"test-038.emf", true, true, 16}));

// On a sheet that turns by the drawing's shape, the vectors land on the
// same sheet, turned the same way, in the same place as the page picture.
TEST(VectorPages, OnATurningSheetGoWhereThePagePictureShowsTheDrawing) {
    ConvertOptions options;
    options.paper = PaperSize::A4;
    options.orientation = PageOrientation::Auto;
    options.dpi = 100;
    options.margin = 15;
    TempDir dir;
    const fs::path source = Corpus() / "emf" / "test-039.emf"; // A4 landscape
    const PageMade made = Prepare(source, dir / "0.jpg", true, options);
    ASSERT_TRUE(made.vectorPage);
    const PagePlan raster{dir / "0.jpg", source, {}, {}};
    PagePlan vectors = raster;
    vectors.vectorPage = made.vectorPage;
    for (const auto& [page, name] : {std::pair{raster, "raster.pdf"}, std::pair{vectors, "vectors.pdf"}}) {
        const PdfOutcome outcome = WritePages({page}, dir / name, DocumentSettingsFor(options), "t");
        ASSERT_EQ(outcome.status, PdfOutcome::Status::Written) << outcome.error;
    }
    const PdfProbe rasterProbe = ProbePdf(dir / "raster.pdf"), vectorProbe = ProbePdf(dir / "vectors.pdf");
    ASSERT_EQ(vectorProbe.pages.size(), 1u);
    ASSERT_EQ(rasterProbe.pages.size(), 1u);
    EXPECT_EQ(vectorProbe.pages[0].mediaBox, rasterProbe.pages[0].mediaBox);
    EXPECT_GT(vectorProbe.pages[0].mediaBox[2], vectorProbe.pages[0].mediaBox[3]) << "a landscape sheet";
    std::string why;
    const fs::path rasterDrawn = RenderPdfPage(dir / "raster.pdf", 1, 50, why);
    const fs::path vectorDrawn = RenderPdfPage(dir / "vectors.pdf", 1, 50, why);
    if (rasterDrawn.empty() || vectorDrawn.empty()) {
        GTEST_SKIP() << why;
    }
    const double difference = MeanDifference(rasterDrawn, vectorDrawn);
    EXPECT_GE(difference, 0);
    EXPECT_LT(difference, 8);
}

// A metafile the players cannot draw keeps the page picture it has always
// had, with the same report, and leaves no vectors behind.
TEST(VectorPages, AMetafileThatCannotBeDrawnKeepsItsPagePicture) {
    for (const char* name : {"emf_corrupted_header.emf", "emf_not_a_header.emf", "emf_plus_bad_size.emf",
                             "emf_large_width_bitmap.emf"}) {
        SCOPED_TRACE(name);
        const fs::path source = Corpus() / "broken" / name;
        TempDir dir;
        const PageMade raster = Prepare(source, dir / "raster.jpg", false);
        const PageMade lossless = Prepare(source, dir / "0.jpg", true);
        EXPECT_EQ(lossless.result.written, raster.result.written);
        EXPECT_EQ(lossless.result.problem, raster.result.problem);
        EXPECT_EQ(lossless.result.reason, raster.result.reason);
        EXPECT_EQ(MeanDifference(dir / "raster.jpg", dir / "0.jpg"), 0) << "the page picture is as it was";
        if (raster.result.problem == PictureOutcome::Undecodable) {
            EXPECT_FALSE(lossless.vectorPage);
            EXPECT_FALSE(fs::exists(dir / "0.pdf"));
        }
    }
}

// Pictures other than metafiles have no vectors to draw.
TEST(VectorPages, OnlyMetafilesAreDrawnAsVectors) {
    TempDir dir;
    WriteSolidPicture(dir / "photo.jpg", 40, 30, {10, 200, 30});
    const PageMade made = Prepare(dir / "photo.jpg", dir / "0.jpg", true);
    EXPECT_TRUE(made.result.written);
    EXPECT_FALSE(made.vectorPage);
    EXPECT_FALSE(fs::exists(dir / "0.pdf"));
}

// The worker's word on where vectors go is checked as a kept JPEG's is, and
// never names a file for the other side to read.
TEST(VectorPages, NotesCarryThePlaceOnlyAndRefuseOneOutOfBounds) {
    const VectorPage vector{420, 300, {10, 20, 400, 260}, "/tmp/elsewhere.pdf"};
    PageNotes notes;
    notes.vectorPage = vector;
    const PageNotesRead read = PageNotesFromJson(PageNotesToJson(notes));
    ASSERT_TRUE(read.error.empty()) << read.error;
    ASSERT_TRUE(read.notes.vectorPage);
    EXPECT_EQ(read.notes.vectorPage->place, vector.place);
    EXPECT_EQ(read.notes.vectorPage->pageWidth, 420);
    EXPECT_TRUE(read.notes.vectorPage->file.empty());
    const std::string sized = R"({"vectorPage":{"pageWidth":420,"pageHeight":300)";
    for (const std::string& bad :
         {sized + R"(,"place":{"left":30,"top":0,"width":400,"height":10}}})", sized + "}}",
          std::string(R"({"vectorPage":{"pageWidth":0,"pageHeight":300,)"
                      R"("place":{"left":0,"top":0,"width":1,"height":1}}})")}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(PageNotesFromJson(bad).error.empty());
    }
}

// Through a whole job: a metafile's page is vectors beside a photo's page
// picture, except in a PDF/A-1b document, which cannot take cairo's font
// subsets and shows the page picture instead.
TEST(VectorPages, AJobDrawsMetafilesAsVectorsWhereTheDocumentTakesThem) {
    for (const PdfA pdfa : {PdfA::None, PdfA::A2b, PdfA::A1b}) {
        SCOPED_TRACE(static_cast<int>(pdfa));
        TempDir dir;
        WriteSolidPicture(dir / "photo.jpg", 60, 80, {10, 200, 30});
        JobState job;
        SetUpJob(job, {Corpus() / "emf" / "test-142.emf", dir / "photo.jpg"}, {});
        job.options.lossless = 1;
        job.options.pdfa = pdfa;
        ASSERT_TRUE(RunJob(job, dir.path(), std::time(nullptr), {}));
        ASSERT_EQ(job.report.documentsWritten.size(), 1u);
        EXPECT_TRUE(job.report.documentProblems.empty());
        const fs::path pdf = job.report.documentsWritten[0];
        const PdfProbe probe = ProbePdf(pdf);
        ASSERT_TRUE(probe.opened) << probe.error;
        ASSERT_EQ(probe.pages.size(), 2u);
        EXPECT_EQ(probe.pages[0].images.empty(), pdfa != PdfA::A1b) << "the metafile's page";
        EXPECT_EQ(probe.pages[1].images.size(), 1u) << "the photo's page";
        std::string why;
        EXPECT_EQ(EmbeddedFonts(pdf, why) > 0, pdfa != PdfA::A1b) << why;
        if (pdfa != PdfA::None) {
            // PDF/A lets no viewer smooth a picture, which cairo asks for.
            for (const std::string& image : Listing("/usr/bin/pdfimages", {"-list", pdf.string()}, why)) {
                EXPECT_EQ(Column(image, 9), "no") << image; // interp
            }
        }
    }
}

std::string WordsOf(const PreparedPage& page) {
    std::string words;
    if (page.text) {
        for (const RecognizedLine& line : page.text->lines) {
            for (const RecognizedWord& word : line.words) {
                words += word.text + " ";
            }
        }
    }
    return words;
}

// Text recognition reads the page picture of the same metafile: a page
// shown as vectors has the text it has without them.
TEST(VectorPages, TheirTextIsReadFromThePagePicture) {
    const std::vector<std::string> installed = InstalledOcrLanguages();
    if (std::find(installed.begin(), installed.end(), "eng") == installed.end()) {
        GTEST_SKIP() << "the English recognition data are not installed";
    }
    std::string read[2];
    for (const int lossless : {0, 1}) {
        TempDir dir;
        JobState job;
        SetUpJob(job, {Corpus() / "emf" / "test-142.emf"}, dir.path());
        job.options.paper = PaperSize::A4;
        job.options.lossless = lossless;
        job.options.ocrLanguages = "eng";
        PrepareImagesProc(job, {});
        ASSERT_TRUE(job.report.jobError.empty()) << job.report.jobError;
        ASSERT_EQ(job.prepared.size(), 1u);
        ASSERT_EQ(job.prepared[0].pages.size(), 1u);
        const PreparedPage& page = job.prepared[0].pages[0];
        EXPECT_EQ(page.vectorPage.has_value(), lossless == 1);
        if (page.vectorPage) {
            EXPECT_EQ(page.vectorPage->file, VectorPagePath(page.file));
            EXPECT_TRUE(fs::exists(page.vectorPage->file));
        }
        read[lossless] = WordsOf(page);
        DeleteFolderTree(job.workFolderPath);
    }
    EXPECT_FALSE(read[0].empty());
    EXPECT_EQ(read[1], read[0]);
}

// A reproducible document stays reproducible with vectors in it: nothing of
// the moment or the run they were drawn in reaches the document.
TEST(VectorPages, KeepAReproducibleDocumentTheSameBytes) {
    struct SourceDate {
        SourceDate() { ::setenv("SOURCE_DATE_EPOCH", "1765300000", 1); }
        ~SourceDate() { ::unsetenv("SOURCE_DATE_EPOCH"); } // no later test sees it
    } fixed;
    std::string documents[2];
    for (std::string& bytes : documents) {
        TempDir dir;
        JobState job;
        SetUpJob(job, {Corpus() / "emf" / "test-142.emf", Corpus() / "emf" / "test-013.emf"}, {});
        job.options.lossless = 1;
        ASSERT_TRUE(RunJob(job, dir.path(), std::time(nullptr), {}));
        ASSERT_EQ(job.report.documentsWritten.size(), 1u);
        std::ifstream in(job.report.documentsWritten[0], std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    EXPECT_FALSE(documents[0].empty());
    EXPECT_TRUE(documents[0] == documents[1]) << "the two documents differ";
}
