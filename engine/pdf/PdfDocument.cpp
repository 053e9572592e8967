#include "PdfDocument.h"

#include "PdfMessages.h"

#include <atomic>

namespace {

constexpr const char* kCannotCreateLine = "ERROR: cannot create pdf object.\n";

// nullptr stands for standard error, which may not be a constant at start-up.
std::atomic<std::FILE*> diagnosticsStream{nullptr};

const char* MeaningOf(unsigned long errorNo) {
    switch (errorNo) {
    case HPDF_FILE_OPEN_ERROR:
        return "the file cannot be opened";
    case HPDF_FILE_IO_ERROR:
        return "the file could not be read or written";
    case HPDF_PAGE_INVALID_SIZE:
        return kPageSizeRefused;
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

std::string HexCode(unsigned long value) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%04lX", value);
    return text;
}

} // namespace

DocumentBuilder::DocumentBuilder() : pdf_(HPDF_New(OnPdfError, &record_)) {}

DocumentBuilder::~DocumentBuilder() {
    if (pdf_ != nullptr) {
        HPDF_Free(pdf_);
    }
}

bool DocumentBuilder::Succeeded(HPDF_STATUS status, const std::string& what) {
    if (status == HPDF_OK && record_.errorNo == 0) {
        return true;
    }
    FailWithLibraryError(what, record_.errorNo != 0 ? record_.errorNo : status);
    return false;
}

bool DocumentBuilder::Got(const void* object, const std::string& what) {
    if (object != nullptr && record_.errorNo == 0) {
        return true;
    }
    FailWithLibraryError(what, record_.errorNo);
    return false;
}

void DocumentBuilder::FailWithLibraryError(const std::string& what, unsigned long errorNo) {
    if (errorNo == 0) {
        failure_ = what + ": the PDF library gave no result";
        return;
    }
    failure_ = what + ": " + MeaningOf(errorNo) + " (libharu error " + HexCode(errorNo) + ", detail " +
               std::to_string(record_.detailNo) + ")";
}

void ReportCannotCreateDocument() {
    std::FILE* stream = PdfDiagnosticsStream();
    std::fputs(kCannotCreateLine, stream);
    std::fflush(stream);
}

std::FILE* PdfDiagnosticsStream() {
    std::FILE* stream = diagnosticsStream.load();
    return stream != nullptr ? stream : stderr;
}

void OnPdfError(unsigned long error_no, unsigned long detail_no, void* user_data) {
    std::FILE* stream = PdfDiagnosticsStream();
    std::fprintf(stream, "ERROR: error_no=%04X, detail_no=%u\n", static_cast<unsigned>(error_no),
                 static_cast<unsigned>(detail_no));
    std::fflush(stream);
    auto* record = static_cast<DocumentBuilder::ErrorRecord*>(user_data);
    if (record != nullptr && record->errorNo == 0) {
        record->errorNo = error_no;
        record->detailNo = detail_no;
    }
}

void SetPdfDiagnosticsStream(std::FILE* stream) {
    diagnosticsStream.store(stream);
}
