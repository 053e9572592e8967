#include "QpdfWriter.h"

#include "PdfMessages.h"
#include "TextLayerFont.h"

// The newer smart-pointer interface of libqpdf, without its transition warning.
#define POINTERHOLDER_TRANSITION 4
#include <qpdf/ClosedFileInputSource.hh>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <exception>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <system_error>

namespace {

constexpr size_t kChunk = 1 << 20;

using Object = QPDFObjectHandle;

struct Cancelled : std::runtime_error {
    Cancelled() : std::runtime_error(kCancelled) {}
};

std::string CannotRead(const std::string& name, int error) {
    return "cannot read the picture " + name + ": " +
           std::error_code(error, std::generic_category()).message();
}

// A number as the drawing operators have always been written: at most five
// decimals, no trailing zeros, never "-0".
std::string Number(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.5f", value);
    std::string number = text;
    number.erase(number.find_last_not_of('0') + 1);
    if (number.back() == '.') {
        number.pop_back();
    }
    return number == "-0" ? "0" : number;
}

// A number of the page's dictionary as libharu writes it: in single
// precision, then as above.
Object NumberObject(double value) {
    const std::string text = Number(static_cast<float>(value));
    return text.find('.') == std::string::npos ? Object::newInteger(std::stoll(text)) : Object::newReal(text);
}

// Passes up to `length` bytes of `in`, from where it stands, to `pipeline`.
void PassOn(std::FILE* in, uint64_t length, Pipeline* pipeline, std::vector<unsigned char>& chunk,
            const std::string& name) {
    while (length > 0) {
        const size_t wanted = static_cast<size_t>(std::min<uint64_t>(chunk.size(), length));
        const size_t got = std::fread(chunk.data(), 1, wanted, in);
        if (got > 0) {
            pipeline->write(chunk.data(), got);
        }
        if (got < wanted) {
            if (std::ferror(in)) {
                throw std::runtime_error(CannotRead(name, errno));
            }
            return; // the end of the file
        }
        length -= got;
    }
}

// Hands each picture's file to the writer when it writes that picture's
// stream: the only time its bytes are in memory.
class PageImages : public QPDFObjectHandle::StreamDataProvider {
  public:
    explicit PageImages(const std::atomic<bool>* cancel) : cancel_(cancel) {}

    void Add(QPDFObjGen stream, const QpdfImage& image) { images_[stream] = &image; }

    void provideStreamData(QPDFObjGen const& stream, Pipeline* pipeline) override {
        if (cancel_ != nullptr && cancel_->load()) {
            throw Cancelled();
        }
        const QpdfImage& image = *images_.at(stream);
        std::unique_ptr<std::FILE, decltype(&std::fclose)> in(std::fopen(image.file.c_str(), "rb"),
                                                              &std::fclose);
        if (!in) {
            throw std::runtime_error(CannotRead(image.name, errno));
        }
        if (image.mustBeUnchanged) {
            // The source itself: it must still be the file that was checked.
            struct stat info {};
            if (::fstat(::fileno(in.get()), &info) != 0) {
                throw std::runtime_error(CannotRead(image.name, errno));
            }
            if (static_cast<uint64_t>(info.st_size) != image.bytes ||
                int64_t{info.st_mtim.tv_sec} * 1'000'000'000 + info.st_mtim.tv_nsec != image.modifiedNs) {
                throw std::runtime_error("the picture " + image.name +
                                         " changed while it was being converted");
            }
        }
        std::vector<unsigned char> chunk(kChunk);
        uint64_t at = 0;
        for (const auto& [offset, length] : image.leaveOut) {
            if (offset < at) {
                continue;
            }
            PassOn(in.get(), offset - at, pipeline, chunk, image.name);
            at = offset + length;
            if (::fseeko(in.get(), static_cast<off_t>(at), SEEK_SET) != 0) {
                throw std::runtime_error(CannotRead(image.name, errno));
            }
        }
        PassOn(in.get(), std::numeric_limits<uint64_t>::max(), pipeline, chunk, image.name);
        pipeline->finish();
    }

