#include "PdfPages.h"

#include "JpegMarkers.h"

#include <hpdf_objects.h>

#include <array>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr const char* kNotJpeg = "is not a JPEG picture";
constexpr const char* kEmptyJpeg = "is empty or holds no picture";

// How the unit square a PDF image is drawn in maps onto the square it is
// shown in, for each EXIF orientation: {a, b, c, d, e, f} as in the "cm"
// operator, x' = a u + c v + e, y' = b u + d v + f, with v = 1 the stored
// picture's top row.
constexpr std::array<std::array<float, 6>, 9> kTurns{{
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

// The header of the JPEG in `file`: as much of its beginning as reaching the
// first scan takes (its segments before the scan rarely fill more than a few
// kilobytes, but may fill megabytes).
std::optional<JpegLayout> ReadHeaderOf(const fs::path& file) {
    std::unique_ptr<std::FILE, decltype(&std::fclose)> in(std::fopen(file.c_str(), "rb"), &std::fclose);
    if (!in) {
        return std::nullopt;
    }
    std::string head;
    for (size_t wanted = 64 * 1024;; wanted *= 4) {
        const size_t had = head.size();
        head.resize(wanted);
        head.resize(had + std::fread(head.data() + had, 1, wanted - had, in.get()));
        if (std::optional<JpegLayout> layout = ReadJpegLayout(head)) {
            return layout;
        }
        if (head.size() < wanted) {
            return std::nullopt; // the whole file holds no header
        }
    }
}

// A one-pixel stand-in for the kept JPEG `jpeg`, whose bytes the saving puts
// in its place (KeptPicture): the library never copies the picture itself.
HPDF_Image AddKeptStandIn(DocumentBuilder& doc, const fs::path& jpeg, const PageNotes& notes,
                          const std::string& name) {
    const KeptJpeg& kept = *notes.keptJpeg;
    const std::optional<JpegLayout> layout = ReadHeaderOf(jpeg);
    const int components = layout ? static_cast<int>(layout->componentIds.size()) : 0;
    if (!layout || layout->width != kept.width || layout->height != kept.height ||
        (components != 1 && components != 3)) {
        // A page linked to its source sees the source itself, which the user
        // may have changed or removed since it was checked.
        doc.Fail(kept.linked ? "the picture \"" + notes.source.string() + "\" changed or went away while it was "
                                                                          "being converted"
                             : name + " is not the picture its page notes describe");
        return nullptr;
    }
    static constexpr HPDF_BYTE kWhite = 255;
    HPDF_Image image = HPDF_LoadRawImageFromMem(doc.pdf(), &kWhite, 1, 1, HPDF_CS_DEVICE_GRAY, 8);
    if (!doc.Got(image, name) ||
        !doc.Succeeded(HPDF_Dict_AddNumber(image, kKeptPictureKey,
                                           static_cast<HPDF_INT32>(doc.keptPictures().size())),
                       name)) {
        return nullptr;
    }
    doc.keptPictures().push_back({jpeg, kept.width, kept.height, components, kept.linked});
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

// The kept picture in the place the rendered page would have shown it: the
// place is measured in pixels of that page picture from its top-left corner,
// and the page shows that picture from its lower-left corner, `box` large.
bool DrawKeptJpeg(DocumentBuilder& doc, HPDF_Page page, HPDF_Image image, const KeptJpeg& kept,
                  const PdfPageBox& box, const std::string& name) {
    const double scaleX = box.imageWidth / kept.pageWidth;
    const double scaleY = box.imageHeight / kept.pageHeight;
    const double width = kept.place.width * scaleX;
    const double height = kept.place.height * scaleY;
    const double left = kept.place.left * scaleX;
    const double bottom = box.imageHeight - (kept.place.top + kept.place.height) * scaleY;
    const auto& turn = kTurns[static_cast<size_t>(kept.orientation) < kTurns.size() ? kept.orientation : 1];
    const std::string step = "drawing " + name;
    return doc.Succeeded(HPDF_Page_GSave(page), step) &&
           doc.Succeeded(HPDF_Page_Concat(page, static_cast<HPDF_REAL>(width * turn[0]),
                                          static_cast<HPDF_REAL>(height * turn[1]),
                                          static_cast<HPDF_REAL>(width * turn[2]),
                                          static_cast<HPDF_REAL>(height * turn[3]),
                                          static_cast<HPDF_REAL>(left + width * turn[4]),
                                          static_cast<HPDF_REAL>(bottom + height * turn[5])),
                         step) &&
           doc.Succeeded(HPDF_Page_ExecuteXObject(page, image), step) &&
           doc.Succeeded(HPDF_Page_GRestore(page), step);
}

} // namespace

bool AddPreparedPage(DocumentBuilder& doc, HPDF_Font font, TextLayerFont& textFont, const fs::path& jpeg,
                     const PageNotes& notes, const PageSetup& setup) {
    const std::string name = "\"" + jpeg.string() + "\"";
    HPDF_Image image = notes.keptJpeg ? AddKeptStandIn(doc, jpeg, notes, name) : LoadJpeg(doc, jpeg, name);
    if (image == nullptr) {
        return false;
    }
    // The page's size follows from the page settings and the page picture's
    // shape: a sheet turned as the picture is, or the Custom size in pixels.
    const PdfPageBox box = notes.keptJpeg
                               ? PdfPageFor(setup, notes.keptJpeg->pageWidth, notes.keptJpeg->pageHeight)
                               : PdfPageFor(setup, static_cast<int32_t>(HPDF_Image_GetWidth(image)),
                                            static_cast<int32_t>(HPDF_Image_GetHeight(image)));
    HPDF_Page page = AddSizedPage(doc, font, box, name);
    if (page == nullptr) {
        return false;
    }
    // From the lower-left corner: over the whole sheet for a paper size, one
    // pixel per point for a Custom size (a picture of another size than the
    // page is not scaled then).
    const bool drawn =
        notes.keptJpeg
            ? DrawKeptJpeg(doc, page, image, *notes.keptJpeg, box, name)
            : doc.Succeeded(HPDF_Page_DrawImage(page, image, 0, 0, static_cast<HPDF_REAL>(box.imageWidth),
                                                static_cast<HPDF_REAL>(box.imageHeight)),
                            "drawing " + name);
    if (!drawn || !notes.text) {
        return drawn;
    }
    // The text goes over the page picture it was read from, wherever that lies.
    const PictureFrame frame{0, 0, box.imageWidth, box.imageHeight};
    return doc.Succeeded(textFont.Draw(page, *notes.text, frame), "adding the text of " + name);
}
