#include "HaruWriter.h"

#include "PdfDocument.h"
#include "PdfMessages.h"

#include <cstdio>
#include <string>
#include <tuple>

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

HPDF_Date HaruDate(const LocalDate& local) {
    HPDF_Date date{};
    date.year = local.year;
    date.month = local.month;
    date.day = local.day;
    date.hour = local.hour;
    date.minutes = local.minutes;
    date.seconds = local.seconds;
    date.ind = local.ind;
    date.off_hour = local.offHour;
    date.off_minutes = local.offMinutes;
    return date;
}

// The producer, the creation time and a title, so that file managers and
// viewers show something meaningful, and what the user added. Text goes in
// as UTF-8, which the library writes as the Unicode text the format expects.
bool Describe(DocumentBuilder& doc, const DocumentInfo& info) {
    HPDF_Doc pdf = doc.pdf();
    if (!doc.Succeeded(HPDF_UseUTFEncodings(pdf), "registering the Unicode encoding") ||
        !doc.Succeeded(HPDF_SetCurrentEncoder(pdf, "UTF-8"), "choosing the Unicode encoding") ||
        !doc.Succeeded(HPDF_SetInfoAttr(pdf, HPDF_INFO_PRODUCER, info.producer.c_str()),
                       "naming the producer") ||
        !doc.Succeeded(HPDF_SetInfoAttr(pdf, HPDF_INFO_TITLE, info.title.c_str()), "setting the title") ||
        !doc.Succeeded(HPDF_SetInfoDateAttr(pdf, HPDF_INFO_CREATION_DATE, HaruDate(CreationDateOf(info))),
                       "setting the creation date")) {
        return false;
    }
    for (const auto& [key, value, step] :
         {std::tuple{HPDF_INFO_AUTHOR, &info.author, "setting the author"},
          std::tuple{HPDF_INFO_SUBJECT, &info.subject, "setting the subject"},
          std::tuple{HPDF_INFO_KEYWORDS, &info.keywords, "setting the keywords"}}) {
        if (!value->empty() && !doc.Succeeded(HPDF_SetInfoAttr(pdf, key, value->c_str()), step)) {
            return false;
        }
    }
    return true;
}

HPDF_Image LoadJpeg(DocumentBuilder& doc, const fs::path& jpeg, const std::string& name) {
    HPDF_Image image = HPDF_LoadJpegImageFromFile(doc.pdf(), jpeg.c_str());
    // A file that is not a JPEG at all comes back as no image, and an empty one
    // as an image of no size, both without a word to the error handler.
    if (image == nullptr && !doc.LibraryReportedError()) {
        doc.Fail(name + " " + kNotJpeg);
        return nullptr;
    }
    if (!doc.Got(image, name)) {
        return nullptr;
    }
    if (HPDF_Image_GetWidth(image) == 0 || HPDF_Image_GetHeight(image) == 0) {
        doc.Fail(name + " " + kEmptyJpeg);
        return nullptr;
    }
    return image;
}

// A side in points as people read it: "1587", "595.276".
std::string PointsText(double points) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", points);
    return text;
}

HPDF_Page AddSizedPage(DocumentBuilder& doc, HPDF_Font font, const PdfPageBox& box, const std::string& name) {
    HPDF_Doc pdf = doc.pdf();
    HPDF_Page page = HPDF_AddPage(pdf);
    if (!doc.Got(page, "adding a page for " + name)) {
        return nullptr;
    }
    // Height first: the library checks each side on its own, so the order only
    // decides which side a bad size is reported for.
    const std::string sizeStep =
        "setting the page size " + PointsText(box.pageWidth) + "x" + PointsText(box.pageHeight);
    if (!doc.Succeeded(HPDF_Page_SetHeight(page, static_cast<HPDF_REAL>(box.pageHeight)), sizeStep) ||
        !doc.Succeeded(HPDF_Page_SetWidth(page, static_cast<HPDF_REAL>(box.pageWidth)), sizeStep)) {
        return nullptr;
    }
    // Every page becomes the open action in turn, so the document opens at its
    // last page, at 100 %, showing the page's top-left corner.
    HPDF_Destination destination = HPDF_Page_CreateDestination(page);
    if (!doc.Got(destination, "creating the open action") ||
        !doc.Succeeded(HPDF_Destination_SetXYZ(destination, 0, HPDF_Page_GetHeight(page), 1),
                       "creating the open action") ||
        !doc.Succeeded(HPDF_SetOpenAction(pdf, destination), "setting the open action") ||
        !doc.Succeeded(HPDF_Page_SetFontAndSize(page, font, 12), "selecting the font")) {
        return nullptr;
    }
    return page;
}

bool AddPage(DocumentBuilder& doc, HPDF_Font font, const PagePlan& plan, const PageSetup& setup) {
    const std::string name = "\"" + plan.file.string() + "\"";
    HPDF_Image image = LoadJpeg(doc, plan.file, name);
    if (image == nullptr) {
        return false;
    }
    const PagePlace place = PlacePage(plan, setup, static_cast<int32_t>(HPDF_Image_GetWidth(image)),
                                      static_cast<int32_t>(HPDF_Image_GetHeight(image)));
    HPDF_Page page = AddSizedPage(doc, font, place.box, name);
    return page != nullptr &&
           doc.Succeeded(HPDF_Page_DrawImage(page, image, 0, 0, static_cast<HPDF_REAL>(place.box.imageWidth),
                                             static_cast<HPDF_REAL>(place.box.imageHeight)),
                         "drawing " + name);
}

} // namespace

std::string WriteWithHaru(const DocumentPlan& plan, const fs::path& file, const std::atomic<bool>* cancel) {
    DocumentBuilder doc;
    if (doc.pdf() == nullptr) {
        ReportCannotCreateDocument();
        return kCannotCreateDocument;
    }
    const bool protectedAsAsked = !plan.protection || ApplyRc4(doc, *plan.protection);
    HPDF_Font font = protectedAsAsked ? RegisterFont(doc) : nullptr;
    bool built = font != nullptr && Describe(doc, plan.info);
    for (std::size_t i = 0; built && i < plan.pages.size(); ++i) {
        if (cancel != nullptr && cancel->load()) {
            return kCancelled;
        }
        built = AddPage(doc, font, plan.pages[i], plan.page);
    }
    if (!built || !doc.Succeeded(HPDF_SaveToFile(doc.pdf(), file.c_str()),
                                 "writing \"" + plan.target.string() + "\"")) {
        return doc.failure();
    }
    return {};
}
