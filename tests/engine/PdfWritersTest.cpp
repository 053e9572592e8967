#include "ConvertOptions.h"
#include "KeepJpeg.h"
#include "PdfTestDocuments.h"
#include "TextLayerFont.h"

#include "PdfProbe.h"
#include "Pictures.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace fs = std::filesystem;

namespace {

// A line of text over the whole of a 40 x 60 page picture.
PageText SomeText() {
    return {40, 60, {{2, 10, 38, 20, 2, 18, 38, 18, {{"Hello", 2, 10, 38, 20}}}}};
}

struct WriterRow {
    const char* name;
    int32_t usePassword;
    int32_t forbidPrint;
};

class PdfWriters : public testing::TestWithParam<WriterRow> {};

} // namespace

// A page with a text layer goes through libqpdf, the same page without
// through libharu: apart from the text, the two documents must show the same
// pages, tell the same things about themselves and be protected alike.
TEST_P(PdfWriters, ShowThePagesAlike) {
    const WriterRow& row = GetParam();
    TempDir dir;
    WriteSolidPicture(dir / "tall.jpg", 40, 60, {10, 20, 30});
    WriteSolidPicture(dir / "wide.jpg", 60, 40, {200, 20, 30});
    ConvertOptions options;
    options.pageWidth = 40;
    options.pageHeight = 60;
    options.usePassword = row.usePassword;
    options.password = u"secret";
    options.forbidPrint = row.forbidPrint;
    const std::vector<PagePlan> plain = {{dir / "tall.jpg", {}, {}, {}}, {dir / "wide.jpg", {}, {}, {}}};
    std::vector<PagePlan> withText = plain;
    withText[0].text = SomeText();
    ASSERT_EQ(WritePages(plain, dir / "haru.pdf", DocumentSettingsFor(options), "Title").status,
              PdfOutcome::Status::Written);
    ASSERT_EQ(WritePages(withText, dir / "qpdf.pdf", DocumentSettingsFor(options), "Title").status,
              PdfOutcome::Status::Written);

    const std::string password = row.usePassword == 1 ? "secret" : "";
    const PdfProbe haru = ProbePdf(dir / "haru.pdf", password);
    const PdfProbe qpdf = ProbePdf(dir / "qpdf.pdf", password);
    ASSERT_TRUE(haru.opened && qpdf.opened) << haru.error << qpdf.error;
    EXPECT_EQ(qpdf.version, haru.version);
    ASSERT_EQ(qpdf.pages.size(), 2u);
    ASSERT_EQ(haru.pages.size(), 2u);
    for (size_t n = 0; n < 2; ++n) {
        SCOPED_TRACE("page " + std::to_string(n));
        EXPECT_EQ(qpdf.pages[n].mediaBox, haru.pages[n].mediaBox);
        EXPECT_EQ(qpdf.pages[n].matrices, haru.pages[n].matrices);
        ASSERT_EQ(qpdf.pages[n].images.size(), 1u);
        ASSERT_EQ(haru.pages[n].images.size(), 1u);
        EXPECT_EQ(qpdf.pages[n].images[0].width, haru.pages[n].images[0].width);
        EXPECT_EQ(qpdf.pages[n].images[0].height, haru.pages[n].images[0].height);
        EXPECT_EQ(qpdf.pages[n].images[0].filters, haru.pages[n].images[0].filters);
        EXPECT_TRUE(qpdf.pages[n].images[0].bytes == haru.pages[n].images[0].bytes);
        // The CJK font selected on every page, and the text layer's font where there is text.
        std::vector<std::string> fonts = haru.pages[n].fontBaseNames;
        if (n == 0) {
            fonts.push_back(std::string("/") + kTextFontName);
        }
        std::vector<std::string> written = qpdf.pages[n].fontBaseNames;
        std::sort(fonts.begin(), fonts.end());
        std::sort(written.begin(), written.end());
        EXPECT_EQ(written, fonts);
    }
    ASSERT_TRUE(qpdf.openAction && haru.openAction);
    EXPECT_EQ(qpdf.openAction->pageIndex, haru.openAction->pageIndex);
    EXPECT_EQ(qpdf.openAction->kind, haru.openAction->kind);
    EXPECT_EQ(qpdf.openAction->parameters, haru.openAction->parameters);
    EXPECT_EQ(qpdf.info.at("/Title"), "Title");
    EXPECT_EQ(qpdf.info.at("/Producer"), haru.info.at("/Producer"));
    // Written within moments of each other: the same day, in the same form.
    EXPECT_EQ(qpdf.info.at("/CreationDate").substr(0, 10), haru.info.at("/CreationDate").substr(0, 10));
    EXPECT_EQ(qpdf.info.at("/CreationDate").size(), haru.info.at("/CreationDate").size());

    ASSERT_EQ(qpdf.encryption.has_value(), haru.encryption.has_value());
    if (haru.encryption) {
        EXPECT_EQ(qpdf.encryption->R, haru.encryption->R);
        EXPECT_EQ(qpdf.encryption->V, haru.encryption->V);
        EXPECT_EQ(qpdf.encryption->keyBits, haru.encryption->keyBits);
        EXPECT_EQ(qpdf.encryption->userPasswordMatched, haru.encryption->userPasswordMatched);
        EXPECT_EQ(qpdf.encryption->allowPrint, haru.encryption->allowPrint);
        EXPECT_EQ(qpdf.encryption->allowModify, haru.encryption->allowModify);
        EXPECT_EQ(qpdf.encryption->allowExtract, haru.encryption->allowExtract);
        if (row.forbidPrint != 1) {
            EXPECT_EQ(qpdf.encryption->P, haru.encryption->P);
        }
        const PdfProbe owner = ProbePdf(dir / "qpdf.pdf", kPermissionsPassword);
        EXPECT_TRUE(owner.opened && owner.encryption->ownerPasswordMatched);
    }
}

