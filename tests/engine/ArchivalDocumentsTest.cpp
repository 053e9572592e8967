#include "ConvertOptions.h"
#include "DocumentPlan.h"
#include "PdfAssembly.h"
#include "PdfTestDocuments.h"

#include "PdfProbe.h"
#include "Pictures.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

namespace fs = std::filesystem;

namespace {

PageText SomeText() {
    return {40, 60, {{2, 10, 38, 20, 2, 18, 38, 18, {{"Hello", 2, 10, 38, 20}}}}};
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// SOURCE_DATE_EPOCH for the life of the object, unset again afterwards so
// that no later test sees it.
class ScopedSourceDate {
  public:
    explicit ScopedSourceDate(const char* value) { ::setenv("SOURCE_DATE_EPOCH", value, 1); }
    ~ScopedSourceDate() { ::unsetenv("SOURCE_DATE_EPOCH"); }
    ScopedSourceDate(const ScopedSourceDate&) = delete;
    ScopedSourceDate& operator=(const ScopedSourceDate&) = delete;
};

// Two 40 x 60 page pictures, the first with text when asked: with text the
// libqpdf writer writes them, without it libharu.
std::vector<PagePlan> TwoPages(const TempDir& dir, bool withText) {
    WriteSolidPicture(dir / "a.jpg", 40, 60, {10, 20, 30});
    WriteSolidPicture(dir / "b.jpg", 40, 60, {200, 20, 30});
    std::vector<PagePlan> pages = {{dir / "a.jpg", {}, {}, {}}, {dir / "b.jpg", {}, {}, {}, 1}};
    if (withText) {
        pages[0].text = SomeText();
    }
    return pages;
}

ConvertOptions SmallPages() {
    ConvertOptions options;
    options.pageWidth = 40;
    options.pageHeight = 60;
    return options;
}

} // namespace

// What the user gives goes into the document information with either
// writer; what is not given is not there, and the title stays the default.
TEST(DocumentProperties, ReachEitherWriterAndOnlyWhenGiven) {
    for (const bool withText : {false, true}) {
        SCOPED_TRACE(withText ? "libqpdf" : "libharu");
        TempDir dir;
        const std::vector<PagePlan> pages = TwoPages(dir, withText);
        ConvertOptions options = SmallPages();
        ASSERT_EQ(WritePages(pages, dir / "plain.pdf", DocumentSettingsFor(options), "Folder").status,
                  PdfOutcome::Status::Written);
        const PdfProbe plain = ProbePdf(dir / "plain.pdf");
        EXPECT_EQ(plain.info.at("/Title"), "Folder");
        EXPECT_EQ(plain.info.count("/Author") + plain.info.count("/Subject") + plain.info.count("/Keywords"),
                  0u);
        EXPECT_TRUE(plain.metadata.empty());
        EXPECT_TRUE(plain.outline.empty());

        options.properties = {"Akten 2026 – 第一", "Zoë & Co", "Steuer", "Beleg, 2026"};
        ASSERT_EQ(WritePages(pages, dir / "given.pdf", DocumentSettingsFor(options), "Folder").status,
                  PdfOutcome::Status::Written);
        const PdfProbe given = ProbePdf(dir / "given.pdf");
        ASSERT_TRUE(given.opened) << given.error;
        EXPECT_EQ(given.info.at("/Title"), "Akten 2026 – 第一");
        EXPECT_EQ(given.info.at("/Author"), "Zoë & Co");
        EXPECT_EQ(given.info.at("/Subject"), "Steuer");
        EXPECT_EQ(given.info.at("/Keywords"), "Beleg, 2026");
        EXPECT_EQ(given.version, plain.version) << "properties alone change no writer";
    }
}

// One entry per picture, after its file, at its first page; the pages of a
// picture of several pages under it. Only merged documents have them.
TEST(Bookmarks, OneEntryPerPictureWithTheOtherPagesUnderIt) {
    TempDir dir;
    std::vector<PreparedPage> prepared;
    const auto add = [&](const char* source, size_t picture, size_t part, size_t parts) {
        const fs::path file = dir / (std::to_string(prepared.size()) + ".jpg");
        WriteSolidPicture(file, 40, 60, {10, 20, 30});
        prepared.push_back({dir / source, picture, part, parts, file, {}, {}, {}, {}});
    };
    add("front.jpg", 0, 0, 1);
    add("scan.tiff", 1, 0, 3);
    add("scan.tiff", 1, 1, 3);
    add("scan.tiff", 1, 2, 3);
    add("Zoë.png", 2, 0, 1);
    std::vector<const PreparedPage*> pages;
    for (const PreparedPage& page : prepared) {
        pages.push_back(&page);
    }
    ConvertOptions options = SmallPages();
    options.bookmarks = 1;
    const DocumentPlan plan = PlanDocument(pages, dir / "result.pdf", "", DocumentSettingsFor(options));
    ASSERT_EQ(WritePdfDocument(plan).status, PdfOutcome::Status::Written);

    const PdfProbe probe = ProbePdf(dir / "result.pdf");
    ASSERT_TRUE(probe.opened) << probe.error;
    ASSERT_EQ(probe.outline.size(), 3u);
    EXPECT_EQ(probe.outline[0].title, "front");
    EXPECT_EQ(probe.outline[0].pageIndex, 0);
    EXPECT_TRUE(probe.outline[0].children.empty());
    EXPECT_EQ(probe.outline[1].title, "scan");
    EXPECT_EQ(probe.outline[1].pageIndex, 1);
    ASSERT_EQ(probe.outline[1].children.size(), 2u);
    EXPECT_EQ(probe.outline[1].children[0].title, "page 2");
    EXPECT_EQ(probe.outline[1].children[0].pageIndex, 2);
    EXPECT_EQ(probe.outline[1].children[1].title, "page 3");
    EXPECT_EQ(probe.outline[1].children[1].pageIndex, 3);
    EXPECT_EQ(probe.outline[2].title, "Zoë");
    EXPECT_EQ(probe.outline[2].pageIndex, 4);
    EXPECT_EQ(probe.openAction->pageIndex, 4) << "the document still opens at its last page";

    options.mergeIntoOne = 0;
    EXPECT_FALSE(DocumentSettingsFor(options).bookmarks) << "one document per picture needs none";
}

// With SOURCE_DATE_EPOCH the same pages give the same bytes, whenever they
// are written and by either writer; without it the creation date is now.
TEST(ReproducibleDocuments, SamePagesGiveTheSameBytes) {
    struct Row {
        const char* name;
        bool withText;
        int32_t bookmarks;
        PdfA pdfa;
    };
    const Row rows[] = {{"libharu", false, 0, PdfA::None},
                        {"text layer", true, 0, PdfA::None},
                        {"bookmarks", false, 1, PdfA::None},
                        {"PDF/A-1b", true, 1, PdfA::A1b},
                        {"PDF/A-2b", false, 0, PdfA::A2b}};
    TempDir dir;
    const ScopedSourceDate date("1700000000");
    for (const char* round : {"first", "second"}) {
        for (const Row& row : rows) {
            const fs::path folder = dir / round / row.name;
            fs::create_directories(folder);
            ConvertOptions options = SmallPages();
            options.bookmarks = row.bookmarks;
            options.pdfa = row.pdfa;
            ASSERT_EQ(
                WritePages(TwoPages(dir, row.withText), folder / "doc.pdf", DocumentSettingsFor(options))
                    .status,
                PdfOutcome::Status::Written)
                << row.name;
        }
        // The clock moves on between the two rounds.
        std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    }
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const fs::path first = dir / "first" / row.name / "doc.pdf";
        EXPECT_EQ(ReadBytes(first), ReadBytes(dir / "second" / row.name / "doc.pdf"));
        const std::string created = ProbePdf(first).info.at("/CreationDate");
        EXPECT_EQ(created.substr(0, 16), "D:20231114221320") << "the moment, in universal time";
    }
}

