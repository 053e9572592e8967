#include "DocumentPlan.h"

#include <cstdio>
#include <cstdlib>

namespace fs = std::filesystem;

namespace {

// How the unit square a PDF image is drawn in maps onto the square it is
// shown in, for each EXIF orientation: {a, b, c, d, e, f} as in the "cm"
// operator, x' = a u + c v + e, y' = b u + d v + f, with v = 1 the stored
// picture's top row.
constexpr std::array<std::array<double, 6>, 9> kTurns{{
    {1, 0, 0, 1, 0, 0},   // (no orientation: as 1)
    {1, 0, 0, 1, 0, 0},   // 1 as stored
    {-1, 0, 0, 1, 1, 0},  // 2 mirrored left to right
    {-1, 0, 0, -1, 1, 1}, // 3 turned half round
    {1, 0, 0, -1, 0, 1},  // 4 mirrored top to bottom
    {0, -1, -1, 0, 1, 1}, // 5 mirrored along the main diagonal
    {0, -1, 1, 0, 0, 1},  // 6 turned a quarter clockwise
    {0, 1, 1, 0, 0, 0},   // 7 mirrored along the other diagonal
    {0, 1, -1, 0, 1, 0},  // 8 turned a quarter anticlockwise
}};

// A picture in its place on the page picture it stands in for, turned by an
// EXIF orientation: the place is measured in pixels of that page picture
// from its top-left corner, and the page shows that picture from its
// lower-left corner, `box` large.
// The numbers go through single precision, as the page's drawing operators
// have always been written.
std::array<double, 6> PlaceMatrix(int32_t pageWidth, int32_t pageHeight, const PagePlacement& place,
                                  int32_t orientation, const PdfPageBox& box) {
    const double scaleX = box.imageWidth / pageWidth;
    const double scaleY = box.imageHeight / pageHeight;
    const double width = place.width * scaleX;
    const double height = place.height * scaleY;
    const double left = place.left * scaleX;
    const double bottom = box.imageHeight - (place.top + place.height) * scaleY;
    const auto& turn = kTurns[static_cast<size_t>(orientation) < kTurns.size() ? orientation : 1];
    return {static_cast<float>(width * turn[0]),        static_cast<float>(height * turn[1]),
            static_cast<float>(width * turn[2]),        static_cast<float>(height * turn[3]),
            static_cast<float>(left + width * turn[4]), static_cast<float>(bottom + height * turn[5])};
}

std::array<double, 6> KeptJpegMatrix(const KeptJpeg& kept, const PdfPageBox& box) {
    return PlaceMatrix(kept.pageWidth, kept.pageHeight, kept.place, kept.orientation, box);
}

} // namespace

DocumentPlan PlanDocument(const std::vector<const PreparedPage*>& pages, const fs::path& target,
                          const std::string& title, const DocumentSettings& settings) {
    DocumentPlan plan;
    for (const PreparedPage* page : pages) {
        if (!page->file.empty()) {
            plan.pages.push_back({page->file, page->source, page->keptJpeg, page->text, page->picture,
                                  page->part, page->vectorPage});
            // PDF/A-1b wants every font subset to list the glyphs it holds
            // (CIDSet), which cairo's subsets do not, and no transparency,
            // which a drawing may have: such a document shows the page
            // picture of the same drawing instead.
            if (settings.pdfa == PdfA::A1b) {
                plan.pages.back().vectorPage.reset();
            }
        }
    }
    plan.target = target;
    const DocumentProperties& given = settings.properties;
    plan.info.title = !given.title.empty() ? given.title : title.empty() ? target.stem().string() : title;
    plan.info.author = given.author;
    plan.info.subject = given.subject;
    plan.info.keywords = given.keywords;
    plan.info.producer = ProducerName();
    plan.info.created = settings.fixedTime.value_or(std::time(nullptr));
    plan.info.universalTime = settings.fixedTime.has_value();
    plan.reproducible = settings.fixedTime.has_value();
    plan.page = settings.page;
    plan.protection = settings.protection;
    plan.protectionError = settings.protectionError;
    plan.pdfa = settings.pdfa;
    if (settings.bookmarks) {
        plan.outline = OutlineOf(plan.pages);
    }
    return plan;
}

