#include "Conversion.h"
#include "FolderTree.h"
#include "OcrLanguages.h"
#include "PdfProbe.h"
#include "PdfText.h"
#include "PrepareImages.h"
#include "StageTestSupport.h"
#include "TempDir.h"
#include "TextRecognition.h"
#include "Utf8.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <vips/vips8>

namespace fs = std::filesystem;

namespace {

constexpr const char* kEnglish = "Searchable documents make scans useful.\n"
                                 "The quick brown fox jumps over the lazy dog.";
constexpr const char* kChinese = "扫描件转换成可以搜索的文件。\n"
                                 "今天是2024年3月5日，会议在北京举行。";

bool Installed(const std::string& language) {
    const std::vector<std::string> installed = InstalledOcrLanguages();
    return std::find(installed.begin(), installed.end(), language) != installed.end();
}

// The text with every space and line end taken out.
std::string WithoutSpaces(const std::string& text) {
    std::string kept;
    std::copy_if(text.begin(), text.end(), std::back_inserter(kept),
                 [](char c) { return c != ' ' && c != '\n' && c != '\f'; });
    return kept;
}

bool IsHan(char32_t c) {
    return c >= 0x4E00 && c <= 0x9FFF;
}

// Whether a space (or a line end inside a line) stands between two Chinese
// characters: the false space that copying from other converters' documents
// brings.
bool SpaceBetweenHan(const std::string& text) {
    const std::u32string codes = Utf8ToUtf32(text).value_or(U"");
    for (size_t i = 1; i + 1 < codes.size(); ++i) {
        if (codes[i] == U' ' && IsHan(codes[i - 1]) && IsHan(codes[i + 1])) {
            return true;
        }
    }
    return false;
}

struct Job {
    TempDir save;
    JobState state;
};

// Converts `sources` one document per picture onto A4 pages at 150 dots per
// inch, protected by the password "secret".
void Convert(Job& job, const std::vector<fs::path>& sources, const std::string& languages) {
    SetUpJob(job.state, sources, {});
    job.state.options.pageWidth = 1240;
    job.state.options.pageHeight = 1754;
    job.state.options.mergeIntoOne = 0;
    job.state.options.usePassword = 1;
    job.state.options.password = u"secret";
    job.state.options.ocrLanguages = languages;
    ASSERT_TRUE(RunJob(job.state, job.save.path(), std::time(nullptr), {})) << job.state.report.jobError;
}

std::vector<std::string> FontsOf(const fs::path& pdf) {
    const PdfProbe probe = ProbePdf(pdf, "secret");
    EXPECT_TRUE(probe.opened) << probe.error;
    return probe.pages.empty() ? std::vector<std::string>{} : probe.pages[0].fontBaseNames;
}

} // namespace