INSTANTIATE_TEST_SUITE_P(Protections, PdfWriters,
                         testing::Values(WriterRow{"Unprotected", 0, 0}, WriterRow{"Password", 1, 0},
                                         WriterRow{"ForbidPrint", 0, 1}, WriterRow{"Both", 1, 1}),
                         [](const auto& info) { return info.param.name; });

// A kept picture that cannot be read says so, with the system's reason; only
// a source whose size or time differs from when it was checked "changed".
TEST(KeptJpeg, ReadFailuresSayWhyAndOnlyAChangedSourceChanged) {
    TempDir dir;
    const fs::path source = dir / "photo.jpg";
    fs::copy_file(Corpus() / "jpeg" / "flower.jpg", source);
    ConvertOptions options;
    options.pageWidth = 200;
    options.pageHeight = 300;
    const std::optional<KeptJpeg> kept = KeepJpegAsIs(source, dir / "0.jpg", PageSetupOf(options)).kept;
    ASSERT_TRUE(kept.has_value());
    struct stat info {};
    ASSERT_EQ(::stat(source.c_str(), &info), 0);
    const LinkedSource checked{{},
                               static_cast<uint64_t>(info.st_size),
                               int64_t{info.st_mtim.tv_sec} * 1'000'000'000 + info.st_mtim.tv_nsec};
    fs::create_directory(dir / "folder.jpg");

    struct Row {
        const char* what;
        fs::path file;
        std::optional<LinkedSource> linked;
        std::string expected; // in the reason
        bool changed;         // the reason says the picture changed
    };
    LinkedSource touched = checked;
    touched.modifiedNs += 1'000'000'000;
    const Row rows[] = {
        {"a folder in the page's place", dir / "folder.jpg", std::nullopt, std::strerror(EISDIR), false},
        {"a linked source gone", dir / "gone.jpg", checked, std::strerror(ENOENT), false},
        {"a linked source touched since", source, touched, "photo.jpg", true},
        {"a linked source as checked", source, checked, "", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        PagePlan page{row.file, source, kept, {}};
        page.keptJpeg->linked = row.linked;
        const PdfOutcome outcome = WritePages({page}, dir / "doc.pdf", DocumentSettingsFor(options));
        if (row.expected.empty()) {
            EXPECT_EQ(outcome.status, PdfOutcome::Status::Written) << outcome.error;
            continue;
        }
        EXPECT_EQ(outcome.status, PdfOutcome::Status::Failed);
        EXPECT_NE(outcome.error.find(row.expected), std::string::npos) << outcome.error;
        EXPECT_EQ(outcome.error.find("changed") != std::string::npos, row.changed) << outcome.error;
        EXPECT_FALSE(fs::exists(dir / "doc.pdf"));
    }
}

// A cancel request ends a document unwritten with either writer, and leaves
// nothing behind, not even the temporary file.
TEST(PdfWriters, ACancelledDocumentLeavesNothing) {
    TempDir dir;
    WriteSolidPicture(dir / "0.jpg", 40, 60, {10, 20, 30});
    ConvertOptions options;
    options.pageWidth = 40;
    options.pageHeight = 60;
    const std::atomic<bool> cancel{true};
    for (const bool text : {false, true}) {
        SCOPED_TRACE(text ? "libqpdf" : "libharu");
        DocumentPlan plan = PlanDocument({}, dir / "doc.pdf", {}, DocumentSettingsFor(options));
        plan.pages.push_back({dir / "0.jpg", {}, {}, {}});
        if (text) {
            plan.pages[0].text = SomeText();
        }
        EXPECT_EQ(WritePdfDocument(plan, &cancel).status, PdfOutcome::Status::Cancelled);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
    }
}
