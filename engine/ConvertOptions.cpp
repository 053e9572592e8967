#include "ConvertOptions.h"

ConvertOptions& ConvertOptions::operator=(const ConvertOptions& other) {
    pageWidth = other.pageWidth;
    pageHeight = other.pageHeight;
    outputFolder = other.outputFolder;
    mergeIntoOne = other.mergeIntoOne;
    forbidPrint = other.forbidPrint;
    usePassword.store(other.usePassword.load());
    password = other.password;
    listMode = other.listMode;
    return *this;
}
