#include "PdfProbe.h"

// Use the newer smart-pointer API of libqpdf and silence its transition warning.
#define POINTERHOLDER_TRANSITION 4
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include "RunProgram.h"

#include <cmath>
#include <exception>
#include <regex>
#include <unistd.h>

namespace {

double NumberOr(QPDFObjectHandle value, double fallback) {
    return value.isNumber() ? value.getNumericValue() : fallback;
}

PdfImage ReadImage(const std::string& name, QPDFObjectHandle image) {
    PdfImage result;
    result.name = name;
    QPDFObjectHandle dict = image.getDict();
    result.width = dict.getKey("/Width").isInteger() ? dict.getKey("/Width").getIntValueAsInt() : 0;
    result.height = dict.getKey("/Height").isInteger() ? dict.getKey("/Height").getIntValueAsInt() : 0;
    QPDFObjectHandle filter = dict.getKey("/Filter");
    if (filter.isName()) {
        result.filters.push_back(filter.getName());
    }
    for (int i = 0; filter.isArray() && i < filter.getArrayNItems(); ++i) {
        result.filters.push_back(filter.getArrayItem(i).unparse());
    }
    std::shared_ptr<Buffer> raw = image.getRawStreamData();
    result.bytes.assign(reinterpret_cast<const char*>(raw->getBuffer()), raw->getSize());
    return result;
}

std::vector<std::array<double, 6>> ReadMatrices(QPDFPageObjectHelper page) {
    std::vector<std::array<double, 6>> matrices;
    std::string content;
    for (auto& stream : page.getPageContents()) {
        std::shared_ptr<Buffer> data = stream.getStreamData();
        content.append(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
    }
    static const std::regex kConcat(R"(([-+0-9.]+)\s+([-+0-9.]+)\s+([-+0-9.]+)\s+([-+0-9.]+)\s+([-+0-9.]+)\s+([-+0-9.]+)\s+cm)");
    for (std::sregex_iterator it(content.begin(), content.end(), kConcat), end; it != end; ++it) {
        std::array<double, 6> matrix{};
        for (int i = 0; i < 6; ++i) {
            matrix[i] = std::stod((*it)[i + 1]);
        }
        matrices.push_back(matrix);
    }
    return matrices;
}

PdfPage ReadPage(QPDFPageObjectHelper page) {
    PdfPage result;
    QPDFObjectHandle box = page.getMediaBox();
    for (int i = 0; i < 4 && box.isArray() && i < box.getArrayNItems(); ++i) {
        result.mediaBox[i] = NumberOr(box.getArrayItem(i), NAN);
    }
    for (auto& [name, image] : page.getImages()) {
        result.images.push_back(ReadImage(name, image));
    }
    result.matrices = ReadMatrices(page);
    QPDFObjectHandle fonts = page.getAttribute("/Resources", false).getKey("/Font");
    if (fonts.isDictionary()) {
        for (auto& [name, font] : fonts.getDictAsMap()) {
            QPDFObjectHandle baseFont = font.getKey("/BaseFont");
            result.fontBaseNames.push_back(baseFont.isName() ? baseFont.getName() : "");
        }
    }
    return result;
}

std::optional<PdfOpenAction> ReadOpenAction(QPDF& pdf, const std::vector<QPDFPageObjectHelper>& pages) {
    QPDFObjectHandle action = pdf.getRoot().getKey("/OpenAction");
    if (!action.isArray() || action.getArrayNItems() < 2) {
        return std::nullopt;
    }
    PdfOpenAction result;
    const QPDFObjGen target = action.getArrayItem(0).getObjGen();
    for (std::size_t i = 0; i < pages.size(); ++i) {
        if (pages[i].getObjectHandle().getObjGen() == target) {
            result.pageIndex = static_cast<int>(i);
        }
    }
    QPDFObjectHandle kind = action.getArrayItem(1);
    result.kind = kind.isName() ? kind.getName() : kind.unparse();
    // A null parameter means "keep the current value"; NaN stands for it here.
    for (int i = 2; i < action.getArrayNItems(); ++i) {
        result.parameters.push_back(NumberOr(action.getArrayItem(i), NAN));
    }
    return result;
}

int PageIndexOf(QPDFObjectHandle page, const std::vector<QPDFPageObjectHelper>& pages) {
    for (std::size_t i = 0; i < pages.size(); ++i) {
        if (pages[i].getObjectHandle().getObjGen() == page.getObjGen()) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// The entries from `first` on, following /Next; a loop ends the walk.
std::vector<PdfOutlineEntry> ReadOutline(QPDFObjectHandle first,
                                         const std::vector<QPDFPageObjectHelper>& pages, int depth = 0) {
    std::vector<PdfOutlineEntry> entries;
    for (QPDFObjectHandle item = first; item.isDictionary() && entries.size() < 10000 && depth < 32;
         item = item.getKey("/Next")) {
        PdfOutlineEntry& entry = entries.emplace_back();
        entry.title = item.getKey("/Title").isString() ? item.getKey("/Title").getUTF8Value() : "";
        QPDFObjectHandle dest = item.getKey("/Dest");
        if (dest.isArray() && dest.getArrayNItems() > 0) {
            entry.pageIndex = PageIndexOf(dest.getArrayItem(0), pages);
        }
        entry.children = ReadOutline(item.getKey("/First"), pages, depth + 1);
    }
    return entries;
}

void ReadCatalog(QPDF& pdf, const std::vector<QPDFPageObjectHelper>& pages, PdfProbe& probe) {
    QPDFObjectHandle root = pdf.getRoot();
    // Looked up only where there is a dictionary: qpdf warns of a lookup in anything else.
    QPDFObjectHandle outlines = root.getKey("/Outlines");
    if (outlines.isDictionary()) {
        probe.outline = ReadOutline(outlines.getKey("/First"), pages);
    }
    QPDFObjectHandle metadata = root.getKey("/Metadata");
    if (metadata.isStream()) {
        std::shared_ptr<Buffer> data = metadata.getStreamData();
        probe.metadata.assign(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
    }
    QPDFObjectHandle intents = root.getKey("/OutputIntents");
    for (int i = 0; intents.isArray() && i < intents.getArrayNItems(); ++i) {
        QPDFObjectHandle intent = intents.getArrayItem(i);
        if (!intent.isDictionary()) {
            continue;
        }
        QPDFObjectHandle profile = intent.getKey("/DestOutputProfile");
        const size_t size = profile.isStream() ? profile.getStreamData()->getSize() : 0;
        probe.outputIntents.push_back(intent.getKey("/S").unparse() + " " + std::to_string(size));
    }
    QPDFObjectHandle id = pdf.getTrailer().getKey("/ID");
    probe.trailerId = id.isArray() ? id.unparse() : "";
}

PdfEncryption ReadEncryption(QPDF& pdf) {
    PdfEncryption result;
    QPDF::encryption_method_e stream, string, file;
    pdf.isEncrypted(result.R, result.P, result.V, stream, string, file);
    result.keyBits = static_cast<int>(pdf.getEncryptionKey().size() * 8);
    result.userPasswordMatched = pdf.userPasswordMatched();
    result.ownerPasswordMatched = pdf.ownerPasswordMatched();
    result.allowPrint = pdf.allowPrintHighRes();
    result.allowModify = pdf.allowModifyAll();
    result.allowExtract = pdf.allowExtractAll();
    return result;
}

} // namespace

PdfProbe ProbePdf(const std::filesystem::path& pdf, const std::string& password) {
    PdfProbe probe;
    try {
        QPDF reader;
        reader.setSuppressWarnings(true);
        // qpdf refuses an encrypted file when the password matches neither the
        // user nor the owner password, which is exactly what a reader would do.
        reader.processFile(pdf.c_str(), password.c_str());
        probe.version = reader.getPDFVersion();
        if (reader.isEncrypted()) {
            probe.encryption = ReadEncryption(reader);
        }
        std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(reader).getAllPages();
        for (auto& page : pages) {
            probe.pages.push_back(ReadPage(page));
        }
        probe.openAction = ReadOpenAction(reader, pages);
        ReadCatalog(reader, pages, probe);
        QPDFObjectHandle info = reader.getTrailer().getKey("/Info");
        if (info.isDictionary()) {
            for (auto& [key, value] : info.getDictAsMap()) {
                probe.info[key] = value.isString() ? value.getUTF8Value() : value.unparse();
            }
        }
        // qpdf repairs a truncated or damaged file with warnings; a complete one
        // needs no repair.
        probe.opened = !reader.anyWarnings();
        if (!probe.opened) {
            probe.error = "qpdf had to repair the file";
        }
    } catch (const QPDFExc& e) {
        probe.passwordRejected = e.getErrorCode() == qpdf_e_password;
        probe.error = e.what();
        probe.pages.clear();
    } catch (const std::exception& e) {
        probe.error = e.what();
        probe.pages.clear();
    }
    return probe;
}

std::filesystem::path RenderPdfPage(const std::filesystem::path& pdf, int page, int dpi, std::string& why,
                                    const std::string& password) {
    if (::access("/usr/bin/pdftoppm", X_OK) != 0) {
        why = "pdftoppm (poppler-utils) is not installed";
        return {};
    }
    const std::filesystem::path prefix = pdf.parent_path() / (pdf.stem().string() + "-page" + std::to_string(page));
    std::vector<std::string> arguments = {"-png", "-singlefile", "-r", std::to_string(dpi), "-f",
                                          std::to_string(page), "-l", std::to_string(page)};
    if (!password.empty()) {
        arguments.insert(arguments.end(), {"-upw", password});
    }
    arguments.insert(arguments.end(), {pdf.string(), prefix.string()});
    const ProgramResult result = RunProgram("/usr/bin/pdftoppm", arguments);
    if (result.exitCode != 0) {
        why = "pdftoppm failed: " + result.err;
        return {};
    }
    return prefix.string() + ".png";
}
