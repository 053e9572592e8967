#include "RememberedSettings.h"

#include <QRegularExpression>
#include <QSettings>

namespace {

const QString kSaveFolder = QStringLiteral("output/saveFolder");
const QString kMergeIntoOne = QStringLiteral("output/mergeIntoOne");
const QString kForbidPrint = QStringLiteral("output/forbidPrint");
const QString kAes256 = QStringLiteral("output/aes256");
const QString kListFolders = QStringLiteral("list/folders");
const QString kCustomSize = QStringLiteral("page/custom");
const QString kPageWidth = QStringLiteral("page/width");
const QString kPageHeight = QStringLiteral("page/height");
const QString kFilesFolder = QStringLiteral("pickers/filesFolder");
const QString kSourceFolder = QStringLiteral("pickers/sourceFolder");
const QString kPaper = QStringLiteral("page/paper");
const QString kDpi = QStringLiteral("page/dpi");
const QString kOrientation = QStringLiteral("page/orientation");
const QString kMargin = QStringLiteral("page/margin");
const QString kFit = QStringLiteral("page/fit");
const QString kKeepJpeg = QStringLiteral("page/keepJpeg");
const QString kLossless = QStringLiteral("page/lossless");
const QString kFolderOrder = QStringLiteral("list/folderOrder");
const QString kRecognizeText = QStringLiteral("page/recognizeText");
const QString kOcrLanguages = QStringLiteral("page/ocrLanguages");
const QString kBookmarks = QStringLiteral("document/bookmarks");
const QString kPdfA = QStringLiteral("document/pdfa");
const QString kTitle = QStringLiteral("document/title");
const QString kAuthor = QStringLiteral("document/author");
const QString kSubject = QStringLiteral("document/subject");
const QString kKeywords = QStringLiteral("document/keywords");
const QString kDeskew = QStringLiteral("scans/deskew");
const QString kAutoRotate = QStringLiteral("scans/autoRotate");
const QString kSkipBlank = QStringLiteral("scans/skipBlank");
const QString kBilevel = QStringLiteral("scans/bilevel");

// Choices are stored by name, so the file stays readable and a value from a
// newer or hand-edited file that means nothing here falls back to the default.
template <typename Enum> struct Named {
    Enum value;
    const char* name;
};
constexpr Named<PageOrientation> kOrientations[] = {{PageOrientation::AsSized, "as-sized"},
                                                    {PageOrientation::Portrait, "portrait"},
                                                    {PageOrientation::Landscape, "landscape"},
                                                    {PageOrientation::Auto, "auto"}};
constexpr Named<PictureFit> kFits[] = {{PictureFit::Fit, "fit"}, {PictureFit::Shrink, "shrink"}};
constexpr Named<FolderOrder> kOrders[] = {
    {FolderOrder::Standard, "standard"}, {FolderOrder::WriteTime, "time"}, {FolderOrder::Name, "name"}};
constexpr Named<PdfA> kPdfALevels[] = {{PdfA::None, "none"}, {PdfA::A1b, "1b"}, {PdfA::A2b, "2b"}};

template <typename Enum, size_t N>
Enum ReadNamed(const QSettings& settings, const QString& key, const Named<Enum> (&names)[N], Enum fallback) {
    const QString text = settings.value(key).toString();
    for (const auto& named : names) {
        if (text == QLatin1String(named.name)) {
            return named.value;
        }
    }
    return fallback;
}

template <typename Enum, size_t N> QString NameOf(const Named<Enum> (&names)[N], Enum value) {
    for (const auto& named : names) {
        if (named.value == value) {
            return QLatin1String(named.name);
        }
    }
    return {};
}

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

PageChoice ReadPageChoice(const QSettings& settings) {
    PageChoice page;
    const QString paper = settings.value(kPaper).toString();
    page.paper = PaperSizeNamed(paper.toStdString()).value_or(PaperSize::Custom);
    bool number = false;
    const int dpi = settings.value(kDpi).toInt(&number);
    if (number && dpi >= kMinDpi && dpi <= kMaxDpi) {
        page.dpi = dpi;
    }
    const double margin = settings.value(kMargin).toDouble(&number);
    if (number && margin >= 0) {
        page.margin = margin;
    }
    page.orientation = ReadNamed(settings, kOrientation, kOrientations, page.orientation);
    page.fit = ReadNamed(settings, kFit, kFits, page.fit);
    page.order = ReadNamed(settings, kFolderOrder, kOrders, page.order);
    page.keepJpeg = ReadFlag(settings, kKeepJpeg, page.keepJpeg);
    page.lossless = ReadFlag(settings, kLossless, page.lossless);
    page.bookmarks = ReadFlag(settings, kBookmarks, page.bookmarks);
    page.pdfa = ReadNamed(settings, kPdfA, kPdfALevels, page.pdfa);
    page.scans.deskew = ReadFlag(settings, kDeskew, page.scans.deskew);
    page.scans.autoRotate = ReadFlag(settings, kAutoRotate, page.scans.autoRotate);
    page.scans.skipBlank = ReadFlag(settings, kSkipBlank, page.scans.skipBlank);
    page.scans.bilevel = ReadFlag(settings, kBilevel, page.scans.bilevel);
    page.title = settings.value(kTitle).toString();
    page.author = settings.value(kAuthor).toString();
    page.subject = settings.value(kSubject).toString();
    page.keywords = settings.value(kKeywords).toString();
    // Language names joined by "+", nothing else: they become file names.
    static const QRegularExpression kLanguages(QStringLiteral("^[A-Za-z0-9_-]+(\\+[A-Za-z0-9_-]+)*$"));
    const QString languages = settings.value(kOcrLanguages).toString();
    if (kLanguages.match(languages).hasMatch()) {
        page.ocrLanguages = languages;
        page.recognizeText = ReadFlag(settings, kRecognizeText, page.recognizeText);
    }
    return page;
}

void WritePageChoice(QSettings& settings, const PageChoice& page) {
    settings.setValue(kPaper, QString::fromLatin1(PaperName(page.paper)));
    settings.setValue(kDpi, page.dpi);
    settings.setValue(kOrientation, NameOf(kOrientations, page.orientation));
    settings.setValue(kMargin, page.margin);
    settings.setValue(kFit, NameOf(kFits, page.fit));
    settings.setValue(kFolderOrder, NameOf(kOrders, page.order));
    settings.setValue(kKeepJpeg, page.keepJpeg);
    settings.setValue(kLossless, page.lossless);
    settings.setValue(kBookmarks, page.bookmarks);
    settings.setValue(kPdfA, NameOf(kPdfALevels, page.pdfa));
    settings.setValue(kDeskew, page.scans.deskew);
    settings.setValue(kAutoRotate, page.scans.autoRotate);
    settings.setValue(kSkipBlank, page.scans.skipBlank);
    settings.setValue(kBilevel, page.scans.bilevel);
    WriteOrRemove(settings, kTitle, page.title);
    WriteOrRemove(settings, kAuthor, page.author);
    WriteOrRemove(settings, kSubject, page.subject);
    WriteOrRemove(settings, kKeywords, page.keywords);
    settings.setValue(kRecognizeText, page.recognizeText);
    WriteOrRemove(settings, kOcrLanguages, page.ocrLanguages);
}

} // namespace

