#include "ConvertOptions.h"

#include "DocumentPlan.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

namespace {

// The moment SOURCE_DATE_EPOCH names, in seconds since 1970 (UTC): the
// convention of reproducible builds, so that the same pictures give the
// same documents whenever they are converted. Anything but a plain count
// of seconds is no such moment.
std::optional<std::time_t> SourceDateEpoch() {
    const char* value = std::getenv("SOURCE_DATE_EPOCH");
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    long long seconds = 0;
    const char* end = value + std::strlen(value);
    const auto [stop, error] = std::from_chars(value, end, seconds);
    // Up to the end of the year 9999, the last one a PDF date can hold.
    if (error != std::errc() || stop != end || seconds < 0 || seconds > 253402300799LL) {
        return std::nullopt;
    }
    return static_cast<std::time_t>(seconds);
}

} // namespace

ConvertOptions& ConvertOptions::operator=(const ConvertOptions& other) {
    pageWidth = other.pageWidth;
    pageHeight = other.pageHeight;
    outputFolder = other.outputFolder;
    mergeIntoOne = other.mergeIntoOne;
    forbidPrint = other.forbidPrint;
    usePassword.store(other.usePassword.load());
    password = other.password;
    listMode = other.listMode;
    paper = other.paper;
    dpi = other.dpi;
    orientation = other.orientation;
    margin = other.margin;
    fit = other.fit;
    folderOrder = other.folderOrder;
    jpegQuality = other.jpegQuality;
    keepJpeg = other.keepJpeg;
    lossless = other.lossless;
    encryption = other.encryption;
    documentNames = other.documentNames;
    outputFile = other.outputFile;
    replaceOutputFile = other.replaceOutputFile;
    ocrLanguages = other.ocrLanguages;
    properties = other.properties;
    bookmarks = other.bookmarks;
    pdfa = other.pdfa;
    deskew = other.deskew;
    autoRotate = other.autoRotate;
    skipBlank = other.skipBlank;
    bilevel = other.bilevel;
    return *this;
}

ScanCleaning ScanCleaningOf(const ConvertOptions& options) {
    return {options.deskew == 1, options.autoRotate == 1, options.skipBlank == 1, options.bilevel == 1};
}

PageSetup PageSetupOf(const ConvertOptions& options) {
    return {options.paper,       options.pageWidth, options.pageHeight, options.dpi,
            options.orientation, options.margin,    options.fit};
}

DocumentSettings DocumentSettingsFor(const ConvertOptions& options) {
    DocumentSettings settings;
    settings.page = PageSetupOf(options);
    settings.protection = ProtectionFor(options.usePassword.load() == 1, options.password, options.forbidPrint == 1,
                                        options.encryption, settings.protectionError);
    if (options.pdfa != PdfA::None && settings.protection) {
        settings.protection.reset();
        settings.protectionError = kPdfANoEncryption;
    }
    settings.properties = options.properties;
    settings.bookmarks = options.bookmarks == 1 && options.mergeIntoOne == 1;
    settings.pdfa = options.pdfa;
    settings.fixedTime = SourceDateEpoch();
    return settings;
}
