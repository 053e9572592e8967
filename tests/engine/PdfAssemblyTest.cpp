#include "ConvertOptions.h"
#include "PdfDocument.h"
#include "PdfTestDocuments.h"

#include "PdfProbe.h"
#include "Utf8.h"
#include "Pictures.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <fstream>
#include <iterator>
#include <set>

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 40;
constexpr int kHeight = 60;

ConvertOptions PageOptions(int32_t width = kWidth, int32_t height = kHeight) {
    ConvertOptions options;
    options.pageWidth = width;
    options.pageHeight = height;
    return options;
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::set<std::string> FileNames(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// Sends the library's diagnostic lines to a file for the length of a test.
class CapturedDiagnostics {
  public:
    CapturedDiagnostics() : file_(std::tmpfile()) { SetPdfDiagnosticsStream(file_); }
    ~CapturedDiagnostics() {
        SetPdfDiagnosticsStream(nullptr);
        std::fclose(file_);
    }
    std::string Text() {
        std::string text;
        std::rewind(file_);
        for (int c; (c = std::fgetc(file_)) != EOF;) {
            text += static_cast<char>(c);
        }
        return text;
    }

  private:
    std::FILE* file_;
};

} // namespace

TEST(PdfAssembly, MergedPagesKeepTheirOrderAndEmbedEachJpegUnchanged) {
    TempDir dir;
    const fs::path jpegs = dir / "jpegs";
    fs::create_directories(jpegs);
    std::vector<fs::path> pages;
    for (int n = 0; n < 12; ++n) {
        pages.push_back(jpegs / (std::to_string(n) + ".jpg"));
        WriteSolidPicture(pages.back(), kWidth, kHeight,
                          {uint8_t(n * 20), uint8_t(255 - n * 20), uint8_t(n % 2 * 200)});
    }
    pages.push_back(jpegs / "cover.jpg");
    WriteSolidPicture(pages.back(), kWidth, kHeight, {1, 2, 3});

    ConvertOptions options = PageOptions();
    options.password = u"secret"; // left from an earlier job; the password option is off
    const PdfOutcome outcome = WriteJpegs(pages, dir / "result.pdf", DocumentSettingsFor(options), "jpegs");
    ASSERT_EQ(outcome.status, PdfOutcome::Status::Written) << outcome.error;
    EXPECT_EQ(outcome.document, dir / "result.pdf");
    EXPECT_EQ(outcome.pages, 13);

    const PdfProbe pdf = ProbePdf(dir / "result.pdf");
    ASSERT_TRUE(pdf.opened) << pdf.error;
    EXPECT_EQ(pdf.version, "1.3");
    EXPECT_EQ(pdf.info.at("/Producer"), std::string("Quillmark ") + QUILLMARK_VERSION);
    EXPECT_EQ(pdf.info.at("/Title"), "jpegs"); // the folder's name
    EXPECT_EQ(pdf.info.at("/CreationDate").substr(0, 4), "D:20");
    EXPECT_FALSE(pdf.encryption.has_value());
    ASSERT_EQ(pdf.pages.size(), 13u);
    for (int n = 0; n < 13; ++n) {
        SCOPED_TRACE("page " + std::to_string(n));
        const PdfPage& page = pdf.pages[n];
        EXPECT_EQ(page.mediaBox, (std::array<double, 4>{0, 0, kWidth, kHeight}));
        ASSERT_EQ(page.images.size(), 1u);
        EXPECT_EQ(page.images[0].filters, std::vector<std::string>{"/DCTDecode"});
        EXPECT_EQ(page.images[0].width, kWidth);
        EXPECT_EQ(page.images[0].height, kHeight);
        const fs::path source = jpegs / (n < 12 ? std::to_string(n) + ".jpg" : "cover.jpg");
        EXPECT_TRUE(page.images[0].bytes == ReadBytes(source))
            << "page shows another picture than " << source;
        ASSERT_EQ(page.fontBaseNames.size(), 1u);
        EXPECT_NE(page.fontBaseNames[0].find("SimHei"), std::string::npos) << page.fontBaseNames[0];
    }
    ASSERT_TRUE(pdf.openAction.has_value());
    EXPECT_EQ(pdf.openAction->pageIndex, 12);
    EXPECT_EQ(pdf.openAction->kind, "/XYZ");
    EXPECT_EQ(pdf.openAction->parameters, (std::vector<double>{0, kHeight, 1}));
}

// The protection table: who may open the document and what it allows.
struct ProtectionRow {
    const char* name;
    int32_t forbidPrint;
    int32_t usePassword;
    std::u16string password;
    std::string openWith; // the password that must open it
    bool allowsAll;       // false: printing, changing and copying are all forbidden
};

// Each row is tried with both encryptions: RC4 (revision 3) and AES-256
// (revision 6) protect alike.
class PdfProtection : public testing::TestWithParam<std::tuple<ProtectionRow, Encryption>> {};

TEST_P(PdfProtection, OpensOnlyWithTheUserPasswordAndKeepsThePermissions) {
    const auto& [row, encryption] = GetParam();
    const bool aes = encryption == Encryption::Aes256;
    TempDir dir;
    WriteSolidPicture(dir / "0.jpg", kWidth, kHeight, {10, 20, 30});
    ConvertOptions options = PageOptions();
    options.forbidPrint = row.forbidPrint;
    options.usePassword = row.usePassword;
    options.password = row.password;
    options.encryption = encryption;
    const PdfOutcome outcome = JpegToPdf(dir / "0.jpg", dir / "0.pdf", DocumentSettingsFor(options));
    ASSERT_EQ(outcome.status, PdfOutcome::Status::Written) << outcome.error;
    EXPECT_EQ(FileNames(dir.path()), (std::set<std::string>{"0.jpg", "0.pdf"}));

    const PdfProbe pdf = ProbePdf(dir / "0.pdf", row.openWith);
    ASSERT_TRUE(pdf.opened) << pdf.error;
    ASSERT_TRUE(pdf.encryption.has_value());
    EXPECT_EQ(pdf.version, aes ? "1.7" : "1.4");
    EXPECT_EQ(pdf.encryption->R, aes ? 6 : 3);
    EXPECT_EQ(pdf.encryption->keyBits, aes ? 256 : 128);
    EXPECT_TRUE(pdf.encryption->userPasswordMatched);
    EXPECT_FALSE(pdf.encryption->ownerPasswordMatched);
    if (row.allowsAll) {
        EXPECT_EQ(pdf.encryption->P, -4); // everything allowed
        EXPECT_TRUE(pdf.encryption->allowPrint && pdf.encryption->allowModify &&
                    pdf.encryption->allowExtract);
    } else {
        if (!aes) {
            EXPECT_EQ(pdf.encryption->P, 0);
        }
        EXPECT_FALSE(pdf.encryption->allowPrint || pdf.encryption->allowModify ||
                     pdf.encryption->allowExtract);
    }
    EXPECT_EQ(pdf.info.at("/Title"), "0");
    ASSERT_EQ(pdf.pages.size(), 1u);
    EXPECT_TRUE(pdf.pages[0].images.at(0).bytes == ReadBytes(dir / "0.jpg")) << "image not decrypted intact";

    if (!row.openWith.empty()) {
        EXPECT_TRUE(ProbePdf(dir / "0.pdf", "").passwordRejected);
        EXPECT_TRUE(ProbePdf(dir / "0.pdf", row.openWith + "x").passwordRejected);
    }
    if (row.openWith != kPermissionsPassword) {
        const PdfProbe owner = ProbePdf(dir / "0.pdf", kPermissionsPassword);
        EXPECT_TRUE(owner.opened && owner.encryption->ownerPasswordMatched)
            << "the permissions password changed";
    }
}

INSTANTIATE_TEST_SUITE_P(
    PdfTable, PdfProtection,
    testing::Combine(testing::Values(ProtectionRow{"ForbidPrint", 1, 0, u"ignored", "", false},
                    ProtectionRow{"Password", 0, 1, u"secret", "secret", true},
                    ProtectionRow{"PasswordAndForbidPrint", 1, 1, u"secret", "secret", false},
                    ProtectionRow{"EmptyPassword", 0, 1, u"", "", true},
                    ProtectionRow{"NonAsciiPassword", 0, 1, u"密码\U0001F511", "密码\U0001F511", true},
                    // The permissions password itself as the open password.
                    ProtectionRow{"PermissionsPasswordAsPassword", 0, 1, u"kelpo", "kelpo", true},
                    ProtectionRow{"PermissionsPasswordAndForbidPrint", 1, 1, u"kelpo", "kelpo", false},
                    // Flags count only when they hold 1.
                    ProtectionRow{"FlagsOtherThanOne", 2, 1, u"secret", "secret", true}),
                     testing::Values(Encryption::Rc4, Encryption::Aes256)),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).name) +
               (std::get<1>(info.param) == Encryption::Aes256 ? "Aes256" : "Rc4");
    });