std::vector<Bookmark> OutlineOf(const std::vector<PagePlan>& pages) {
    std::vector<Bookmark> outline;
    for (size_t i = 0; i < pages.size(); ++i) {
        const PagePlan& page = pages[i];
        const bool samePicture =
            i > 0 && pages[i - 1].picture == page.picture && pages[i - 1].source == page.source;
        if (samePicture && !outline.empty()) {
            outline.back().children.push_back({"page " + std::to_string(page.part + 1), i, {}});
            continue;
        }
        std::string name = (page.source.empty() ? page.file : page.source).stem().string();
        outline.push_back({name.empty() ? "page " + std::to_string(i + 1) : name, i, {}});
    }
    return outline;
}

bool HasTextLayer(const DocumentPlan& plan) {
    for (const PagePlan& page : plan.pages) {
        if (page.text && !page.text->lines.empty()) {
            return true;
        }
    }
    return false;
}

PdfWriter WriterFor(const DocumentPlan& plan) {
    if (plan.protection && plan.protection->method == Encryption::Aes256) {
        return PdfWriter::Qpdf;
    }
    if (!plan.outline.empty() || plan.pdfa != PdfA::None) {
        return PdfWriter::Qpdf;
    }
    for (const PagePlan& page : plan.pages) {
        if (page.keptJpeg || page.vectorPage) {
            return PdfWriter::Qpdf;
        }
    }
    return HasTextLayer(plan) ? PdfWriter::Qpdf : PdfWriter::Haru;
}

PagePlace PlacePage(const PagePlan& page, const PageSetup& setup, int32_t pictureWidth,
                    int32_t pictureHeight) {
    // The page's size follows from the page settings and the page picture's
    // shape: a sheet turned as the picture is, or the Custom size in pixels.
    PagePlace place;
    if (page.keptJpeg) {
        place.box = PdfPageFor(setup, page.keptJpeg->pageWidth, page.keptJpeg->pageHeight);
        place.matrix = KeptJpegMatrix(*page.keptJpeg, place.box);
        return place;
    }
    if (const auto& vector = page.vectorPage) {
        place.box = PdfPageFor(setup, vector->pageWidth, vector->pageHeight);
        place.matrix = PlaceMatrix(vector->pageWidth, vector->pageHeight, vector->place, 1, place.box);
        return place;
    }
    // From the lower-left corner: over the whole sheet for a paper size, one
    // pixel per point for a Custom size (a picture of another size than the
    // page is not scaled then).
    place.box = PdfPageFor(setup, pictureWidth, pictureHeight);
    place.matrix = {static_cast<float>(place.box.imageWidth),  0, 0,
                    static_cast<float>(place.box.imageHeight), 0, 0};
    return place;
}

std::string ProducerName() {
    return std::string("Quillmark ") + QUILLMARK_VERSION;
}

LocalDate LocalDateOf(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    LocalDate date;
    date.year = local.tm_year + 1900;
    date.month = local.tm_mon + 1;
    date.day = local.tm_mday;
    date.hour = local.tm_hour;
    date.minutes = local.tm_min;
    date.seconds = std::min(local.tm_sec, 59); // a leap second is not a date the PDF library takes
    const long offset = local.tm_gmtoff / 60;
    date.ind = offset == 0 ? 'Z' : offset > 0 ? '+' : '-';
    date.offHour = static_cast<int>(std::labs(offset) / 60);
    date.offMinutes = static_cast<int>(std::labs(offset) % 60);
    return date;
}

LocalDate CreationDateOf(const DocumentInfo& info) {
    if (!info.universalTime) {
        return LocalDateOf(info.created);
    }
    std::tm utc{};
    gmtime_r(&info.created, &utc);
    LocalDate date;
    date.year = utc.tm_year + 1900;
    date.month = utc.tm_mon + 1;
    date.day = utc.tm_mday;
    date.hour = utc.tm_hour;
    date.minutes = utc.tm_min;
    date.seconds = std::min(utc.tm_sec, 59);
    return date;
}

std::string PdfDate(const LocalDate& date) {
    char text[64];
    std::snprintf(text, sizeof text, "D:%04d%02d%02d%02d%02d%02d%c%02d'%02d'", date.year, date.month,
                  date.day, date.hour, date.minutes, date.seconds, date.ind, date.offHour, date.offMinutes);
    return text;
}