  private:
    const std::atomic<bool>* cancel_;
    std::map<QPDFObjGen, const QpdfImage*> images_;
};

// PDF/A wants no image smoothed as it is enlarged, which cairo asks of the
// pictures it scales smoothly: every image `object` reaches draws its pixels
// as they are.
void NoInterpolation(Object object, std::set<QPDFObjGen>& seen) {
    if (object.isIndirect() && !seen.insert(object.getObjGen()).second) {
        return;
    }
    if (object.isStream()) {
        Object dict = object.getDict();
        if (dict.getKey("/Subtype").isNameAndEquals("/Image")) {
            dict.removeKey("/Interpolate");
        }
        NoInterpolation(dict, seen);
    } else if (object.isDictionary()) {
        for (const std::string& key : object.getKeys()) {
            NoInterpolation(object.getKey(key), seen);
        }
    } else if (object.isArray()) {
        for (Object& item : object.getArrayAsVector()) {
            NoInterpolation(item, seen);
        }
    }
}

// The drawings of a document's pages, each read from its file as a form.
// libqpdf copies a drawing's data only when it writes the document, so the
// documents the drawings come from are kept until then; each opens its file
// only while libqpdf reads from it, since a merged document may show more
// drawings than a process may hold files open.
class Drawings {
  public:
    Object Form(QPDF& pdf, const QpdfDrawing& drawing, bool archival) {
        try {
            QPDF& source = *sources_.emplace_back(std::make_unique<QPDF>());
            source.setSuppressWarnings(true);
            source.processInputSource(std::make_shared<ClosedFileInputSource>(drawing.file.c_str()));
            std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(source).getAllPages();
            if (pages.size() != 1) {
                throw std::runtime_error("it has " + std::to_string(pages.size()) + " pages, not one");
            }
            Object form = pdf.copyForeignObject(pages[0].getFormXObjectForPage(false));
            Object dict = form.getDict();
            // The form maps its box onto the unit square, so that the page
            // draws it as it draws a picture.
            const Object::Rectangle box = dict.getKey("/BBox").getArrayAsRectangle();
            const double width = box.urx - box.llx, height = box.ury - box.lly;
            if (!(width > 0 && height > 0)) {
                throw std::runtime_error("its page is empty");
            }
            dict.replaceKey("/Matrix",
                            Object::newArray({Object::newReal(1 / width, 12), Object::newInteger(0),
                                              Object::newInteger(0), Object::newReal(1 / height, 12),
                                              Object::newReal(-box.llx / width, 12),
                                              Object::newReal(-box.lly / height, 12)}));
            if (archival) {
                std::set<QPDFObjGen> seen;
                NoInterpolation(form, seen);
            }
            return form;
        } catch (const std::exception& error) {
            throw std::runtime_error("the vector drawing of " + drawing.name +
                                     " cannot be read: " + error.what());
        }
    }