TEST(Ocr, PrintedEnglishAndChineseBecomeTextThatSearchAndCopyFind) {
    if (!Installed("chi_sim") || !Installed("eng")) {
        GTEST_SKIP() << "the Chinese and English recognition data are not installed";
    }
    TempDir pictures;
    // Two sizes of print each, and a photograph without any text.
    const std::vector<fs::path> sources = {pictures / "english-10.png", pictures / "english-16.png",
                                           pictures / "chinese-10.png", pictures / "chinese-16.png",
                                           Corpus() / "jpeg" / "flower.jpg"};
    WriteTextPicture(sources[0], kEnglish, 10, 1200);
    WriteTextPicture(sources[1], kEnglish, 16, 1200);
    WriteTextPicture(sources[2], kChinese, 10, 1200);
    WriteTextPicture(sources[3], kChinese, 16, 1200);

    Job searchable;
    Convert(searchable, sources, "chi_sim+eng");
    EXPECT_TRUE(searchable.state.report.AllWell()) << searchable.state.report.pictureProblems.size();
    const fs::path output = searchable.state.options.outputFolder;
    for (const char* document : {"0.pdf", "1.pdf"}) {
        const std::string text = PdfToText(output / document, "secret").value_or("");
        for (const char* words : {"Searchable documents", "quick brown fox jumps over the lazy dog"}) {
            EXPECT_NE(text.find(words), std::string::npos) << document << " lacks \"" << words << "\":\n"
                                                           << text;
        }
    }
    for (const char* document : {"2.pdf", "3.pdf"}) {
        const std::string text = PdfToText(output / document, "secret").value_or("");
        for (const char* words : {"扫描件转换成可以搜索的文件", "2024年3月5日", "会议在北京举行"}) {
            EXPECT_NE(text.find(words), std::string::npos) << document << " lacks \"" << words << "\":\n"
                                                           << text;
        }
        EXPECT_FALSE(SpaceBetweenHan(text)) << document << ":\n" << text;
    }
    EXPECT_EQ(WithoutSpaces(PdfToText(output / "4.pdf", "secret").value_or("?")), "");
    const std::vector<std::string> photoFonts = FontsOf(output / "4.pdf");
    EXPECT_EQ(std::count(photoFonts.begin(), photoFonts.end(), "/GlyphLessFont"), 0)
        << "a picture without text has no text layer";
    EXPECT_FALSE(PdfToText(output / "2.pdf")) << "the text is protected by the password too";

    // The pages themselves are the very pages made without recognition.
    Job plain;
    Convert(plain, sources, "");
    for (const char* document : {"0.pdf", "1.pdf", "2.pdf", "3.pdf", "4.pdf"}) {
        const PdfProbe withText = ProbePdf(output / document, "secret");
        const PdfProbe without = ProbePdf(plain.state.options.outputFolder / document, "secret");
        ASSERT_EQ(withText.pages.size(), 1u) << document;
        ASSERT_EQ(without.pages.size(), 1u) << document;
        ASSERT_EQ(withText.pages[0].images.size(), 1u) << document;
        EXPECT_TRUE(withText.pages[0].images[0].bytes == without.pages[0].images[0].bytes) << document;
        EXPECT_EQ(PdfToText(plain.state.options.outputFolder / document, "secret").value_or("?"), "\f")
            << document << ": text without recognition";
    }
}

TEST(Ocr, AKeptJpegIsReadAsItIsShownAndItsTextSitsWhereItShows) {
    if (!Installed("eng")) {
        GTEST_SKIP() << "the English recognition data are not installed";
    }
    TempDir pictures;
    WriteTextPicture(pictures / "upright.png", kEnglish, 16, 1200);
    WriteTurnedJpeg(pictures / "upright.png", pictures / "turned.jpg");
    Job job;
    SetUpJob(job.state, {pictures / "turned.jpg"}, {});
    job.state.options.paper = PaperSize::A4;
    job.state.options.keepJpeg = 1;
    job.state.options.encryption = Encryption::Aes256;
    job.state.options.usePassword = 1;
    job.state.options.password = u"secret";
    job.state.options.ocrLanguages = "eng";
    ASSERT_TRUE(RunJob(job.state, job.save.path(), std::time(nullptr), {})) << job.state.report.jobError;
    ASSERT_TRUE(job.state.report.AllWell());
    const fs::path document = job.state.report.documentsWritten.at(0);

    const PdfProbe probe = ProbePdf(document, "secret");
    ASSERT_EQ(probe.pages.size(), 1u);
    ASSERT_EQ(probe.pages[0].images.size(), 1u);
    const PictureSize upright = ReadSize(pictures / "upright.png");
    EXPECT_EQ(probe.pages[0].images[0].width, upright.height) << "the JPEG went in as it is, turned";
    const std::string text = PdfToText(document, "secret").value_or("");
    EXPECT_NE(text.find("quick brown fox jumps over the lazy dog"), std::string::npos) << text;
    // The wide picture lies across the middle of the tall sheet, and so does its text.
    const std::optional<PdfWordBox> word = FindWord(document, "Searchable", "secret");
    ASSERT_TRUE(word);
    const double sheetHeight = probe.pages[0].mediaBox[3];
    EXPECT_GT(word->top, 0.35 * sheetHeight);
    EXPECT_LT(word->bottom, 0.6 * sheetHeight);
    EXPECT_LT(word->left, 0.1 * probe.pages[0].mediaBox[2]);
}