TEST(PdfAssembly, BrokenJpegFailsTheDocumentAndLeavesNoFile) {
    struct Case {
        const char* name;
        std::string content; // empty: zero bytes
    };
    for (const Case& broken : {Case{"empty", ""}, Case{"text", "this is not a picture\n"},
                               Case{"cut", "\xFF\xD8\xFF\xE0\x00\x10JFIF"}}) {
        SCOPED_TRACE(broken.name);
        TempDir dir;
        const fs::path jpegs = dir / "jpegs";
        fs::create_directories(jpegs);
        WriteSolidPicture(jpegs / "0.jpg", kWidth, kHeight, {1, 1, 1});
        WriteText(jpegs / "1.jpg", broken.content);
        WriteSolidPicture(jpegs / "2.jpg", kWidth, kHeight, {2, 2, 2});
        CapturedDiagnostics diagnostics;

        const PdfOutcome merged =
            WriteJpegs({jpegs / "0.jpg", jpegs / "1.jpg", jpegs / "2.jpg"}, dir / "result.pdf",
                       DocumentSettingsFor(PageOptions()));
        EXPECT_EQ(merged.status, PdfOutcome::Status::Failed);
        EXPECT_NE(merged.error.find("1.jpg"), std::string::npos) << merged.error;
        const PdfOutcome single = JpegToPdf(jpegs / "1.jpg", dir / "1.pdf", DocumentSettingsFor(PageOptions()));
        EXPECT_EQ(single.status, PdfOutcome::Status::Failed);
        EXPECT_EQ(single.document, dir / "1.pdf");
        EXPECT_EQ(FileNames(dir.path()), std::set<std::string>{"jpegs"})
            << "a document or temporary file was left";
    }
}