RememberedSettings LoadRememberedSettings(QSettings& settings) {
    RememberedSettings remembered;
    remembered.saveFolder = settings.value(kSaveFolder).toString();
    remembered.listFolders = ReadFlag(settings, kListFolders, remembered.listFolders);
    remembered.mergeIntoOne = ReadFlag(settings, kMergeIntoOne, remembered.mergeIntoOne);
    remembered.forbidPrint = ReadFlag(settings, kForbidPrint, remembered.forbidPrint);
    remembered.aes256 = ReadFlag(settings, kAes256, remembered.aes256);
    remembered.customSize = ReadFlag(settings, kCustomSize, remembered.customSize);
    remembered.pageWidth = settings.value(kPageWidth).toString();
    remembered.pageHeight = settings.value(kPageHeight).toString();
    remembered.filesFolder = settings.value(kFilesFolder).toString();
    remembered.sourceFolder = settings.value(kSourceFolder).toString();
    remembered.page = ReadPageChoice(settings);
    return remembered;
}

void SaveRememberedSettings(QSettings& settings, const RememberedSettings& remembered) {
    WriteOrRemove(settings, kSaveFolder, remembered.saveFolder);
    settings.setValue(kListFolders, remembered.listFolders);
    settings.setValue(kMergeIntoOne, remembered.mergeIntoOne);
    settings.setValue(kForbidPrint, remembered.forbidPrint);
    settings.setValue(kAes256, remembered.aes256);
    settings.setValue(kCustomSize, remembered.customSize);
    WriteOrRemove(settings, kPageWidth, remembered.pageWidth);
    WriteOrRemove(settings, kPageHeight, remembered.pageHeight);
    WriteOrRemove(settings, kFilesFolder, remembered.filesFolder);
    WriteOrRemove(settings, kSourceFolder, remembered.sourceFolder);
    WritePageChoice(settings, remembered.page);
    settings.sync();
}
