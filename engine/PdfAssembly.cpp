#include "PdfAssembly.h"

#include "PagePlacement.h"
#include "PreparedPages.h"
#include "Utf8.h"

#include <hpdf.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Stands in for kPermissionsPassword when the user's open password is that very
// word: the library refuses two equal passwords, and the document must still be
// protected (and still open with the password the user chose).
constexpr const char* kAlternatePermissionsPassword = "kelpo-quillmark";

constexpr const char* kCannotCreateLine = "ERROR: cannot create pdf object.\n";

// Texts for the user, each completed by the file or the library code concerned.
constexpr const char* kCannotCreateDocument = "the PDF library could not create a document (out of memory)";
constexpr const char* kPasswordNotConvertible =
    "the password holds an unpaired UTF-16 surrogate and cannot be used";
constexpr const char* kNotJpeg = "is not a JPEG picture";
constexpr const char* kEmptyJpeg = "is empty or holds no picture";
constexpr const char* kCannotCreateTemporary = "cannot create a file in the folder";
constexpr const char* kIncompleteFile = "the document could not be written completely (is the disk full?)";
constexpr const char* kCannotRename = "cannot put the finished document in place";
constexpr const char* kCannotStore = "the document could not be stored safely on the disk";

// nullptr stands for standard error, which may not be a constant at start-up.
std::atomic<std::FILE*> diagnosticsStream{nullptr};

std::FILE* DiagnosticsStream() {
    std::FILE* stream = diagnosticsStream.load();
    return stream != nullptr ? stream : stderr;
}

std::string SystemMessage(int error) {
    return std::error_code(error, std::generic_category()).message();
}

// The first error the library reported for one document; `OnPdfError` fills it.
struct PdfErrorRecord {
    unsigned long errorNo = 0;
    unsigned long detailNo = 0;
};

const char* MeaningOf(unsigned long errorNo) {
    switch (errorNo) {
    case HPDF_FILE_OPEN_ERROR:
        return "the file cannot be opened";
    case HPDF_FILE_IO_ERROR:
        return "the file could not be read or written";
    case HPDF_PAGE_INVALID_SIZE:
        return "the page width or height is outside the range of 3 to 14400 points";
    case HPDF_ENCRYPT_INVALID_PASSWORD:
        return "the PDF library refused the password";
    case HPDF_INVALID_JPEG_DATA:
    case HPDF_INVALID_IMAGE:
        return "the file is not a valid JPEG picture";
    case HPDF_UNSUPPORTED_JPEG_FORMAT:
        return "the JPEG picture uses a format the PDF library does not support";
    case HPDF_FAILD_TO_ALLOC_MEM:
        return "out of memory";
    default:
        return "the PDF library reported an error";
    }
}

// A side in points as people read it: "1587", "595.276".
std::string PointsText(double points) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", points);
    return text;
}

std::string HexCode(unsigned long value) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%04lX", value);
    return text;
}

// The options as they stand when a document is begun; the window may change
// `usePassword` meanwhile, and one document must not mix two settings.
struct DocumentSettings {
    PageSetup page;
    bool forbidPrint = false;
    bool usePassword = false;
    std::u16string password;

    explicit DocumentSettings(const ConvertOptions& options)
        : page(PageSetupOf(options)), forbidPrint(options.forbidPrint == 1),
          usePassword(options.usePassword.load() == 1), password(options.password) {}
};

// One libharu document, freed whatever happens. The library calls its error
// handler and then returns from the failing call, so every call is checked here
// and the first failure ends the document: a document is never saved after an
// error (a refused password would otherwise yield an unprotected file).
class DocumentBuilder {
  public:
    DocumentBuilder() : pdf_(HPDF_New(OnPdfError, &record_)) {}
    ~DocumentBuilder() {
        if (pdf_ != nullptr) {
            HPDF_Free(pdf_);
        }
    }
    DocumentBuilder(const DocumentBuilder&) = delete;
    DocumentBuilder& operator=(const DocumentBuilder&) = delete;

    HPDF_Doc pdf() const { return pdf_; }
    bool LibraryReportedError() const { return record_.errorNo != 0; }
    const std::string& failure() const { return failure_; }
    void Fail(std::string reason) { failure_ = std::move(reason); }

    // True when the call returned `HPDF_OK` and reported nothing to the handler.
    bool Succeeded(HPDF_STATUS status, const std::string& what) {
        if (status == HPDF_OK && record_.errorNo == 0) {
            return true;
        }
        FailWithLibraryError(what, record_.errorNo != 0 ? record_.errorNo : status);
        return false;
    }

