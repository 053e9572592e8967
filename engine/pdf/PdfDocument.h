#pragma once

#include <hpdf.h>

#include <cstdio>
#include <filesystem>
#include <string>

// One libharu document, freed whatever happens. The library calls its error
// handler and then returns from the failing call, so every call is checked
// through this class and the first failure ends the document: a document is
// never saved after an error (a refused password would otherwise yield an
// unprotected file). The failure is kept in words for the user.
class DocumentBuilder {
  public:
    DocumentBuilder();
    ~DocumentBuilder();
    DocumentBuilder(const DocumentBuilder&) = delete;
    DocumentBuilder& operator=(const DocumentBuilder&) = delete;

    HPDF_Doc pdf() const { return pdf_; }
    bool LibraryReportedError() const { return record_.errorNo != 0; }
    const std::string& failure() const { return failure_; }
    void Fail(std::string reason) { failure_ = std::move(reason); }

    // True when the call returned `HPDF_OK` and reported nothing to the handler.
    bool Succeeded(HPDF_STATUS status, const std::string& what);

    // True when the call handed back an object and reported nothing.
    bool Got(const void* object, const std::string& what);

    // The first error the library reported; `OnPdfError` fills it.
    struct ErrorRecord {
        unsigned long errorNo = 0;
        unsigned long detailNo = 0;
    };

  private:
    void FailWithLibraryError(const std::string& what, unsigned long errorNo);

    ErrorRecord record_; // declared first: the document refers to it
    HPDF_Doc pdf_;
    std::string failure_;
};

// The error handler handed to libharu: writes
// "ERROR: error_no=%04X, detail_no=%u\n" to the diagnostics stream and records
// the error in the document's record that `user_data` points to.
void OnPdfError(unsigned long error_no, unsigned long detail_no, void* user_data);

// Where the diagnostic lines go: standard error unless a caller (a test)
// chooses otherwise. Standard output belongs to the front ends' results.
void SetPdfDiagnosticsStream(std::FILE* stream);

// The line written when the library cannot even create a document.
void ReportCannotCreateDocument();

// Where the library's diagnostic lines go (see SetPdfDiagnosticsStream).
std::FILE* PdfDiagnosticsStream();