TEST(ReproducibleDocuments, ASourceDateThatIsNoNumberIsIgnored) {
    for (const char* value : {"", "17e8", "-5", "1700000000 ", "99999999999999999999"}) {
        const ScopedSourceDate date(value);
        EXPECT_FALSE(DocumentSettingsFor(SmallPages()).fixedTime.has_value()) << "\"" << value << "\"";
    }
}

// A PDF/A document names its level and its colours, repeats its information
// in its metadata and refers to no font it does not carry.
TEST(PdfA, DeclaresItselfAndCarriesEveryFont) {
    for (const PdfA level : {PdfA::A1b, PdfA::A2b}) {
        const bool first = level == PdfA::A1b;
        SCOPED_TRACE(first ? "1b" : "2b");
        TempDir dir;
        ConvertOptions options = SmallPages();
        options.pdfa = level;
        options.properties.title = "Fish & <Chips>";
        options.properties.author = "Zoë";
        ASSERT_EQ(WritePages(TwoPages(dir, true), dir / "a.pdf", DocumentSettingsFor(options)).status,
                  PdfOutcome::Status::Written);
        const PdfProbe probe = ProbePdf(dir / "a.pdf");
        ASSERT_TRUE(probe.opened) << probe.error;
        EXPECT_EQ(probe.version, first ? "1.4" : "1.7");
        ASSERT_EQ(probe.outputIntents.size(), 1u);
        EXPECT_EQ(probe.outputIntents[0].rfind("/GTS_PDFA1 ", 0), 0u);
        EXPECT_NE(probe.outputIntents[0], "/GTS_PDFA1 0") << "the profile is embedded";
        EXPECT_NE(probe.metadata.find(std::string("<pdfaid:part>") + (first ? "1" : "2") + "</pdfaid:part>"),
                  std::string::npos);
        EXPECT_NE(probe.metadata.find("Fish &amp; &lt;Chips&gt;"), std::string::npos) << probe.metadata;
        EXPECT_NE(probe.metadata.find("<rdf:li>Zoë</rdf:li>"), std::string::npos);
        EXPECT_EQ(probe.info.at("/ModDate"), probe.info.at("/CreationDate"));
        EXPECT_FALSE(probe.trailerId.empty());
        for (const PdfPage& page : probe.pages) {
            for (const std::string& font : page.fontBaseNames) {
                EXPECT_NE(font, "/SimHei") << "an unembedded font";
            }
        }
    }
}

TEST(PdfA, RefusesEncryption) {
    TempDir dir;
    ConvertOptions options = SmallPages();
    options.pdfa = PdfA::A1b;
    options.usePassword = 1;
    options.password = u"secret";
    const PdfOutcome outcome = WritePages(TwoPages(dir, false), dir / "a.pdf", DocumentSettingsFor(options));
    EXPECT_EQ(outcome.status, PdfOutcome::Status::Failed);
    EXPECT_EQ(outcome.error, kPdfANoEncryption);
    EXPECT_FALSE(fs::exists(dir / "a.pdf"));
}