    // True when the call handed back an object and reported nothing.
    bool Got(const void* object, const std::string& what) {
        if (object != nullptr && record_.errorNo == 0) {
            return true;
        }
        FailWithLibraryError(what, record_.errorNo);
        return false;
    }

  private:
    void FailWithLibraryError(const std::string& what, unsigned long errorNo) {
        if (errorNo == 0) {
            failure_ = what + ": the PDF library gave no result";
            return;
        }
        failure_ = what + ": " + MeaningOf(errorNo) + " (libharu error " + HexCode(errorNo) + ", detail " +
                   std::to_string(record_.detailNo) + ")";
    }

    PdfErrorRecord record_; // declared first: the document refers to it
    HPDF_Doc pdf_;
    std::string failure_;
};

bool Protect(DocumentBuilder& doc, const DocumentSettings& settings) {
    HPDF_Doc pdf = doc.pdf();
    if (settings.forbidPrint) {
        if (!doc.Succeeded(HPDF_SetPassword(pdf, kPermissionsPassword, ""),
                           "setting the permissions password") ||
            !doc.Succeeded(HPDF_SetPermission(pdf, HPDF_ENABLE_READ), "setting the permissions") ||
            !doc.Succeeded(HPDF_SetEncryptionMode(pdf, HPDF_ENCRYPT_R3, 16), "choosing the encryption")) {
            return false;
        }
    }
    if (settings.usePassword) {
        std::optional<std::string> userPassword = ToUtf8(settings.password);
        if (!userPassword) {
            doc.Fail(kPasswordNotConvertible);
            return false;
        }
        // The library stops at the first NUL, so compare what it will see.
        const char* permissionsPassword = std::strcmp(userPassword->c_str(), kPermissionsPassword) == 0
                                              ? kAlternatePermissionsPassword
                                              : kPermissionsPassword;
        if (!doc.Succeeded(HPDF_SetPassword(pdf, permissionsPassword, userPassword->c_str()),
                           "setting the open password") ||
            !doc.Succeeded(HPDF_SetEncryptionMode(pdf, HPDF_ENCRYPT_R3, 16), "choosing the encryption")) {
            return false;
        }
    }
    return true;
}

// The CJK font sets are registered and the font selected on every page even
// though no text is drawn: the documents have always carried this resource.
HPDF_Font RegisterFont(DocumentBuilder& doc) {
    HPDF_Doc pdf = doc.pdf();
    if (!doc.Succeeded(HPDF_UseCNSFonts(pdf), "registering the simplified Chinese fonts") ||
        !doc.Succeeded(HPDF_UseCNTFonts(pdf), "registering the traditional Chinese fonts") ||
        !doc.Succeeded(HPDF_UseCNTEncodings(pdf), "registering the traditional Chinese encodings") ||
        !doc.Succeeded(HPDF_UseCNSEncodings(pdf), "registering the simplified Chinese encodings")) {
        return nullptr;
    }
    HPDF_Font font = HPDF_GetFont(pdf, "SimHei", "GB-EUC-H");
    return doc.Got(font, "loading the font SimHei") ? font : nullptr;
}