TEST(Ocr, ARecognitionThatFailsCostsTheTextNotThePage) {
    TempDir data;
    // Language data that is there but cannot be loaded.
    std::ofstream(data / "broken.traineddata") << "not language data";
    const char* before = std::getenv("TESSDATA_PREFIX");
    const std::string kept = before != nullptr ? before : "";
    ::setenv("TESSDATA_PREFIX", data.path().c_str(), 1);
    TempDir pictures;
    WriteTextPicture(pictures / "page.png", kEnglish, 12, 1200);
    Job job;
    Convert(job, {pictures / "page.png"}, "broken");
    if (before != nullptr) {
        ::setenv("TESSDATA_PREFIX", kept.c_str(), 1);
    } else {
        ::unsetenv("TESSDATA_PREFIX");
    }

    const JobReport& report = job.state.report;
    ASSERT_EQ(report.pictureProblems.size(), 1u);
    EXPECT_EQ(report.pictureProblems[0].outcome, PictureOutcome::NotRecognised);
    EXPECT_NE(report.pictureProblems[0].reason.find("broken"), std::string::npos)
        << report.pictureProblems[0].reason;
    EXPECT_EQ(report.picturesPrepared, 1);
    ASSERT_EQ(report.documentsWritten.size(), 1u);
    const PdfProbe probe = ProbePdf(report.documentsWritten[0], "secret");
    ASSERT_EQ(probe.pages.size(), 1u);
    EXPECT_EQ(probe.pages[0].images.size(), 1u) << "the page is there, only without text";
}

TEST(Ocr, ALanguageThatIsNotInstalledRefusesTheJob) {
    for (const char* languages : {"klingon", "eng+klingon", "eng+", "../eng", "eng chi_sim"}) {
        Job job;
        SetUpJob(job.state, {Corpus() / "jpeg" / "flower.jpg"}, {});
        job.state.options.ocrLanguages = languages;
        EXPECT_FALSE(RunJob(job.state, job.save.path(), std::time(nullptr), {})) << languages;
        EXPECT_EQ(job.state.report.refusal, JobRefusal::OcrLanguages) << languages;
        EXPECT_TRUE(fs::is_empty(job.save.path())) << languages;
    }
    Job job;
    SetUpJob(job.state, {Corpus() / "jpeg" / "flower.jpg"}, {});
    job.state.options.ocrLanguages = "eng+klingon";
    RunJob(job.state, job.save.path(), std::time(nullptr), {});
    EXPECT_NE(job.state.report.jobError.find("\"klingon\""), std::string::npos) << job.state.report.jobError;
}

namespace {

// The words of a prepared page's text, each with its box, in reading order.
std::string WordsOf(const PreparedPage& page) {
    std::string words;
    if (page.text) {
        for (const RecognizedLine& line : page.text->lines) {
            for (const RecognizedWord& word : line.words) {
                words += (words.empty() ? "" : " ") + word.text;
            }
        }
    }
    return words;
}

// Whether every box of the page's text lies inside `place` on its page picture.
bool TextInside(const PreparedPage& page, const PagePlacement& place) {
    for (const RecognizedLine& line : page.text->lines) {
        for (const RecognizedWord& word : line.words) {
            if (word.left < place.left || word.top < place.top || word.right > place.left + place.width ||
                word.bottom > place.top + place.height) {
                return false;
            }
        }
    }
    return true;
}

// A TIFF of the pictures `pages` (all of one size), one page each.
void WriteTextTiff(const fs::path& tiff, const std::vector<fs::path>& pages) {
    std::vector<vips::VImage> pictures;
    for (const fs::path& page : pages) {
        pictures.push_back(vips::VImage::new_from_file(page.c_str()).colourspace(VIPS_INTERPRETATION_sRGB));
    }
    vips::VImage joined = vips::VImage::arrayjoin(pictures, vips::VImage::option()->set("across", 1));
    joined = joined.copy();
    joined.set("page-height", pictures.front().height());
    joined.tiffsave(tiff.c_str());
}

} // namespace

