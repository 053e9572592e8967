#include "PageSettingsDlg.h"

#include "UiTexts.h"

#include "OcrLanguages.h"
#include "PageOrientation.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

// A margin wider than any sheet is refused at Start anyway; this only keeps
// the field to numbers a person would type.
constexpr double kLargestMargin = 10000;

template <typename Enum>
QComboBox* MakeCombo(const QString& name, std::initializer_list<std::pair<Enum, QString>> items) {
    auto* combo = new QComboBox;
    combo->setObjectName(name);
    for (const auto& [value, text] : items) {
        combo->addItem(text, static_cast<int>(value));
    }
    return combo;
}

template <typename Enum> void Select(QComboBox* combo, Enum value) {
    combo->setCurrentIndex(std::max(combo->findData(static_cast<int>(value)), 0));
}

template <typename Enum> Enum Selected(const QComboBox* combo) {
    return static_cast<Enum>(combo->currentData().toInt());
}

// The installed languages, those of `chosen` checked; with nothing chosen yet,
// the default ones.
QListWidget* MakeLanguageList(const QString& chosen) {
    const std::vector<std::string> installed = InstalledOcrLanguages();
    const QStringList checked =
        (chosen.isEmpty() ? QString::fromStdString(DefaultOcrLanguages(installed)) : chosen)
            .split(QLatin1Char('+'), Qt::SkipEmptyParts);
    auto* list = new QListWidget;
    list->setObjectName(QStringLiteral("ocrLanguages"));
    for (const std::string& name : installed) {
        const QString code = QString::fromStdString(name);
        auto* item =
            new QListWidgetItem(OcrLanguageText(code) + QStringLiteral(" (") + code + QLatin1Char(')'), list);
        item->setData(Qt::UserRole, code);
        item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
        item->setCheckState(checked.contains(code) ? Qt::Checked : Qt::Unchecked);
    }
    // A few rows show; more scroll.
    list->setMaximumHeight(list->sizeHintForRow(0) * 5 + 2 * list->frameWidth());
    return list;
}

// A page of `tabs` holding one form.
QFormLayout* AddTab(QTabWidget* tabs, const QString& name, const QString& title) {
    auto* page = new QWidget;
    page->setObjectName(name);
    auto* form = new QFormLayout(page);
    tabs->addTab(page, title);
    return form;
}

} // namespace

