#include "KeepJpeg.h"
#include "Conversion.h"
#include "ConvertOptions.h"
#include "JpegMarkers.h"
#include "NormalizeImage.h"
#include "PageNotes.h"
#include "PdfProbe.h"
#include "PdfTestDocuments.h"
#include "Pictures.h"
#include "RenderPage.h"
#include "StageTestSupport.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>

namespace fs = std::filesystem;

namespace {

constexpr int kPageWidth = 200;
constexpr int kPageHeight = 300;

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// The source without its APP1 "Exif" segment, found by hand.
std::string WithoutExifSegment(const std::string& jpeg) {
    const size_t exif = jpeg.find(std::string("\xFF\xE1", 2));
    if (exif == std::string::npos || jpeg.compare(exif + 4, 6, std::string("Exif\0\0", 6)) != 0) {
        return jpeg;
    }
    const size_t length = static_cast<uint8_t>(jpeg[exif + 2]) << 8 | static_cast<uint8_t>(jpeg[exif + 3]);
    return jpeg.substr(0, exif) + jpeg.substr(exif + 2 + length);
}

ConvertOptions CustomPageOptions() {
    ConvertOptions options;
    options.pageWidth = kPageWidth;
    options.pageHeight = kPageHeight;
    return options;
}

// The first page of `source` as a decoder worker makes it, and its notes
// beside it, where the PDF side reads them.
PageMade Prepare(const fs::path& source, const fs::path& page, bool keepJpeg,
                 const PageSetup& setup = PageSetupOf(CustomPageOptions())) {
    RenderRequest request;
    request.settings = {setup, kDefaultJpegQuality, keepJpeg};
    request.source = source.string();
    request.destination = page.string();
    return FirstPageMade(request);
}

// The prepared page of `source` alone in a document, read back.
PdfProbe OnePageDocument(const fs::path& source, const fs::path& folder, bool keepJpeg,
                         fs::path* pdf = nullptr, const ConvertOptions& options = CustomPageOptions()) {
    fs::create_directories(folder);
    PagePlan page{folder / "0.jpg", source, {}, {}};
    if (keepJpeg) {
        page.keptJpeg = KeepJpegAsIs(source, page.file, PageSetupOf(options)).kept;
    }
    if (!page.keptJpeg) {
        EXPECT_TRUE(Prepare(source, page.file, false, PageSetupOf(options)).result.written);
    }
    const PdfOutcome outcome = WritePages({page}, folder / "doc.pdf", DocumentSettingsFor(options), "t");
    EXPECT_EQ(outcome.status, PdfOutcome::Status::Written) << outcome.error;
    if (pdf != nullptr) {
        *pdf = folder / "doc.pdf";
    }
    return ProbePdf(folder / "doc.pdf");
}

struct OrientationRow {
    int orientation;
    std::array<double, 6> matrix; // the square picture on the 200 x 300 page: 200 x 200, 50 from the bottom
};

class KeptJpegOrientation : public testing::TestWithParam<OrientationRow> {};

} // namespace

// A kept JPEG is the camera's bytes less the EXIF segment, turned by the
// page's matrix, and looks like the upright picture whatever its orientation.
TEST_P(KeptJpegOrientation, IsTheSourceTurnedByThePageMatrix) {
    const OrientationRow& row = GetParam();
    const fs::path folder = Corpus() / "exif-orientation";
    const fs::path source = row.orientation == 1
                                ? folder / "hopper_no_exif.jpg"
                                : folder / ("hopper_orientation_" + std::to_string(row.orientation) + ".jpg");
    TempDir dir;
    fs::path pdf, upright;
    const PdfProbe probe = OnePageDocument(source, dir / "turned", true, &pdf);
    ASSERT_TRUE(probe.opened) << probe.error;
    ASSERT_EQ(probe.pages.size(), 1u);
    const PdfPage& page = probe.pages[0];
    EXPECT_EQ(page.mediaBox, (std::array<double, 4>{0, 0, kPageWidth, kPageHeight}));
    ASSERT_EQ(page.images.size(), 1u);
    EXPECT_EQ(page.images[0].filters, std::vector<std::string>{"/DCTDecode"});
    EXPECT_EQ(page.images[0].width, 128);
    EXPECT_TRUE(page.images[0].bytes == WithoutExifSegment(ReadBytes(source)))
        << "not the source's own bytes";
    EXPECT_EQ(page.images[0].bytes.find("Exif"), std::string::npos);
    ASSERT_EQ(page.matrices.size(), 1u);
    EXPECT_EQ(page.matrices[0], row.matrix);

    OnePageDocument(folder / "hopper_no_exif.jpg", dir / "upright", true, &upright);
    std::string why;
    const fs::path shown = RenderPdfPage(pdf, 1, 72, why);
    const fs::path reference = RenderPdfPage(upright, 1, 72, why);
    if (shown.empty() || reference.empty()) {
        GTEST_SKIP() << why;
    }
    EXPECT_LT(MeanDifference(shown, reference), 6.0) << "does not look like the upright picture";
}

