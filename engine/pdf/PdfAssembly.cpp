#include "PdfAssembly.h"

#include "HaruWriter.h"
#include "IccProfile.h"
#include "JpegMarkers.h"
#include "PdfMessages.h"
#include "PdfSaving.h"
#include "PdfTextLayer.h"
#include "QpdfWriter.h"
#include "XmpMetadata.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <optional>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr const char* kNoEmbeddableFont =
    "PDF/A needs every font embedded, and the text layer's font (Tesseract's pdf.ttf) is not installed";
constexpr const char* kNoSrgbProfile = "the sRGB colour profile that PDF/A needs could not be made";
constexpr const char* kNotDescribed = "is not the picture the preparation described";
// The sizes every PDF reader takes, which libharu enforces on its own pages.
constexpr double kSmallestSide = 3;
constexpr double kLargestSide = 14400;

std::string Quoted(const fs::path& path) {
    return "\"" + path.string() + "\"";
}

std::string SystemMessage(int error) {
    return std::error_code(error, std::generic_category()).message();
}

// The header of the JPEG in `file`: as much of its beginning as reaching the
// first scan takes (its segments before the scan rarely fill more than a few
// kilobytes, but may fill megabytes). Empty, with `error` set, when the file
// cannot be read or holds no header.
std::optional<JpegLayout> ReadHeaderOf(const fs::path& file, const std::string& name, std::string& error) {
    std::unique_ptr<std::FILE, decltype(&std::fclose)> in(std::fopen(file.c_str(), "rb"), &std::fclose);
    if (!in) {
        error = "cannot read " + name + ": " + SystemMessage(errno);
        return std::nullopt;
    }
    std::string head;
    for (size_t wanted = 64 * 1024;; wanted *= 4) {
        const size_t had = head.size();
        head.resize(wanted);
        head.resize(had + std::fread(head.data() + had, 1, wanted - had, in.get()));
        if (std::ferror(in.get())) {
            error = "cannot read " + name + ": " + SystemMessage(errno);
            return std::nullopt;
        }
        if (std::optional<JpegLayout> layout = ReadJpegLayout(head)) {
            return layout;
        }
        if (head.size() < wanted) {
            error = name + " " + kNotJpeg; // the whole file holds no header
            return std::nullopt;
        }
    }
}

// True when the source a kept page links to is still the file that was
// checked when the page was prepared; otherwise `error` says why not.
bool LinkedSourceUnchanged(const PagePlan& page, const LinkedSource& linked, std::string& error) {
    struct stat info {};
    if (::stat(page.file.c_str(), &info) != 0) {
        error = "cannot read the picture " + Quoted(page.source) + ": " + SystemMessage(errno);
        return false;
    }
    if (static_cast<uint64_t>(info.st_size) != linked.bytes ||
        int64_t{info.st_mtim.tv_sec} * 1'000'000'000 + info.st_mtim.tv_nsec != linked.modifiedNs) {
        error = "the picture " + Quoted(page.source) + " changed while it was being converted";
        return false;
    }
    return true;
}

// A page file that is an image stream ready for the document: what the
// worker said of it stands in for a header, and the file must be there.
std::optional<QpdfImage> StreamImageOf(const PagePlan& page, const StreamCoding& coding, std::string& error) {
    const std::string name = Quoted(page.file);
    struct stat info {};
    if (::stat(page.file.c_str(), &info) != 0) {
        error = "cannot read " + name + ": " + SystemMessage(errno);
        return std::nullopt;
    }
    QpdfImage image;
    image.file = page.file.string();
    image.name = name;
    image.width = page.keptJpeg->width;
    image.height = page.keptJpeg->height;
    image.components = coding.components;
    image.bitsPerComponent = coding.bits;
    image.palette = coding.palette;
    const std::string columns = " /Columns " + std::to_string(image.width);
    switch (coding.filter) {
    case StreamCoding::Filter::Flate:
        image.filter = "/FlateDecode";
        if (coding.pngPredictors) {
            image.decodeParms = "<< /Predictor 15 /Colors " + std::to_string(coding.components) +
                                " /BitsPerComponent " + std::to_string(coding.bits) + columns + " >>";
        }
        break;
    case StreamCoding::Filter::G4:
        image.filter = "/CCITTFaxDecode";
        image.decodeParms = "<< /K -1" + columns + " /Rows " + std::to_string(image.height) +
                            (coding.blackIs1 ? " /BlackIs1 true" : "") + " >>";
        break;
    case StreamCoding::Filter::Jpx:
        image.filter = "/JPXDecode";
        image.bitsPerComponent = 0;
        break;
    }
    return image;
}

// The image of one page for the libqpdf writer, as its file's header says.
// A kept JPEG must still be the picture the preparation checked.
std::optional<QpdfImage> ImageOf(const PagePlan& page, std::string& error) {
    if (page.keptJpeg && page.keptJpeg->coding) {
        return StreamImageOf(page, *page.keptJpeg->coding, error);
    }
    const std::optional<LinkedSource>& linked = page.keptJpeg ? page.keptJpeg->linked : std::nullopt;
    // A page linked to its source sees the source itself, which the user may
    // have changed or removed since it was checked.
    const std::string name = Quoted(linked && !page.source.empty() ? page.source : page.file);
    if (linked && !LinkedSourceUnchanged(page, *linked, error)) {
        return std::nullopt;
    }
    const std::optional<JpegLayout> layout = ReadHeaderOf(page.file, name, error);
    if (!layout) {
        return std::nullopt;
    }
    QpdfImage image;
    image.file = page.file.string();
    image.name = name;
    image.width = layout->width;
    image.height = layout->height;
    image.components = static_cast<int>(layout->componentIds.size());
    const bool usable = image.width > 0 && image.height > 0 &&
                        (image.components == 1 || image.components == 3 || image.components == 4);
    if (!usable || (page.keptJpeg && (image.width != page.keptJpeg->width ||
                                      image.height != page.keptJpeg->height || image.components == 4))) {
        error = name + " " + (page.keptJpeg ? kNotDescribed : kNotJpeg);
        return std::nullopt;
    }
    if (linked) {
        image.leaveOut = linked->leaveOut;
        image.mustBeUnchanged = true;
        image.bytes = linked->bytes;
        image.modifiedNs = linked->modifiedNs;
    }
    return image;
}