PageSettingsDlg::PageSettingsDlg(const PageChoice& choice, QWidget* parent)
    : QDialog(parent), givenLanguages(choice.ocrLanguages) {
    setWindowTitle(UiTexts::PageSettingsTitle());

    paper = MakeCombo<PaperSize>(QStringLiteral("paper"), {{PaperSize::Custom, UiTexts::PaperCustom()}});
    for (PaperSize preset : PaperPresets()) {
        paper->addItem(PaperText(preset), static_cast<int>(preset));
    }
    dpi = new QSpinBox;
    dpi->setObjectName(QStringLiteral("dpi"));
    dpi->setRange(kMinDpi, kMaxDpi);
    dpi->setSuffix(UiTexts::DpiSuffix());
    orientation = MakeCombo<PageOrientation>(QStringLiteral("orientation"),
                                             {{PageOrientation::AsSized, UiTexts::OrientAsSized()},
                                              {PageOrientation::Portrait, UiTexts::OrientPortrait()},
                                              {PageOrientation::Landscape, UiTexts::OrientLandscape()},
                                              {PageOrientation::Auto, UiTexts::OrientAuto()}});
    margin = new QDoubleSpinBox;
    margin->setObjectName(QStringLiteral("margin"));
    margin->setRange(0, kLargestMargin);
    margin->setDecimals(1);
    fit = MakeCombo<PictureFit>(QStringLiteral("fit"), {{PictureFit::Fit, UiTexts::FitFit()},
                                                        {PictureFit::Shrink, UiTexts::FitShrink()}});
    order =
        MakeCombo<FolderOrder>(QStringLiteral("order"), {{FolderOrder::Standard, UiTexts::OrderStandard()},
                                                         {FolderOrder::WriteTime, UiTexts::OrderTime()},
                                                         {FolderOrder::Name, UiTexts::OrderName()}});
    order->setToolTip(UiTexts::OrderStandardHint());
    keepJpeg = new QCheckBox(UiTexts::KeepJpeg());
    keepJpeg->setObjectName(QStringLiteral("keepJpeg"));
    keepJpeg->setToolTip(UiTexts::KeepJpegHint());
    lossless = new QCheckBox(UiTexts::Lossless());
    lossless->setObjectName(QStringLiteral("lossless"));
    lossless->setToolTip(UiTexts::LosslessHint());
    bookmarks = new QCheckBox(UiTexts::Bookmarks());
    bookmarks->setObjectName(QStringLiteral("bookmarks"));
    bookmarks->setToolTip(UiTexts::BookmarksHint());
    pdfa = MakeCombo<PdfA>(
        QStringLiteral("pdfa"),
        {{PdfA::None, UiTexts::PdfANone()}, {PdfA::A1b, UiTexts::PdfA1b()}, {PdfA::A2b, UiTexts::PdfA2b()}});
    pdfa->setToolTip(UiTexts::PdfAHint());
    const auto makeField = [](const char* name, const QString& text) {
        auto* field = new QLineEdit(text);
        field->setObjectName(QLatin1String(name));
        return field;
    };
    title = makeField("title", choice.title);
    title->setPlaceholderText(UiTexts::TitleHint());
    author = makeField("author", choice.author);
    subject = makeField("subject", choice.subject);
    keywords = makeField("keywords", choice.keywords);
    ocr = new QCheckBox(UiTexts::OcrBox());
    ocr->setObjectName(QStringLiteral("ocr"));
    ocrLanguages = MakeLanguageList(choice.ocrLanguages);

    // One tab per subject, so the dialog stays small enough for a 1280 x 800
    // screen as settings are added.
    auto* tabs = new QTabWidget;
    tabs->setObjectName(QStringLiteral("tabs"));
    auto* pageForm = AddTab(tabs, QStringLiteral("pageTab"), UiTexts::PageTab());
    pageForm->addRow(UiTexts::PaperLabel(), paper);
    pageForm->addRow(UiTexts::DpiLabel(), dpi);
    pageForm->addRow(UiTexts::OrientationLabel(), orientation);
    pageForm->addRow(UiTexts::MarginLabel(), margin);
    auto* picturesForm = AddTab(tabs, QStringLiteral("picturesTab"), UiTexts::PicturesTab());
    picturesForm->addRow(UiTexts::FitLabel(), fit);
    picturesForm->addRow(UiTexts::OrderLabel(), order);
    picturesForm->addRow(lossless);
    auto* documentForm = AddTab(tabs, QStringLiteral("documentTab"), UiTexts::DocumentTab());
    documentForm->addRow(keepJpeg);
    documentForm->addRow(bookmarks);
    documentForm->addRow(UiTexts::PdfALabel(), pdfa);
    auto* properties = new QGroupBox(UiTexts::PropertiesGroup());
    properties->setObjectName(QStringLiteral("properties"));
    auto* propertiesForm = new QFormLayout(properties);
    propertiesForm->addRow(UiTexts::TitleLabel(), title);
    propertiesForm->addRow(UiTexts::AuthorLabel(), author);
    propertiesForm->addRow(UiTexts::SubjectLabel(), subject);
    propertiesForm->addRow(UiTexts::KeywordsLabel(), keywords);
    documentForm->addRow(properties);
    auto* scansForm = AddTab(tabs, QStringLiteral("scansTab"), UiTexts::ScansTab());
    auto scanBox = [&](const char* name, const QString& text, const QString& hint, bool checked) {
        auto* box = new QCheckBox(text);
        box->setObjectName(QLatin1String(name));
        box->setToolTip(hint);
        box->setChecked(checked);
        scansForm->addRow(box);
        return box;
    };
    deskew = scanBox("deskew", UiTexts::Deskew(), UiTexts::DeskewHint(), choice.scans.deskew);
    autoRotate = scanBox("autoRotate", UiTexts::AutoRotate(), UiTexts::AutoRotateHint(), choice.scans.autoRotate);
    skipBlank = scanBox("skipBlank", UiTexts::SkipBlank(), UiTexts::SkipBlankHint(), choice.scans.skipBlank);
    bilevel = scanBox("bilevel", UiTexts::Bilevel(), UiTexts::BilevelHint(), choice.scans.bilevel);
    if (CheckOrientationData()) {
        autoRotate->setChecked(false);
        autoRotate->setEnabled(false);
        autoRotate->setToolTip(UiTexts::AutoRotateNotInstalled());
    }
    auto* textForm = AddTab(tabs, QStringLiteral("textTab"), UiTexts::TextTab());
    textForm->addRow(UiTexts::OcrLabel(), ocr);
    textForm->addRow(UiTexts::OcrLanguagesLabel(), ocrLanguages);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(UiTexts::Ok());
    buttons->button(QDialogButtonBox::Cancel)->setText(UiTexts::Cancel());
    auto* layout = new QVBoxLayout;
    layout->addWidget(tabs);
    layout->addWidget(buttons);
    setLayout(layout);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    Select(paper, choice.paper);
    dpi->setValue(choice.dpi);
    Select(orientation, choice.orientation);
    margin->setValue(choice.margin);
    Select(fit, choice.fit);
    Select(order, choice.order);
    keepJpeg->setChecked(choice.keepJpeg);
    lossless->setChecked(choice.lossless);
    bookmarks->setChecked(choice.bookmarks);
    Select(pdfa, choice.pdfa);
    ocr->setChecked(choice.recognizeText);
    if (ocrLanguages->count() == 0) {
        ocr->setChecked(false);
        ocr->setEnabled(false);
        ocr->setToolTip(UiTexts::OcrNotInstalled());
    }
    OnPaperChanged();
    OnOcrToggled();
    connect(paper, &QComboBox::currentIndexChanged, this, &PageSettingsDlg::OnPaperChanged);
    connect(ocr, &QCheckBox::toggled, this, &PageSettingsDlg::OnOcrToggled);
}