INSTANTIATE_TEST_SUITE_P(
    EightOrientations, KeptJpegOrientation,
    testing::Values(OrientationRow{1, {200, 0, 0, 200, 0, 50}}, OrientationRow{2, {-200, 0, 0, 200, 200, 50}},
                    OrientationRow{3, {-200, 0, 0, -200, 200, 250}},
                    OrientationRow{4, {200, 0, 0, -200, 0, 250}},
                    OrientationRow{5, {0, -200, -200, 0, 200, 250}},
                    OrientationRow{6, {0, -200, 200, 0, 0, 250}}, OrientationRow{7, {0, 200, 200, 0, 0, 50}},
                    OrientationRow{8, {0, 200, -200, 0, 200, 50}}),
    [](const auto& info) { return "Orientation" + std::to_string(info.param.orientation); });

// A picture whose turn swaps its sides lands where the rendered page puts it,
// on a page of pixels and on a sheet with a margin that turns with the picture.
TEST(KeptJpeg, LandsWhereTheRenderedPageWould) {
    const ConvertOptions sheet = [] {
        ConvertOptions options;
        options.paper = PaperSize::A5;
        options.dpi = 72;
        options.orientation = PageOrientation::Auto;
        options.margin = 8;
        return options;
    }();
    const ConvertOptions pixels = CustomPageOptions();
    for (const auto& [orientation, setup] :
         {std::pair{1, &pixels}, std::pair{6, &pixels}, std::pair{7, &pixels}, std::pair{1, &sheet},
          std::pair{6, &sheet}}) {
        SCOPED_TRACE("orientation " + std::to_string(orientation) + ", paper " + PaperName(setup->paper));
        TempDir dir;
        WriteQuarteredJpeg(dir / "wide.jpg", 320, 90, orientation);
        fs::path kept, rendered;
        const PdfProbe probe = OnePageDocument(dir / "wide.jpg", dir / "kept", true, &kept, *setup);
        ASSERT_EQ(probe.pages.at(0).images.at(0).width, 320) << "not kept";
        const PdfProbe reference =
            OnePageDocument(dir / "wide.jpg", dir / "rendered", false, &rendered, *setup);
        EXPECT_EQ(probe.pages.at(0).mediaBox, reference.pages.at(0).mediaBox);
        std::string why;
        const fs::path a = RenderPdfPage(kept, 1, 72, why);
        const fs::path b = RenderPdfPage(rendered, 1, 72, why);
        if (a.empty() || b.empty()) {
            GTEST_SKIP() << why;
        }
        EXPECT_LT(MeanDifference(a, b), 4.0);
    }
}

namespace {

// Makes the source of a row in `dir` and returns its path.
using SourceMaker = std::function<fs::path(const TempDir& dir)>;

fs::path CorpusFile(const char* folder, const char* name) {
    return Corpus() / folder / name;
}

// flower.jpg (less its EXIF, whose thumbnail has a frame header of its own)
// with bytes of its frame header changed.
fs::path PatchedFlower(const TempDir& dir, const char* name,
                       const std::function<void(std::string&, size_t)>& patch) {
    std::string bytes = WithoutExifSegment(ReadBytes(Corpus() / "jpeg" / "flower.jpg"));
    const size_t frame = bytes.find(std::string("\xFF\xC0", 2));
    patch(bytes, frame);
    WriteBytes(dir / name, bytes);
    return dir / name;
}

struct KeepRow {
    const char* name;
    SourceMaker make;
    bool kept;
};

class KeepDecision : public testing::TestWithParam<KeepRow> {};

} // namespace

// Only what a PDF shows as it is goes in byte for byte; everything else is
// rendered and reported exactly as without the option.
TEST_P(KeepDecision, KeepsOnlyWhatThePdfShowsAsItIs) {
    const KeepRow& row = GetParam();
    TempDir dir;
    const fs::path source = row.make(dir);
    const PageMade made = Prepare(source, dir / "0.jpg", true);
    const NormalizeResult& kept = made.result;
    EXPECT_EQ(made.keptJpeg.has_value(), row.kept);
    if (row.kept) {
        EXPECT_TRUE(kept.written && !kept.problem) << kept.reason;
        // The page is the source itself (a link) with its EXIF to be left
        // out, or a copy without it.
        std::string page = ReadBytes(dir / "0.jpg");
        if (const auto& linked = made.keptJpeg->linked) {
            for (auto part = linked->leaveOut.rbegin(); part != linked->leaveOut.rend(); ++part) {
                page.erase(part->first, part->second);
            }
        }
        EXPECT_TRUE(page == WithoutExifSegment(ReadBytes(source)));
        return;
    }
    const NormalizeResult rendered = NormalizeImage(kPageWidth, kPageHeight, source, dir / "1.jpg");
    EXPECT_EQ(kept.written, rendered.written);
    EXPECT_EQ(kept.problem, rendered.problem);
    EXPECT_EQ(kept.reason, rendered.reason);
    const PictureSize size = ReadSize(dir / "0.jpg");
    EXPECT_EQ(size.width, kPageWidth);
    EXPECT_EQ(size.height, kPageHeight);
}