// The text is read from the picture as decoded, at its own resolution, not
// from the page written from it: shrunk onto a small page at the lowest JPEG
// quality, this print is gone from the page but still on the source. Its
// boxes lie where the picture lands on the page.
TEST(Ocr, TextIsReadFromThePictureNotFromItsPage) {
    if (!Installed("eng")) {
        GTEST_SKIP() << "the English recognition data are not installed";
    }
    TempDir dir;
    WriteTextPicture(dir / "small print.png", kEnglish, 10, 2400);
    JobState job;
    SetUpJob(job, {dir / "small print.png"}, dir.path());
    job.options.pageWidth = 600; // far smaller than the picture, and of another shape
    job.options.pageHeight = 1000;
    job.options.jpegQuality = 1;
    job.options.ocrLanguages = "eng";
    PrepareImagesProc(job, {});
    ASSERT_TRUE(job.report.jobError.empty()) << job.report.jobError;
    EXPECT_TRUE(job.report.pictureProblems.empty()) << job.report.pictureProblems.at(0).reason;
    ASSERT_EQ(job.prepared.size(), 1u);
    ASSERT_EQ(job.prepared[0].pages.size(), 1u);
    const PreparedPage& page = job.prepared[0].pages[0];
    const std::string words = WordsOf(page);
    EXPECT_NE(words.find("quick brown fox jumps over the lazy dog"), std::string::npos) << words;
    ASSERT_TRUE(page.text);
    EXPECT_EQ(page.text->width, 600);
    EXPECT_EQ(page.text->height, 1000);
    const PictureSize picture = ReadSize(dir / "small print.png");
    EXPECT_TRUE(TextInside(page, FitPictureOnPage(600, 1000, picture.width, picture.height)));
    // The premise: the page written from the picture has lost that print.
    const KeptJpeg wholePage{600, 1000, 1, 600, 1000, {0, 0, 600, 1000}, std::nullopt};
    PreparedPage readFromPage = page;
    readFromPage.text = TextRecognizer().Recognize(page.file, wholePage, "eng").text;
    EXPECT_EQ(WordsOf(readFromPage).find("quick brown fox"), std::string::npos) << WordsOf(readFromPage);
    DeleteFolderTree(job.workFolderPath);
}

// A page of a multi-page TIFF that cannot be written, or whose reading takes
// its decoder down, costs that page (or its text) alone: the pages after it
// keep their text.
TEST(Ocr, AFailedPageLeavesTheTextOfThePagesAfterIt) {
    if (!Installed("eng")) {
        GTEST_SKIP() << "the English recognition data are not installed";
    }
    TempDir dir;
    const std::vector<std::string> texts = {"First page of the scanned letter.", "Second page in the middle.",
                                            "Third page with the signature."};
    std::vector<fs::path> pictures;
    for (size_t n = 0; n < texts.size(); ++n) {
        pictures.push_back(dir / ("page" + std::to_string(n) + ".png"));
        WriteTextPicture(pictures.back(), texts[n], 14, 1000);
    }
    ASSERT_EQ(ReadSize(pictures[0]).height, ReadSize(pictures[2]).height);
    WriteTextTiff(dir / "letter.tif", pictures);
    struct Row {
        const char* standIn;
        bool middlePageWritten;
        PictureOutcome middleOutcome;
    };
    for (const Row& row : {Row{"unwritable-second-page", false, PictureOutcome::NotPrepared},
                           Row{"crash-reading-second-page", true, PictureOutcome::NotRecognised}}) {
        SCOPED_TRACE(row.standIn);
        ::setenv("QUILLMARK_STAND_IN", row.standIn, 1);
        JobState job;
        SetUpJob(job, {dir / "letter.tif"}, dir.path());
        job.renderProgram = QUILLMARK_PAGE_CRASH_WORKER;
        job.options.pageWidth = 1000;
        job.options.pageHeight = 1400;
        job.options.ocrLanguages = "eng";
        PrepareImagesProc(job, {});
        ::unsetenv("QUILLMARK_STAND_IN");

        ASSERT_EQ(job.prepared.size(), 1u);
        const std::vector<PreparedPage>& pages = job.prepared[0].pages;
        ASSERT_EQ(pages.size(), 3u);
        EXPECT_EQ(pages[1].file.empty(), !row.middlePageWritten);
        EXPECT_EQ(pages[1].problem, row.middleOutcome);
        EXPECT_FALSE(pages[1].text);
        for (size_t part : {0u, 2u}) {
            EXPECT_FALSE(pages[part].file.empty()) << part;
            EXPECT_NE(WordsOf(pages[part]).find(texts[part].substr(0, texts[part].find(' '))),
                      std::string::npos)
                << part << ": " << WordsOf(pages[part]);
        }
        DeleteFolderTree(job.workFolderPath);
    }
}
