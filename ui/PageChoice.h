#pragma once

#include "ConvertOptions.h"

#include <QString>

// The page settings the window keeps beside its size fields: what the "更多…"
// dialog edits and Start hands to the job.
struct PageChoice {
    PaperSize paper = PaperSize::Custom;
    int dpi = kDefaultDpi;
    PageOrientation orientation = PageOrientation::AsSized;
    double margin = 0; // millimetres for a paper size, pixels for the custom size
    PictureFit fit = PictureFit::Fit;
    FolderOrder order = FolderOrder::Standard;
    bool keepJpeg = false; // JPEGs the PDF shows as they are go in byte for byte
    // Searchable documents: the text of every page recognised, in
    // Tesseract's language list ("chi_sim+eng"). Off by default.
    bool recognizeText = false;
    QString ocrLanguages;
    bool bookmarks = false; // an outline entry per picture in merged documents
    PdfA pdfa = PdfA::None;
    ScanCleaning scans; // straightened, turned upright, blanks left out, black and white
    // What the documents tell about themselves; empty fields are left out
    // (an empty title keeps each document's own).
    QString title, author, subject, keywords;
    bool lossless = false; // every page shows the picture's own pixels, never resampled
    bool operator==(const PageChoice&) const = default;
};

// Puts the choice into a job's options.
void ApplyPageChoice(const PageChoice& choice, ConvertOptions& options);

// The choice in a few lines, for the tooltips of the size fields.
QString DescribePageChoice(const PageChoice& choice);

// The paper's name, or the text of the custom size.
QString PaperText(PaperSize paper);
// "10 毫米" or "10 像素", the unit following the paper.
QString MarginText(const PageChoice& choice);

// A recognition language by its name in the window's language ("简体中文"),
// or its code when the window has no name for it.
QString OcrLanguageText(const QString& code);
