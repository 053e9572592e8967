#include "PdfProbe.h"

// Use the newer smart-pointer API of libqpdf and silence its transition warning.
#define POINTERHOLDER_TRANSITION 4
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <cmath>
#include <exception>

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

PdfPage ReadPage(QPDFPageObjectHelper page) {
    PdfPage result;
    QPDFObjectHandle box = page.getMediaBox();
    for (int i = 0; i < 4 && box.isArray() && i < box.getArrayNItems(); ++i) {
        result.mediaBox[i] = NumberOr(box.getArrayItem(i), NAN);
    }
    for (auto& [name, image] : page.getImages()) {
        result.images.push_back(ReadImage(name, image));
    }
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