INSTANTIATE_TEST_SUITE_P(
    Jpegs, KeepDecision,
    testing::Values(
        KeepRow{"Baseline", [](const TempDir&) { return CorpusFile("jpeg", "flower.jpg"); }, true},
        KeepRow{"Progressive", [](const TempDir&) { return CorpusFile("jpeg", "app13-multiple.jpg"); }, true},
        KeepRow{"Grey", [](const TempDir&) { return CorpusFile("jpeg", "hopper_gray.jpg"); }, true},
        KeepRow{"AdobeRgb", [](const TempDir&) { return CorpusFile("jpeg", "pil_sample_rgb.jpg"); }, true},
        // Nothing is decoded: damage inside the coded data goes in as the
        // file holds it, where viewers show it as they show the file.
        KeepRow{"CorruptCodedData",
                [](const TempDir& dir) {
                    std::string bytes = ReadBytes(Corpus() / "jpeg" / "flower.jpg");
                    for (size_t i = bytes.size() / 2; i < bytes.size() / 2 + 200; i += 7) {
                        bytes[i] = bytes[i] == '\x11' ? '\x22' : '\x11';
                    }
                    WriteBytes(dir / "corrupt.jpg", bytes);
                    return dir / "corrupt.jpg";
                },
                true},
        KeepRow{"Cmyk", [](const TempDir&) { return CorpusFile("jpeg", "pil_sample_cmyk.jpg"); }, false},
        KeepRow{"Arithmetic",
                [](const TempDir& dir) {
                    WriteArithmeticJpeg(dir / "arith.jpg", 64, 48);
                    return dir / "arith.jpg";
                },
                false},
        KeepRow{"TwelveBit",
                [](const TempDir& dir) {
                    return PatchedFlower(dir, "twelve.jpg",
                                         [](std::string& b, size_t frame) { b[frame + 4] = 12; });
                },
                false},
        KeepRow{"RgbByNameOnly",
                [](const TempDir& dir) {
                    return PatchedFlower(dir, "rgb.jpg", [](std::string& b, size_t frame) {
                        b[frame + 10] = 'R';
                        b[frame + 13] = 'G';
                        b[frame + 16] = 'B';
                    });
                },
                false},
        KeepRow{"Truncated",
                [](const TempDir& dir) {
                    const std::string bytes = ReadBytes(Corpus() / "jpeg" / "flower.jpg");
                    WriteBytes(dir / "cut.jpg", bytes.substr(0, bytes.size() * 2 / 3));
                    return dir / "cut.jpg";
                },
                false},
        KeepRow{"CutPrimaryPicture", [](const TempDir&) { return CorpusFile("jpeg", "ultrahdr.jpg"); },
                false},
        KeepRow{"BrokenHeader", [](const TempDir&) { return CorpusFile("broken", "truncated_app14.jpg"); },
                false},
        KeepRow{"Png", [](const TempDir&) { return CorpusFile("png", "basn2c08.png"); }, false}),
    [](const auto& info) { return info.param.name; });

// A kept picture goes into the document from its own file, checked when it
// was prepared: a source changed or removed before the document is written is
// a failure that names it, never another picture or a missing page.
TEST(KeptJpeg, ASourceChangedBeforeItsDocumentIsReported) {
    const std::pair<const char*, std::function<void(const fs::path&)>> changes[] = {
        {"rewritten",
         [](const fs::path& source) { WriteBytes(source, ReadBytes(Corpus() / "jpeg" / "hopper.jpg")); }},
        {"removed", [](const fs::path& source) { fs::remove(source); }},
    };
    for (const auto& [what, change] : changes) {
        SCOPED_TRACE(what);
        TempDir dir;
        const fs::path source = dir / "photo.jpg";
        fs::copy_file(Corpus() / "jpeg" / "flower.jpg", source);
        JobState job;
        SetUpJob(job, {source}, {});
        job.options.keepJpeg = 1;
        StageObserver observer;
        observer.done = [&](Stage finished) {
            if (finished == Stage::Prepare) {
                change(source);
            }
        };
        ASSERT_TRUE(RunJob(job, dir.path(), std::time(nullptr), observer));
        EXPECT_TRUE(job.report.documentsWritten.empty());
        ASSERT_EQ(job.report.documentProblems.size(), 1u);
        EXPECT_NE(job.report.documentProblems[0].reason.find("photo.jpg"), std::string::npos)
            << job.report.documentProblems[0].reason;
    }
}