TEST(PdfAssembly, MissingJpegIsReportedWithTheLibraryCode) {
    TempDir dir;
    CapturedDiagnostics diagnostics;
    const PdfOutcome outcome = JpegToPdf(dir / "gone.jpg", dir / "0.pdf", DocumentSettingsFor(PageOptions()));
    EXPECT_EQ(outcome.status, PdfOutcome::Status::Failed);
    EXPECT_NE(outcome.error.find("gone.jpg"), std::string::npos) << outcome.error;
    EXPECT_NE(outcome.error.find("0x1017"), std::string::npos) << outcome.error;
    EXPECT_EQ(diagnostics.Text(), "ERROR: error_no=1017, detail_no=2\n");
    EXPECT_TRUE(FileNames(dir.path()).empty());
}

TEST(PdfAssembly, PageSizeOutsideTheLibraryRangeFails) {
    TempDir dir;
    WriteSolidPicture(dir / "0.jpg", kWidth, kHeight, {10, 20, 30});
    const std::pair<int32_t, int32_t> refused[] = {{0, 60}, {40, 2}, {14401, 60}, {40, -5}};
    for (auto [width, height] : refused) {
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
        CapturedDiagnostics diagnostics;
        const PdfOutcome outcome = JpegToPdf(dir / "0.jpg", dir / "0.pdf", DocumentSettingsFor(PageOptions(width, height)));
        EXPECT_EQ(outcome.status, PdfOutcome::Status::Failed);
        EXPECT_NE(outcome.error.find("0x1054"), std::string::npos) << outcome.error;
        EXPECT_EQ(diagnostics.Text(), "ERROR: error_no=1054, detail_no=0\n");
        EXPECT_FALSE(fs::exists(dir / "0.pdf"));
    }
    for (auto [width, height] : {std::pair{3, 3}, std::pair{14400, 14400}}) {
        const PdfOutcome outcome = JpegToPdf(dir / "0.jpg", dir / "edge.pdf", DocumentSettingsFor(PageOptions(width, height)));
        ASSERT_EQ(outcome.status, PdfOutcome::Status::Written) << outcome.error;
        const PdfProbe pdf = ProbePdf(dir / "edge.pdf");
        ASSERT_EQ(pdf.pages.size(), 1u);
        EXPECT_EQ(pdf.pages[0].mediaBox, (std::array<double, 4>{0, 0, double(width), double(height)}));
        EXPECT_EQ(pdf.openAction->parameters.at(1), height);
    }
}