void PageSettingsDlg::OnOcrToggled() {
    ocrLanguages->setEnabled(ocr->isChecked());
}

void PageSettingsDlg::OnPaperChanged() {
    // A custom page is measured in pixels: it has no resolution, and its
    // margin is in pixels too.
    const bool custom = Selected<PaperSize>(paper) == PaperSize::Custom;
    dpi->setEnabled(!custom);
    margin->setSuffix(QLatin1Char(' ') + (custom ? UiTexts::Pixels() : UiTexts::Millimetres()));
}

PageChoice PageSettingsDlg::Choice() const {
    PageChoice choice;
    choice.paper = Selected<PaperSize>(paper);
    choice.dpi = dpi->value();
    choice.orientation = Selected<PageOrientation>(orientation);
    choice.margin = margin->value();
    choice.fit = Selected<PictureFit>(fit);
    choice.order = Selected<FolderOrder>(order);
    choice.keepJpeg = keepJpeg->isChecked();
    choice.lossless = lossless->isChecked();
    choice.scans = {deskew->isChecked(), autoRotate->isChecked(), skipBlank->isChecked(), bilevel->isChecked()};
    choice.bookmarks = bookmarks->isChecked();
    choice.pdfa = Selected<PdfA>(pdfa);
    choice.title = title->text();
    choice.author = author->text();
    choice.subject = subject->text();
    choice.keywords = keywords->text();
    QStringList languages;
    for (int row = 0; row < ocrLanguages->count(); ++row) {
        if (ocrLanguages->item(row)->checkState() == Qt::Checked) {
            languages << ocrLanguages->item(row)->data(Qt::UserRole).toString();
        }
    }
    // Recognition without a language would be no recognition at all. Left
    // off, the languages stay as they came.
    choice.recognizeText = ocr->isChecked() && !languages.isEmpty();
    choice.ocrLanguages = choice.recognizeText ? languages.join(QLatin1Char('+')) : givenLanguages;
    return choice;
}
