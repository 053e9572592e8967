#include "PdfAssembly.h"

#include "PageNotes.h"
#include "PdfDocument.h"
#include "PdfPages.h"
#include "PdfSaving.h"
#include "PreparedPages.h"

#include <ctime>
#include <optional>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr const char* kCannotCreateDocument = "the PDF library could not create a document (out of memory)";

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

HPDF_Date LocalDate(std::time_t now) {
    std::tm local{};
    localtime_r(&now, &local);
    HPDF_Date date{};
    date.year = local.tm_year + 1900;
    date.month = local.tm_mon + 1;
    date.day = local.tm_mday;
    date.hour = local.tm_hour;
    date.minutes = local.tm_min;
    date.seconds = std::min(local.tm_sec, 59); // a leap second is not a date the library takes
    const long offset = local.tm_gmtoff / 60;
    date.ind = offset == 0 ? 'Z' : offset > 0 ? '+' : '-';
    date.off_hour = static_cast<HPDF_INT>(std::labs(offset) / 60);
    date.off_minutes = static_cast<HPDF_INT>(std::labs(offset) % 60);
    return date;
}

// The producer, the creation time and a title, so that file managers and
// viewers show something meaningful. Text goes in as UTF-8, which the library
// writes as the Unicode text the format expects.
bool Describe(DocumentBuilder& doc, const std::string& title) {
    HPDF_Doc pdf = doc.pdf();
    const std::string producer = ProducerName();
    return doc.Succeeded(HPDF_UseUTFEncodings(pdf), "registering the Unicode encoding") &&
           doc.Succeeded(HPDF_SetCurrentEncoder(pdf, "UTF-8"), "choosing the Unicode encoding") &&
           doc.Succeeded(HPDF_SetInfoAttr(pdf, HPDF_INFO_PRODUCER, producer.c_str()),
                         "naming the producer") &&
           doc.Succeeded(HPDF_SetInfoAttr(pdf, HPDF_INFO_TITLE, title.c_str()), "setting the title") &&
           doc.Succeeded(HPDF_SetInfoDateAttr(pdf, HPDF_INFO_CREATION_DATE, LocalDate(std::time(nullptr))),
                         "setting the creation date");
}

// The library leaves a document unencrypted unless asked; AES-256 is applied
// while saving, after the library is done.
bool Protect(DocumentBuilder& doc, const DocumentSettings& settings) {
    if (!settings.protectionError.empty()) {
        doc.Fail(settings.protectionError);
        return false;
    }
    if (!settings.protection || settings.protection->method != Encryption::Rc4) {
        return true;
    }
    return ApplyRc4(doc, *settings.protection);
}

} // namespace

PdfOutcome WritePdfDocument(const DocumentPlan& plan, const DocumentSettings& settings,
                            const std::atomic<bool>* cancel) {
    PdfOutcome outcome;
    if (plan.pages.empty()) {
        return outcome;
    }
    outcome.document = plan.target;
    outcome.status = PdfOutcome::Status::Failed;

    DocumentBuilder doc;
    if (doc.pdf() == nullptr) {
        ReportCannotCreateDocument();
        outcome.error = kCannotCreateDocument;
        return outcome;
    }

    const std::string title = plan.title.empty() ? plan.target.stem().string() : plan.title;
    HPDF_Font font = nullptr;
    TextLayerFont textFont(doc.pdf());
    bool built = Protect(doc, settings) && (font = RegisterFont(doc)) != nullptr && Describe(doc, title);
    for (std::size_t i = 0; built && i < plan.pages.size(); ++i) {
        if (cancel != nullptr && cancel->load()) {
            outcome.status = PdfOutcome::Status::Cancelled;
            return outcome;
        }
        const PageNotesRead notes = ReadPageNotes(plan.pages[i].path);
        if (!notes.error.empty()) {
            doc.Fail(notes.error);
            built = false;
            break;
        }
        built = AddPreparedPage(doc, font, textFont, plan.pages[i].path, notes.notes, settings.page);
    }
    built = built && doc.Succeeded(textFont.Finish(), "completing the text layer");
    if (!built || !SaveAtomically(doc, plan.target, settings.protection, plan.replaceExisting)) {
        outcome.error = doc.failure();
        return outcome;
    }
    outcome.status = PdfOutcome::Status::Written;
    outcome.pages = static_cast<int>(plan.pages.size());
    return outcome;
}

PdfOutcome MergeFolderToPdf(const fs::path& jpegFolder, const fs::path& pdfFolder,
                            const DocumentSettings& settings) {
    const fs::path target = pdfFolder / kMergedDocumentName;
    const PreparedPages listing = ListPreparedPages(jpegFolder);
    // A folder that is not there holds no JPEG; one that cannot be read is a failure.
    if (!listing.error.empty()) {
        return {PdfOutcome::Status::Failed, target, listing.error};
    }
    return WritePdfDocument({listing.pages, target, jpegFolder.filename().string()}, settings);
}

PdfOutcome JpegToPdf(const fs::path& jpegPath, const fs::path& pdfPath, const DocumentSettings& settings) {
    return WritePdfDocument({{PageFile{{}, 0, jpegPath}}, pdfPath, {}}, settings);
}

std::string ProducerName() {
    return std::string("Quillmark ") + QUILLMARK_VERSION;
}