bool SideInRange(double side) {
    return side >= kSmallestSide && side <= kLargestSide;
}

std::vector<QpdfBookmark> QpdfOutline(const std::vector<Bookmark>& outline) {
    std::vector<QpdfBookmark> entries;
    for (const Bookmark& bookmark : outline) {
        entries.push_back({bookmark.title, bookmark.page, QpdfOutline(bookmark.children)});
    }
    return entries;
}

// The plan as the libqpdf writer takes it: each page's header read, its place
// computed and its text laid out. Empty, with `error` set, when a page cannot be shown.
std::optional<QpdfDocument> QpdfDocumentFor(const DocumentPlan& plan, std::string& error) {
    QpdfDocument document;
    TextLayer text;
    for (const PagePlan& page : plan.pages) {
        std::optional<QpdfImage> image = ImageOf(page, error);
        if (!image) {
            return std::nullopt;
        }
        const PagePlace place = PlacePage(page, plan.page, image->width, image->height);
        if (!SideInRange(place.box.pageWidth) || !SideInRange(place.box.pageHeight)) {
            char size[64];
            std::snprintf(size, sizeof size, "%.6gx%.6g", place.box.pageWidth, place.box.pageHeight);
            error = std::string("setting the page size ") + size + ": " + kPageSizeRefused;
            return std::nullopt;
        }
        QpdfPage& added = document.pages.emplace_back();
        added.width = place.box.pageWidth;
        added.height = place.box.pageHeight;
        added.matrix = place.matrix;
        added.image = std::move(*image);
        if (page.text) {
            // The text goes over the page picture it was read from, wherever that lies.
            added.text = text.PageContent(*page.text, {0, 0, place.box.imageWidth, place.box.imageHeight});
        }
    }
    if (HasTextLayer(plan)) {
        document.textFont = QpdfTextFont{text.ToUnicodeMap(), TextLayerGlyphMap(), GlyphlessFontProgram()};
        if (plan.pdfa != PdfA::None && document.textFont->program.empty()) {
            error = kNoEmbeddableFont;
            return std::nullopt;
        }
    }
    document.title = plan.info.title;
    document.author = plan.info.author;
    document.subject = plan.info.subject;
    document.keywords = plan.info.keywords;
    document.producer = plan.info.producer;
    LocalDate created = CreationDateOf(plan.info);
    if (plan.pdfa != PdfA::None && created.ind == 'Z') {
        // The same moment, in the form validators read as universal time:
        // PDFBox takes "Z00'00'" for another moment than its metadata's.
        created.ind = '+';
    }
    document.creationDate = PdfDate(created);
    document.protection = plan.protection;
    document.outline = QpdfOutline(plan.outline);
    document.deterministicId = plan.reproducible;
    if (plan.pdfa != PdfA::None) {
        QpdfArchival& archival = document.archival.emplace();
        archival.version = plan.pdfa == PdfA::A1b ? "1.4" : "1.7";
        archival.metadata = XmpMetadataFor(plan.info, plan.pdfa);
        archival.iccProfile = MakeSrgbV2Profile();
        archival.modificationDate = document.creationDate;
        if (archival.iccProfile.empty()) {
            error = kNoSrgbProfile;
            return std::nullopt;
        }
    }
    return document;
}

std::string WriteWithQpdf(const DocumentPlan& plan, const fs::path& file, const std::atomic<bool>* cancel) {
    std::string error;
    const std::optional<QpdfDocument> document = QpdfDocumentFor(plan, error);
    if (!document) {
        return error;
    }
    return WriteQpdfDocument(*document, file.string(), Quoted(plan.target), cancel);
}

} // namespace

PdfOutcome WritePdfDocument(const DocumentPlan& plan, const std::atomic<bool>* cancel) {
    PdfOutcome outcome;
    if (plan.pages.empty()) {
        return outcome;
    }
    outcome.document = plan.target;
    outcome.status = PdfOutcome::Status::Failed;
    if (!plan.protectionError.empty()) {
        outcome.error = plan.protectionError;
        return outcome;
    }
    const PdfWriter writer = WriterFor(plan);
    outcome.error = SaveAtomically(plan.target, plan.replaceExisting, [&](const fs::path& temporary) {
        return writer == PdfWriter::Haru ? WriteWithHaru(plan, temporary, cancel)
                                         : WriteWithQpdf(plan, temporary, cancel);
    });
    // A document finished before the request stands; one cut short by it is no failure.
    if (!outcome.error.empty() && cancel != nullptr && cancel->load()) {
        outcome.status = PdfOutcome::Status::Cancelled;
        outcome.error.clear();
        return outcome;
    }
    if (outcome.error.empty()) {
        outcome.status = PdfOutcome::Status::Written;
        outcome.pages = static_cast<int>(plan.pages.size());
    }
    return outcome;
}
