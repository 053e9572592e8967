#include "RememberedSettings.h"

#include <QSettings>

namespace {

const QString kSaveFolder = QStringLiteral("output/saveFolder");
const QString kMergeIntoOne = QStringLiteral("output/mergeIntoOne");
const QString kForbidPrint = QStringLiteral("output/forbidPrint");
const QString kListFolders = QStringLiteral("list/folders");
const QString kCustomSize = QStringLiteral("page/custom");
const QString kPageWidth = QStringLiteral("page/width");
const QString kPageHeight = QStringLiteral("page/height");
const QString kFilesFolder = QStringLiteral("pickers/filesFolder");
const QString kSourceFolder = QStringLiteral("pickers/sourceFolder");

// An entry holding something else than a truth value (a hand-edited file)
// counts as missing.
bool ReadFlag(const QSettings& settings, const QString& key, bool fallback) {
    const QVariant value = settings.value(key);
    return value.canConvert<bool>() && !value.toString().isEmpty() ? value.toBool() : fallback;
}

void WriteOrRemove(QSettings& settings, const QString& key, const QString& value) {
    if (value.isEmpty()) {
        settings.remove(key);
    } else {
        settings.setValue(key, value);
    }
}

} // namespace

RememberedSettings LoadRememberedSettings(QSettings& settings) {
    RememberedSettings remembered;
    remembered.saveFolder = settings.value(kSaveFolder).toString();
    remembered.listFolders = ReadFlag(settings, kListFolders, remembered.listFolders);
    remembered.mergeIntoOne = ReadFlag(settings, kMergeIntoOne, remembered.mergeIntoOne);
    remembered.forbidPrint = ReadFlag(settings, kForbidPrint, remembered.forbidPrint);
    remembered.customSize = ReadFlag(settings, kCustomSize, remembered.customSize);
    remembered.pageWidth = settings.value(kPageWidth).toString();
    remembered.pageHeight = settings.value(kPageHeight).toString();
    remembered.filesFolder = settings.value(kFilesFolder).toString();
    remembered.sourceFolder = settings.value(kSourceFolder).toString();
    return remembered;
}

void SaveRememberedSettings(QSettings& settings, const RememberedSettings& remembered) {
    WriteOrRemove(settings, kSaveFolder, remembered.saveFolder);
    settings.setValue(kListFolders, remembered.listFolders);
    settings.setValue(kMergeIntoOne, remembered.mergeIntoOne);
    settings.setValue(kForbidPrint, remembered.forbidPrint);
    settings.setValue(kCustomSize, remembered.customSize);
    WriteOrRemove(settings, kPageWidth, remembered.pageWidth);
    WriteOrRemove(settings, kPageHeight, remembered.pageHeight);
    WriteOrRemove(settings, kFilesFolder, remembered.filesFolder);
    WriteOrRemove(settings, kSourceFolder, remembered.sourceFolder);
    settings.sync();
}
