#include "PageChoice.h"

#include "UiTexts.h"

#include <QStringList>

#include <utility>

void ApplyPageChoice(const PageChoice& choice, ConvertOptions& options) {
    options.paper = choice.paper;
    options.dpi = choice.dpi;
    options.orientation = choice.orientation;
    options.margin = choice.margin;
    options.fit = choice.fit;
    options.folderOrder = choice.order;
    options.keepJpeg = choice.keepJpeg ? 1 : 0;
    options.lossless = choice.lossless ? 1 : 0;
    options.ocrLanguages = choice.recognizeText ? choice.ocrLanguages.toStdString() : std::string();
    options.bookmarks = choice.bookmarks ? 1 : 0;
    options.pdfa = choice.pdfa;
    options.deskew = choice.scans.deskew ? 1 : 0;
    options.autoRotate = choice.scans.autoRotate ? 1 : 0;
    options.skipBlank = choice.scans.skipBlank ? 1 : 0;
    options.bilevel = choice.scans.bilevel ? 1 : 0;
    // Typed text is always whole Unicode, so its UTF-8 is too.
    options.properties = {choice.title.trimmed().toStdString(), choice.author.trimmed().toStdString(),
                          choice.subject.trimmed().toStdString(), choice.keywords.trimmed().toStdString()};
}

QString PaperText(PaperSize paper) {
    switch (paper) {
    case PaperSize::Custom:
        return UiTexts::PaperCustom();
    case PaperSize::Picture:
        return UiTexts::PaperPicture();
    default:
        return QString::fromLatin1(PaperName(paper));
    }
}

QString MarginText(const PageChoice& choice) {
    return UiTexts::MarginValue()
        .arg(choice.margin)
        .arg(choice.paper == PaperSize::Custom ? UiTexts::Pixels() : UiTexts::Millimetres());
}

QString OcrLanguageText(const QString& code) {
    static const std::pair<const char*, QString (*)()> kNames[] = {
        {"chi_sim", &UiTexts::OcrChineseSimplified},
        {"chi_tra", &UiTexts::OcrChineseTraditional},
        {"eng", &UiTexts::OcrEnglish},
        {"jpn", &UiTexts::OcrJapanese},
        {"kor", &UiTexts::OcrKorean},
    };
    for (const auto& [name, text] : kNames) {
        if (code == QLatin1String(name)) {
            return text();
        }
    }
    return code;
}

namespace {

QString OcrText(const PageChoice& choice) {
    if (!choice.recognizeText) {
        return UiTexts::OcrOff();
    }
    QStringList names;
    for (const QString& code : choice.ocrLanguages.split(QLatin1Char('+'), Qt::SkipEmptyParts)) {
        names << OcrLanguageText(code);
    }
    return names.join(UiTexts::ListSeparator());
}

QString OrientationText(PageOrientation orientation) {
    switch (orientation) {
    case PageOrientation::AsSized:
        return UiTexts::OrientAsSized();
    case PageOrientation::Portrait:
        return UiTexts::OrientPortrait();
    case PageOrientation::Landscape:
        return UiTexts::OrientLandscape();
    case PageOrientation::Auto:
        return UiTexts::OrientAuto();
    }
    return {};
}

QString OrderText(FolderOrder order) {
    switch (order) {
    case FolderOrder::Standard:
        return UiTexts::OrderStandard();
    case FolderOrder::WriteTime:
        return UiTexts::OrderTime();
    case FolderOrder::Name:
        return UiTexts::OrderName();
    }
    return {};
}

} // namespace

QString DescribePageChoice(const PageChoice& choice) {
    const QString paper = choice.paper == PaperSize::Custom
                              ? UiTexts::PaperCustom()
                              : UiTexts::PaperWithDpi().arg(PaperText(choice.paper)).arg(choice.dpi);
    return UiTexts::PageSummary().arg(paper, OrientationText(choice.orientation), MarginText(choice),
                                      choice.fit == PictureFit::Fit ? UiTexts::FitFit()
                                                                    : UiTexts::FitShrink(),
                                      OrderText(choice.order)) +
           QLatin1Char('\n') + UiTexts::OcrSummary().arg(OcrText(choice));
}