  private:
    std::vector<std::unique_ptr<QPDF>> sources_;
};

// The widths libharu gives the SimHei font: runs of half-width codes.
std::string SimHeiWidths() {
    std::string widths = "[";
    for (const auto& [first, count] :
         {std::pair{668, 27}, std::pair{696, 4}, std::pair{814, 94}, std::pair{7716, 1}}) {
        widths += " " + std::to_string(first) + " [";
        for (int i = 0; i < count; ++i) {
            widths += " 500";
        }
        widths += " ]";
    }
    return widths + " ]";
}

// The CJK font every page has always selected (and never drawn with), as
// libharu describes its built-in SimHei with the GB-EUC-H encoding.
Object CjkFont(QPDF& pdf) {
    Object descriptor = pdf.makeIndirectObject(
        Object::parse("<< /Type /FontDescriptor /FontName /SimHei /Ascent 859 /Descent -140 /CapHeight 769 "
                      "/MissingWidth 500 /Flags 5 /FontBBox [ 0 -140 996 855 ] /ItalicAngle 0 /StemV 78 >>"));
    Object descendant = pdf.makeIndirectObject(
        Object::parse("<< /Type /Font /Subtype /CIDFontType0 /DW 1000 /BaseFont /SimHei /DW2 [ 880 -1000 ] "
                      "/CIDSystemInfo << /Registry (Adobe) /Ordering (GB1) /Supplement 0 >> /W " +
                      SimHeiWidths() + " >>"));
    descendant.replaceKey("/FontDescriptor", descriptor);
    Object font = pdf.makeIndirectObject(
        Object::parse("<< /Type /Font /BaseFont /SimHei /Subtype /Type0 /Encoding /GB-EUC-H >>"));
    font.replaceKey("/DescendantFonts", Object::newArray({descendant}));
    return font;
}

// The glyphless font's metrics, and its program when there is one.
Object TextFontDescriptor(QPDF& pdf, const QpdfTextFont& text) {
    const std::string name = std::string("/") + kTextFontName;
    const std::string width = std::to_string(kTextCharacterWidth);
    const std::string ascent = std::to_string(kTextAscent);
    const std::string descent = std::to_string(kTextDescent);
    Object descriptor = pdf.makeIndirectObject(
        Object::parse("<< /Type /FontDescriptor /FontName " + name + " /Flags 5 /FontBBox [ 0 " + descent +
                      " " + width + " " + ascent + " ] /ItalicAngle 0 /Ascent " + ascent + " /Descent " +
                      descent + " /CapHeight " + ascent + " /StemV 80 >>")); // Flags 5: fixed pitch, symbolic
    if (!text.program.empty()) {
        Object program = Object::newStream(&pdf, text.program);
        program.getDict().replaceKey("/Length1",
                                     Object::newInteger(static_cast<long long>(text.program.size())));
        descriptor.replaceKey("/FontFile2", program);
    }
    return descriptor;
}

// Two-byte codes, each its own CID: the code of a character is its Unicode
// value, and the ToUnicode map gives it back.
Object TextFont(QPDF& pdf, const QpdfTextFont& text) {
    const std::string name = std::string("/") + kTextFontName;
    Object descendant = pdf.makeIndirectObject(
        Object::parse("<< /Type /Font /Subtype /CIDFontType2 /BaseFont " + name +
                      " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /DW " +
                      std::to_string(kTextCharacterWidth) + " >>"));
    descendant.replaceKey("/FontDescriptor", TextFontDescriptor(pdf, text));
    descendant.replaceKey("/CIDToGIDMap", Object::newStream(&pdf, text.glyphMap));
    Object font = pdf.makeIndirectObject(
        Object::parse("<< /Type /Font /Subtype /Type0 /BaseFont " + name + " /Encoding /Identity-H >>"));
    font.replaceKey("/DescendantFonts", Object::newArray({descendant}));
    font.replaceKey("/ToUnicode", Object::newStream(&pdf, text.toUnicode));
    return font;
}

Object ImageStream(QPDF& pdf, const QpdfImage& image, const std::shared_ptr<PageImages>& images) {
    Object stream = Object::newStream(&pdf);
    Object dict = stream.getDict();
    dict.replaceKey("/Type", Object::newName("/XObject"));
    dict.replaceKey("/Subtype", Object::newName("/Image"));
    dict.replaceKey("/Width", Object::newInteger(image.width));
    dict.replaceKey("/Height", Object::newInteger(image.height));
    const char* space = image.components == 1   ? "/DeviceGray"
                        : image.components == 4 ? "/DeviceCMYK"
                                                : "/DeviceRGB";
    if (!image.palette.empty()) {
        const auto highest = static_cast<long long>(image.palette.size() / 3) - 1;
        dict.replaceKey("/ColorSpace", Object::newArray({Object::newName("/Indexed"), Object::newName("/DeviceRGB"),
                                                         Object::newInteger(highest),
                                                         Object::newString(image.palette)}));
    } else if (image.bitsPerComponent > 0) {
        dict.replaceKey("/ColorSpace", Object::newName(space));
    }
    if (image.components == 4) {
        // As libharu takes CMYK JPEGs: stored inverted, as Adobe's writers do.
        dict.replaceKey("/Decode", Object::parse("[ 1 0 1 0 1 0 1 0 ]"));
    }
    if (image.bitsPerComponent > 0) {
        dict.replaceKey("/BitsPerComponent", Object::newInteger(image.bitsPerComponent));
    }
    images->Add(stream.getObjGen(), image);
    stream.replaceStreamData(images, Object::newArray({Object::newName(image.filter)}),
                             image.decodeParms.empty() ? Object::newNull()
                                                       : Object::newArray({Object::parse(image.decodeParms)}));
    // The data is already coded as its filter says: written as it is, not
    // decoded and compressed again.
    stream.setFilterOnWrite(false);
    return stream;
}

// 16-bit samples and JPEG 2000 streams came with PDF 1.5.
bool NeedsPdf15(const QpdfDocument& document) {
    for (const QpdfPage& page : document.pages) {
        if (page.image.bitsPerComponent == 16 || page.image.filter == "/JPXDecode") {
            return true;
        }
    }
    return false;
}

// What the pages of a document draw: pictures and drawings.
struct PagePictures {
    std::shared_ptr<PageImages> images;
    Drawings drawings;
    bool archival = false;
};

Object AddPage(QPDF& pdf, const QpdfPage& plan, const Object* cjkFont, const Object* textFont,
               PagePictures& pictures) {
    Object page = pdf.makeIndirectObject(
        Object::parse("<< /Type /Page /Resources << /ProcSet [ /PDF /Text /ImageB /ImageC /ImageI ] >> >>"));
    page.replaceKey("/MediaBox", Object::newArray({Object::newInteger(0), Object::newInteger(0),
                                                   NumberObject(plan.width), NumberObject(plan.height)}));
    Object resources = page.getKey("/Resources");
    Object fonts = Object::newDictionary();
    if (cjkFont != nullptr) {
        fonts.replaceKey("/F1", *cjkFont);
    }
    Object xobjects = Object::newDictionary();
    xobjects.replaceKey("/X1", plan.drawing ? pictures.drawings.Form(pdf, *plan.drawing, pictures.archival)
                                            : ImageStream(pdf, plan.image, pictures.images));
    resources.replaceKey("/XObject", xobjects);
    const auto& m = plan.matrix;
    Object content =
        Object::newStream(&pdf, std::string(cjkFont != nullptr ? "/F1 12 Tf\n" : "") + "q\n" + Number(m[0]) +
                                    " " + Number(m[1]) + " " + Number(m[2]) + " " + Number(m[3]) + " " +
                                    Number(m[4]) + " " + Number(m[5]) + " cm\n/X1 Do\nQ\n");
    if (plan.text.empty() || textFont == nullptr) {
        page.replaceKey("/Contents", content);
    } else {
        // The layer in a stream of its own: the page's drawing stays as it is without text.
        fonts.replaceKey(std::string("/") + kTextFontResource, *textFont);
        page.replaceKey("/Contents", Object::newArray({content, Object::newStream(&pdf, plan.text)}));
    }
    if (fonts.getKeys().empty()) {
        resources.removeKey("/Font");
    } else {
        resources.replaceKey("/Font", fonts);
    }
    pdf.addPage(page, false);
    return page;
}

void Describe(QPDF& pdf, const QpdfDocument& document, const Object& lastPage, double lastHeight) {
    Object info = pdf.makeIndirectObject(Object::newDictionary());
    info.replaceKey("/Producer", Object::newUnicodeString(document.producer));
    info.replaceKey("/Title", Object::newUnicodeString(document.title));
    info.replaceKey("/CreationDate", Object::newString(document.creationDate));
    for (const auto& [key, value] :
         {std::pair{"/Author", &document.author}, std::pair{"/Subject", &document.subject},
          std::pair{"/Keywords", &document.keywords}}) {
        if (!value->empty()) {
            info.replaceKey(key, Object::newUnicodeString(*value));
        }
    }
    if (document.archival) {
        info.replaceKey("/ModDate", Object::newString(document.archival->modificationDate));
    }
    pdf.getTrailer().replaceKey("/Info", info);
    // The document opens at its last page, at 100 %, showing its top-left corner.
    pdf.getRoot().replaceKey("/OpenAction",
                             Object::newArray({lastPage, Object::newName("/XYZ"), Object::newInteger(0),
                                               NumberObject(lastHeight), Object::newInteger(1)}));
}

// The entries of one level of the outline under `parent`, linked both ways;
// every entry shows the top-left corner of its page at the zoom the reader has.
void AddBookmarks(QPDF& pdf, Object parent, const std::vector<QpdfBookmark>& entries,
                  const std::vector<Object>& pages, const std::vector<double>& heights) {
    Object previous;
    for (const QpdfBookmark& entry : entries) {
        Object item = pdf.makeIndirectObject(Object::newDictionary());
        item.replaceKey("/Title", Object::newUnicodeString(entry.title));
        item.replaceKey("/Parent", parent);
        item.replaceKey(
            "/Dest", Object::newArray({pages.at(entry.page), Object::newName("/XYZ"), Object::newInteger(0),
                                       NumberObject(heights.at(entry.page)), Object::newNull()}));
        if (previous.isInitialized()) {
            previous.replaceKey("/Next", item);
            item.replaceKey("/Prev", previous);
        } else {
            parent.replaceKey("/First", item);
        }
        if (!entry.children.empty()) {
            AddBookmarks(pdf, item, entry.children, pages, heights);
            // Negative: a picture's pages stay folded under it until opened.
            item.replaceKey("/Count", Object::newInteger(-static_cast<long long>(entry.children.size())));
        }
        previous = item;
    }
    parent.replaceKey("/Last", previous);
}

void AddOutline(QPDF& pdf, const std::vector<QpdfBookmark>& outline, const std::vector<Object>& pages,
                const std::vector<double>& heights) {
    Object outlines = pdf.makeIndirectObject(Object::parse("<< /Type /Outlines >>"));
    AddBookmarks(pdf, outlines, outline, pages, heights);
    outlines.replaceKey("/Count", Object::newInteger(static_cast<long long>(outline.size())));
    pdf.getRoot().replaceKey("/Outlines", outlines);
    pdf.getRoot().replaceKey("/PageMode", Object::newName("/UseOutlines"));
}

// The metadata and the output intent that declare the document PDF/A: its
// device RGB colours are sRGB, as the pictures were made.
void MakeArchival(QPDF& pdf, const QpdfArchival& archival) {
    Object metadata = Object::newStream(&pdf, archival.metadata);
    metadata.getDict().replaceKey("/Type", Object::newName("/Metadata"));
    metadata.getDict().replaceKey("/Subtype", Object::newName("/XML"));
    pdf.getRoot().replaceKey("/Metadata", metadata);
    Object profile = Object::newStream(&pdf, archival.iccProfile);
    profile.getDict().replaceKey("/N", Object::newInteger(3));
    Object intent = pdf.makeIndirectObject(
        Object::parse("<< /Type /OutputIntent /S /GTS_PDFA1 /OutputConditionIdentifier (sRGB IEC61966-2.1) "
                      "/Info (sRGB IEC61966-2.1) /RegistryName (http://www.color.org) >>"));
    intent.replaceKey("/DestOutputProfile", profile);
    pdf.getRoot().replaceKey("/OutputIntents", Object::newArray({intent}));
}

void Protect(QPDFWriter& writer, const DocumentProtection& protection) {
    const bool allow = !protection.forbidAll;
    const qpdf_r3_print_e print = allow ? qpdf_r3p_full : qpdf_r3p_none;
    const char* user = protection.userPassword.c_str();
    const char* owner = protection.ownerPassword.c_str();
    if (protection.method == Encryption::Aes256) {
        writer.setR6EncryptionParameters(user, owner, allow, allow, allow, allow, allow, allow, print, true);
    } else {
        writer.setR3EncryptionParametersInsecure(user, owner, allow, allow, allow, allow, allow, allow,
                                                 print);
    }
}

} // namespace