// A page kept a second time, where the first attempt left a link to another
// picture: the link is replaced, and no picture of the user's is written to.
TEST(KeptJpeg, APageKeptAgainNeverWritesThroughItsOldLink) {
    TempDir dir;
    const fs::path source = dir / "photo.jpg";
    const fs::path other = dir / "other.jpg";
    fs::copy_file(Corpus() / "jpeg" / "flower.jpg", source);
    fs::copy_file(Corpus() / "jpeg" / "flower.jpg", other);
    const std::string before = ReadBytes(other);
    const fs::path page = dir / "0.jpg";
    fs::create_symlink(other, page);
    ConvertOptions options;
    options.pageWidth = 480;
    options.pageHeight = 360;
    for (int attempt = 0; attempt < 2; ++attempt) {
        ASSERT_TRUE(KeepJpegAsIs(source, page, PageSetupOf(options)).kept.has_value());
    }
    EXPECT_EQ(ReadBytes(other), before);
    EXPECT_EQ(ReadBytes(source), before);
    EXPECT_EQ(StorePage(page, "x"), "cannot write the page " + page.string() + ": " + std::strerror(ELOOP))
        << "a page is never written through a link";
    EXPECT_EQ(ReadBytes(source), before);
}

TEST(PageNotes, TravelWithAnyFileNameAndRefuseWhatIsOutOfBounds) {
    KeptJpeg kept{640, 480, 6, 200, 300, {0, 0, 200, 267}};
    const PageNotes notes{fs::path("/photos/caf\xE9/IMG_0001.jpg"), kept}; // not UTF-8
    EXPECT_EQ(PageNotesFromJson(PageNotesToJson(notes)).notes, notes);
    PageNotes indexed = notes;
    indexed.keptJpeg->coding = StreamCoding{StreamCoding::Filter::Flate, 1, 2, true, false, std::string("\0\xFF\x10", 3)};
    EXPECT_EQ(PageNotesFromJson(PageNotesToJson(indexed)).notes, indexed);

    const std::string good = R"({"width":40,"height":60,"orientation":1,"pageWidth":200,"pageHeight":300,)";
    const std::string place = R"("place":{"left":0,"top":0,"width":20,"height":10},)";
    for (const std::string& bad :
         {std::string("not json"), std::string(R"({"keptJpeg": 5})"),
          R"({"keptJpeg":)" + good + R"("place":{"left":0,"top":0,"width":201,"height":10}}})",
          R"({"keptJpeg":)" + good + R"("place":{"left":-1,"top":0,"width":20,"height":10}}})",
          std::string(
              R"({"keptJpeg":{"width":40,"height":60,"orientation":9,"pageWidth":200,"pageHeight":300,)"
              R"("place":{"left":0,"top":0,"width":20,"height":10}}})"),
          // A coding no document shows: Group 4 in 8 bits, a palette larger than its indices reach.
          R"({"keptJpeg":)" + good + place +
              R"("coding":{"filter":1,"components":1,"bits":8,"pngPredictors":false,"blackIs1":false,"palette":[]}}})",
          R"({"keptJpeg":)" + good + place +
              R"("coding":{"filter":0,"components":1,"bits":1,"pngPredictors":true,"blackIs1":false,)"
              R"("palette":[0,0,0,1,1,1,2,2,2]}}})"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(PageNotesFromJson(bad).error.empty());
    }
}

TEST(JpegMarkers, ReadTheHeaderWithoutLeavingTheBytes) {
    const std::string baseline = ReadBytes(Corpus() / "jpeg" / "flower.jpg");
    const auto layout = ReadJpegLayout(baseline);
    ASSERT_TRUE(layout.has_value());
    EXPECT_EQ(layout->frameMarker, 0xC0);
    EXPECT_EQ(layout->width, 480);
    EXPECT_EQ(layout->height, 360);
    EXPECT_EQ(layout->exifSegments.size(), 1u);
    EXPECT_EQ(ReadJpegLayout(ReadBytes(Corpus() / "jpeg" / "app13-multiple.jpg"))->frameMarker, 0xC2);

    // Cut anywhere in its header, a file has no layout.
    const size_t scan = baseline.find(std::string("\xFF\xDA", 2), layout->exifSegments[0].second);
    for (size_t cut = 0; cut < scan + 4; cut += 5) {
        EXPECT_FALSE(ReadJpegLayout(baseline.substr(0, cut)).has_value()) << cut;
    }
}
