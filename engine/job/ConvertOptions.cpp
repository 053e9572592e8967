#include "ConvertOptions.h"

#include "DocumentPlan.h"

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
    encryption = other.encryption;
    documentNames = other.documentNames;
    outputFile = other.outputFile;
    replaceOutputFile = other.replaceOutputFile;
    ocrLanguages = other.ocrLanguages;
    return *this;
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
    return settings;
}