bool AddJpegPage(DocumentBuilder& doc, HPDF_Font font, const fs::path& jpeg,
                 const DocumentSettings& settings) {
    HPDF_Doc pdf = doc.pdf();
    const std::string name = "\"" + jpeg.string() + "\"";
    HPDF_Image image = HPDF_LoadJpegImageFromFile(pdf, jpeg.c_str());
    // A file that is not a JPEG at all comes back as no image, and an empty one
    // as an image of no size, both without a word to the error handler.
    if (image == nullptr && !doc.LibraryReportedError()) {
        doc.Fail(name + " " + kNotJpeg);
        return false;
    }
    if (!doc.Got(image, name)) {
        return false;
    }
    const HPDF_UINT imageWidth = HPDF_Image_GetWidth(image);
    const HPDF_UINT imageHeight = HPDF_Image_GetHeight(image);
    if (imageWidth == 0 || imageHeight == 0) {
        doc.Fail(name + " " + kEmptyJpeg);
        return false;
    }

    HPDF_Page page = HPDF_AddPage(pdf);
    if (!doc.Got(page, "adding a page for " + name)) {
        return false;
    }
    // The page's size follows from the page settings and the page picture's
    // shape: a sheet turned as the picture is, or the Custom size in pixels.
    const PdfPageBox box =
        PdfPageFor(settings.page, static_cast<int32_t>(imageWidth), static_cast<int32_t>(imageHeight));
    // Height first: the library checks each side on its own, so the order only
    // decides which side a bad size is reported for.
    const std::string sizeStep =
        "setting the page size " + PointsText(box.pageWidth) + "x" + PointsText(box.pageHeight);
    if (!doc.Succeeded(HPDF_Page_SetHeight(page, static_cast<HPDF_REAL>(box.pageHeight)), sizeStep) ||
        !doc.Succeeded(HPDF_Page_SetWidth(page, static_cast<HPDF_REAL>(box.pageWidth)), sizeStep)) {
        return false;
    }

    // Every page becomes the open action in turn, so the document opens at its
    // last page, at 100 %, showing the page's top-left corner.
    HPDF_Destination destination = HPDF_Page_CreateDestination(page);
    if (!doc.Got(destination, "creating the open action") ||
        !doc.Succeeded(HPDF_Destination_SetXYZ(destination, 0, HPDF_Page_GetHeight(page), 1),
                       "creating the open action") ||
        !doc.Succeeded(HPDF_SetOpenAction(pdf, destination), "setting the open action")) {
        return false;
    }
    if (!doc.Succeeded(HPDF_Page_SetFontAndSize(page, font, 12), "selecting the font")) {
        return false;
    }
    // From the lower-left corner: over the whole sheet for a paper size, one
    // pixel per point for a Custom size (a picture of another size than the
    // page is not scaled then).
    return doc.Succeeded(HPDF_Page_DrawImage(page, image, 0, 0, static_cast<HPDF_REAL>(box.imageWidth),
                                             static_cast<HPDF_REAL>(box.imageHeight)),
                         "drawing " + name);
}

// Creates an empty file of a new hidden name beside `target`, readable as any
// new file of the user would be (mkstemp would make it private to the owner).
std::optional<fs::path> CreateTemporaryBeside(const fs::path& target, std::string& error) {
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const std::string prefix = "." + target.filename().string() + ".";
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device seed;
    std::mt19937 random(seed());
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = prefix;
        for (int i = 0; i < 6; ++i) {
            name += kLetters[pick(random)];
        }
        const fs::path candidate = folder / name;
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return candidate;
        }
        if (errno != EEXIST) {
            error = SystemMessage(errno);
            return std::nullopt;
        }
    }
    error = SystemMessage(EEXIST);
    return std::nullopt;
}

// The library closes its file without checking, so a disk that fills up
// during the last write would go unnoticed; every document it writes ends in
// "%%EOF", and a missing end means the file is incomplete.
bool EndsComplete(const fs::path& file) {
    static constexpr char kEnd[] = "%%EOF\n";
    constexpr long kEndLength = sizeof kEnd - 1;
    std::FILE* stream = std::fopen(file.c_str(), "rb");
    if (stream == nullptr) {
        return false;
    }
    char tail[kEndLength] = {};
    const bool complete = std::fseek(stream, -kEndLength, SEEK_END) == 0 &&
                          std::fread(tail, 1, kEndLength, stream) == static_cast<std::size_t>(kEndLength) &&
                          std::memcmp(tail, kEnd, kEndLength) == 0;
    std::fclose(stream);
    return complete;
}