TEST(PdfAssembly, ExistingDocumentIsReplacedOnlyBySuccess) {
    TempDir dir;
    const fs::path jpegs = dir / "jpegs";
    fs::create_directories(jpegs);
    WriteSolidPicture(jpegs / "0.jpg", kWidth, kHeight, {10, 20, 30});
    WriteText(dir / "result.pdf", "earlier document");
    CapturedDiagnostics diagnostics;

    EXPECT_EQ(JpegToPdf(jpegs / "0.jpg", dir / "result.pdf", DocumentSettingsFor(PageOptions(0, 0))).status, PdfOutcome::Status::Failed);
    EXPECT_EQ(ReadBytes(dir / "result.pdf"), "earlier document");

    ASSERT_EQ(JpegToPdf(jpegs / "0.jpg", dir / "result.pdf", DocumentSettingsFor(PageOptions())).status, PdfOutcome::Status::Written);
    EXPECT_EQ(ProbePdf(dir / "result.pdf").pages.size(), 1u);
    EXPECT_EQ(FileNames(dir.path()), (std::set<std::string>{"jpegs", "result.pdf"}));
}

TEST(PdfAssembly, UnwritableTargetFailsCleanly) {
    TempDir dir;
    WriteSolidPicture(dir / "0.jpg", kWidth, kHeight, {10, 20, 30});
    const PdfOutcome missingFolder = JpegToPdf(dir / "0.jpg", dir / "no" / "0.pdf", DocumentSettingsFor(PageOptions()));
    EXPECT_EQ(missingFolder.status, PdfOutcome::Status::Failed);
    EXPECT_FALSE(missingFolder.error.empty());

    fs::create_directory(dir / "taken.pdf"); // a folder where the document should go
    const PdfOutcome taken = JpegToPdf(dir / "0.jpg", dir / "taken.pdf", DocumentSettingsFor(PageOptions()));
    EXPECT_EQ(taken.status, PdfOutcome::Status::Failed);
    EXPECT_EQ(FileNames(dir.path()), (std::set<std::string>{"0.jpg", "taken.pdf"}));
}

// A disk that fills up while the last bytes are flushed: the library does not
// notice, so the document must be found incomplete and not put in place.
TEST(PdfAssembly, DocumentCutShortOnDiskIsNotPutInPlace) {
    TempDir dir;
    WriteSolidPicture(dir / "0.jpg", kWidth, kHeight, {10, 20, 30});
    ASSERT_EQ(JpegToPdf(dir / "0.jpg", dir / "whole.pdf", DocumentSettingsFor(PageOptions())).status, PdfOutcome::Status::Written);
    const auto size = static_cast<rlim_t>(fs::file_size(dir / "whole.pdf"));

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = size - 3;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    // A name as long as the first one's: the title follows the name.
    const PdfOutcome outcome = JpegToPdf(dir / "0.jpg", dir / "short.pdf", DocumentSettingsFor(PageOptions()));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(outcome.status, PdfOutcome::Status::Failed);
    EXPECT_FALSE(outcome.error.empty());
    EXPECT_EQ(FileNames(dir.path()), (std::set<std::string>{"0.jpg", "whole.pdf"}));
}

TEST(PdfAssembly, PasswordThatCannotBeConvertedFailsTheDocument) {
    TempDir dir;
    WriteSolidPicture(dir / "0.jpg", kWidth, kHeight, {10, 20, 30});
    ConvertOptions options = PageOptions();
    options.usePassword = 1;
    options.password = u"abc\xD800";
    const PdfOutcome outcome = JpegToPdf(dir / "0.jpg", dir / "0.pdf", DocumentSettingsFor(options));
    EXPECT_EQ(outcome.status, PdfOutcome::Status::Failed);
    EXPECT_NE(outcome.error.find("password"), std::string::npos) << outcome.error;
    EXPECT_FALSE(fs::exists(dir / "0.pdf"));
}

TEST(Utf8, ToUtf8RefusesUnpairedSurrogates) {
    EXPECT_EQ(ToUtf8(u""), "");
    EXPECT_EQ(ToUtf8(u"kelpo"), "kelpo");
    EXPECT_EQ(ToUtf8(u"é中"), "\xC3\xA9\xE4\xB8\xAD");
    EXPECT_EQ(ToUtf8(u"\U0001F511"), "\xF0\x9F\x94\x91");
    EXPECT_EQ(ToUtf8(u"\xFFFF"), "\xEF\xBF\xBF");
    EXPECT_EQ(ToUtf8(u"a\xD83D"), std::nullopt); // high surrogate at the end
    EXPECT_EQ(ToUtf8(u"\xD83D"
                     u"a"),
              std::nullopt); // high surrogate before a plain character
    EXPECT_EQ(ToUtf8(u"\xDD11"
                     u"a"),
              std::nullopt); // low surrogate alone
}
