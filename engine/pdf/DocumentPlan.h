#pragma once

#include "DocumentProperties.h"
#include "PagePlacement.h"
#include "PageSetup.h"
#include "PdfProtection.h"
#include "PreparedPage.h"

#include <array>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// What one document is made of, decided before a byte of it is written: its
// pages, what it tells viewers about itself and how it is protected. Both
// writers (HaruWriter.h, QpdfWriter.h) write a plan as it stands.

// The name of a merged document.
inline constexpr const char* kMergedDocumentName = "result.pdf";

// How every document of a job is written, decided once per document from the
// options as they stand when it is begun: the window may change the password
// choice meanwhile, and one document must not mix two settings.
struct DocumentSettings {
    PageSetup page;
    std::optional<DocumentProtection> protection;
    std::string protectionError; // why the protection cannot be applied; the document then fails
    DocumentProperties properties;
    bool bookmarks = false; // an outline entry per picture; merged documents only
    PdfA pdfa = PdfA::None;
    // Set for reproducible documents: the moment every document is dated,
    // written in universal time, and the document IDs follow from the content.
    std::optional<std::time_t> fixedTime;
};

// One page: the page picture and how it is shown.
struct PagePlan {
    std::filesystem::path file;   // the page picture
    std::filesystem::path source; // the picture it was made from; empty when not known
    // Set when `file` is the source JPEG itself: it is drawn into its place on
    // the page picture it stands in for, not over the whole page.
    std::optional<KeptJpeg> keptJpeg;
    std::optional<PageText> text; // drawn invisibly over the page picture
    size_t picture = 0;           // the picture's place in its list; pages of one picture share it
    size_t part = 0;              // which page of the picture, from 0
    // Set when the page is shown as vectors, drawn into the place the page
    // picture shows the drawing at; `file` then is not drawn.
    std::optional<VectorPage> vectorPage;
};

// What a document tells viewers and file managers about itself.
struct DocumentInfo {
    std::string title;
    std::string author; // empty: none is named, as for the two below
    std::string subject;
    std::string keywords;
    std::string producer;
    std::time_t created = 0;
    bool universalTime = false; // dated in UTC rather than in local time
};

// One entry of a document's outline, and the entries under it.
struct Bookmark {
    std::string title;
    size_t page = 0; // the page it shows, from 0
    std::vector<Bookmark> children;
};

struct DocumentPlan {
    std::vector<PagePlan> pages;
    std::filesystem::path target;
    DocumentInfo info;
    PageSetup page;
    std::optional<DocumentProtection> protection;
    std::string protectionError; // set: the document cannot be protected as asked and fails
    bool replaceExisting = true; // false: a file already at `target` fails the document
    std::vector<Bookmark> outline; // empty: the document has no outline
    PdfA pdfa = PdfA::None;
    bool reproducible = false; // the same plan gives the same bytes (unprotected documents)
};

// The plan of a document of `pages` (those without a page picture are left
// out) written to `target` with `settings`. An empty `title` names the
// document after the file. A PDF/A-1b document shows the page pictures of
// pages drawn as vectors too (see there why).
DocumentPlan PlanDocument(const std::vector<const PreparedPage*>& pages, const std::filesystem::path& target,
                          const std::string& title, const DocumentSettings& settings);

// One entry per picture of `plan`, named after its file without the
// extension and showing its first page; the pages of a picture of several
// pages under it, from "page 2" on.
std::vector<Bookmark> OutlineOf(const std::vector<PagePlan>& pages);

// The pages of `plan` that have text to show.
bool HasTextLayer(const DocumentPlan& plan);

// Which writer a plan needs: libharu writes the plain documents it has always
// written (pictures over the page, no text, RC4 or no protection, the
// document properties); libqpdf everything beyond, outlines, PDF/A and pages
// drawn as vectors included.
enum class PdfWriter { Haru, Qpdf };
PdfWriter WriterFor(const DocumentPlan& plan);

// Where a page picture goes on its PDF page.
struct PagePlace {
    PdfPageBox box; // the sheet, and the size the page picture is drawn at
    // {a, b, c, d, e, f} of the "cm" that draws the picture's unit square:
    // over the page picture, for a kept JPEG into its place, turned as its
    // EXIF orientation says, and for vectors into the drawing's place.
    std::array<double, 6> matrix{};
};

// The place of `page` on a sheet of `setup`, for a page picture of w x h
// pixels (as stored; for a kept JPEG or vectors the page picture they stand
// in for counts).
PagePlace PlacePage(const PagePlan& page, const PageSetup& setup, int32_t pictureWidth,
                    int32_t pictureHeight);

// The producer every document names: "Quillmark" and the version.
std::string ProducerName();

// A moment in local time, as documents record it.
struct LocalDate {
    int year = 0, month = 0, day = 0, hour = 0, minutes = 0, seconds = 0;
    char ind = 'Z'; // 'Z' for universal time, else '+' or '-' before the offset
    int offHour = 0, offMinutes = 0;
};
LocalDate LocalDateOf(std::time_t when);
// The moment `info` dates its document at, in local or universal time as it asks.
LocalDate CreationDateOf(const DocumentInfo& info);

// A date as the PDF format writes it: "D:20261209175525+01'00'", "D:20261209175525Z00'00'".
std::string PdfDate(const LocalDate& date);