// Waits until what was written to `path` (a file, or a folder's entries) is
// on the disk. Returns 0 or the system's error number.
int SyncToDisk(const fs::path& path, int openFlags) {
    const int fd = ::open(path.c_str(), openFlags | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

// Saves under a temporary name and renames it over `target` once complete, so
// an interrupted job never leaves a truncated PDF under the final name and an
// earlier document of that name is replaced only by a finished one.
bool SaveAtomically(DocumentBuilder& doc, const fs::path& target) {
    std::string error;
    std::optional<fs::path> temporary = CreateTemporaryBeside(target, error);
    if (!temporary) {
        doc.Fail(std::string(kCannotCreateTemporary) + " \"" + target.parent_path().string() +
                 "\": " + error);
        return false;
    }
    bool saved =
        doc.Succeeded(HPDF_SaveToFile(doc.pdf(), temporary->c_str()), "writing \"" + target.string() + "\"");
    if (saved && !EndsComplete(*temporary)) {
        doc.Fail("\"" + target.string() + "\": " + kIncompleteFile);
        saved = false;
    }
    // The contents reach the disk before the name does: after a power cut the
    // final name holds the whole document or the earlier one, never an empty file.
    if (const int error = saved ? SyncToDisk(*temporary, O_RDONLY) : 0; error != 0) {
        doc.Fail(std::string(kCannotStore) + " \"" + target.string() + "\": " + SystemMessage(error));
        saved = false;
    }
    if (saved && std::rename(temporary->c_str(), target.c_str()) != 0) {
        doc.Fail(std::string(kCannotRename) + " \"" + target.string() + "\": " + SystemMessage(errno));
        saved = false;
    }
    if (const int error = saved ? SyncToDisk(target.parent_path().empty() ? "." : target.parent_path(),
                                             O_RDONLY | O_DIRECTORY)
                                : 0;
        error != 0) {
        // The document is complete under its name; only the folder's record of
        // it may not have reached the disk yet.
        doc.Fail(std::string(kCannotStore) + " \"" + target.string() + "\": " + SystemMessage(error));
        return false;
    }
    if (!saved) {
        std::error_code ignored;
        fs::remove(*temporary, ignored);
    }
    return saved;
}

PdfOutcome AssembleDocument(const std::vector<fs::path>& jpegs, const fs::path& target,
                            const ConvertOptions& options, const std::atomic<bool>* cancel) {
    const DocumentSettings settings(options);
    PdfOutcome outcome;
    outcome.document = target;
    outcome.status = PdfOutcome::Status::Failed;

    DocumentBuilder doc;
    if (doc.pdf() == nullptr) {
        std::FILE* stream = DiagnosticsStream();
        std::fputs(kCannotCreateLine, stream);
        std::fflush(stream);
        outcome.error = kCannotCreateDocument;
        return outcome;
    }

    HPDF_Font font = nullptr;
    bool built = Protect(doc, settings) && (font = RegisterFont(doc)) != nullptr;
    for (std::size_t i = 0; built && i < jpegs.size(); ++i) {
        if (cancel != nullptr && cancel->load()) {
            outcome.status = PdfOutcome::Status::Cancelled;
            return outcome;
        }
        built = AddJpegPage(doc, font, jpegs[i], settings);
    }
    if (!built || !SaveAtomically(doc, target)) {
        outcome.error = doc.failure();
        return outcome;
    }
    outcome.status = PdfOutcome::Status::Written;
    outcome.pages = static_cast<int>(jpegs.size());
    return outcome;
}

} // namespace

PdfOutcome MergeFolderToPdf(const fs::path& jpegFolder, const fs::path& pdfFolder,
                            const ConvertOptions& options) {
    PdfOutcome outcome;
    const fs::path target = pdfFolder / kMergedDocumentName;

    const PreparedPages listing = ListPreparedPages(jpegFolder);
    // A folder that is not there holds no JPEG; one that cannot be read is a failure.
    if (!listing.error.empty()) {
        outcome.status = PdfOutcome::Status::Failed;
        outcome.document = target;
        outcome.error = listing.error;
        return outcome;
    }
    return MergePagesToPdf(listing.pages, pdfFolder, kMergedDocumentName, options);
}

PdfOutcome MergePagesToPdf(const std::vector<PreparedPage>& pages, const fs::path& pdfFolder,
                           const std::string& documentName, const ConvertOptions& options,
                           const std::atomic<bool>* cancel) {
    if (pages.empty()) {
        return {};
    }
    std::vector<fs::path> jpegs;
    for (const auto& page : pages) {
        jpegs.push_back(page.path);
    }
    return AssembleDocument(jpegs, pdfFolder / documentName, options, cancel);
}

PdfOutcome JpegToPdf(const fs::path& jpegPath, const fs::path& pdfPath, const ConvertOptions& options) {
    return AssembleDocument({jpegPath}, pdfPath, options, nullptr);
}

void OnPdfError(unsigned long error_no, unsigned long detail_no, void* user_data) {
    std::FILE* stream = DiagnosticsStream();
    std::fprintf(stream, "ERROR: error_no=%04X, detail_no=%u\n", static_cast<unsigned>(error_no),
                 static_cast<unsigned>(detail_no));
    std::fflush(stream);
    auto* record = static_cast<PdfErrorRecord*>(user_data);
    if (record != nullptr && record->errorNo == 0) {
        record->errorNo = error_no;
        record->detailNo = detail_no;
    }
}

void SetPdfDiagnosticsStream(std::FILE* stream) {
    diagnosticsStream.store(stream);
}