std::string WriteQpdfDocument(const QpdfDocument& document, const std::string& file, const std::string& name,
                              const std::atomic<bool>* cancel) {
    const bool aes = document.protection && document.protection->method == Encryption::Aes256;
    std::unique_ptr<std::FILE, decltype(&std::fclose)> out(nullptr, &std::fclose);
    try {
        QPDF pdf;
        pdf.emptyPDF();
        pdf.setSuppressWarnings(true);
        PagePictures pictures{std::make_shared<PageImages>(cancel), {}, document.archival.has_value()};
        std::optional<Object> cjkFont;
        if (!document.archival) {
            cjkFont = CjkFont(pdf);
        }
        std::optional<Object> textFont;
        if (document.textFont) {
            textFont = TextFont(pdf, *document.textFont);
        }
        std::vector<Object> pages;
        std::vector<double> heights;
        for (const QpdfPage& page : document.pages) {
            if (cancel != nullptr && cancel->load()) {
                return kCancelled;
            }
            pages.push_back(
                AddPage(pdf, page, cjkFont ? &*cjkFont : nullptr, textFont ? &*textFont : nullptr, pictures));
            heights.push_back(page.height);
        }
        Describe(pdf, document, pages.empty() ? Object() : pages.back(),
                 heights.empty() ? 0 : heights.back());
        if (!document.outline.empty()) {
            AddOutline(pdf, document.outline, pages, heights);
        }
        if (document.archival) {
            MakeArchival(pdf, *document.archival);
        }

        out.reset(std::fopen(file.c_str(), "wb"));
        if (!out) {
            return "writing " + name + ": " + std::error_code(errno, std::generic_category()).message();
        }
        QPDFWriter writer(pdf);
        writer.setOutputFile(name.c_str(), out.get(), false);
        // Pictures go in as their files hold them: no stream is decoded or
        // recompressed; what we make ourselves (contents, font data) is compressed.
        writer.setDecodeLevel(qpdf_dl_none);
        writer.setCompressStreams(true);
        if (document.protection) {
            Protect(writer, *document.protection);
        } else if (document.deterministicId) {
            writer.setDeterministicID(true);
        }
        if (NeedsPdf15(document)) {
            writer.setMinimumPDFVersion("1.5");
        }
        if (document.archival) {
            writer.setMinimumPDFVersion(document.archival->version);
            // PDF/A wants the end of every stream's data marked by a line break.
            writer.setNewlineBeforeEndstream(true);
        }
        writer.write();
    } catch (const Cancelled&) {
        return kCancelled;
    } catch (const std::exception& error) {
        return "writing " + name + (aes ? " with AES-256: " : ": ") + error.what();
    }
    if (std::fflush(out.get()) != 0 || std::ferror(out.get()) || std::fclose(out.release()) != 0) {
        return "writing " + name + ": " + std::error_code(errno, std::generic_category()).message();
    }
    return {};
}
