#pragma once

#include "KeptJpeg.h"
#include "NormalizeImage.h"
#include "PageText.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace tesseract {
class TessBaseAPI;
}

// Tesseract is given at most this many pixels of a picture: a larger one is
// scaled down for it (a 300 dpi A3 scan, 17 megapixels, is read as it is; a
// 400-megapixel picture would take minutes and gains nothing).
inline constexpr int64_t kMaxRecognitionPixels = 20'000'000;

// What reading the text of one page gave.
struct RecognitionResult {
    PageText text;       // no lines when the page holds no text
    std::string failure; // why the text could not be read; empty when it was
};

// Reads the text on pictures with Tesseract, in the decoder worker: one
// recognizer per worker process, one thread each (the worker is started with
// OMP_THREAD_LIMIT=1, as the preparation already runs one worker per core).
// The language data is loaded once and kept for the pages that follow.
class TextRecognizer {
  public:
    TextRecognizer();
    ~TextRecognizer();
    TextRecognizer(const TextRecognizer&) = delete;
    TextRecognizer& operator=(const TextRecognizer&) = delete;

    // The text of the picture `shown`, read in `languages` ("chi_sim+eng")
    // from the picture itself (scaled down to kMaxRecognitionPixels when
    // larger), not from the page made of it: words with their boxes, line by
    // line, in reading order, in pixels of the page picture, where the
    // picture lands on it.
    RecognitionResult Recognize(const ShownPicture& shown, const std::string& languages);

    // The same for a page kept as its source JPEG: the file `page` (the
    // source's bytes) is decoded and turned as `kept` says, and its text
    // placed where the kept picture lands on the page picture it stands in for.
    RecognitionResult Recognize(const std::filesystem::path& page, const KeptJpeg& kept,
                                const std::string& languages);

  private:
    void LoadLanguages(const std::string& languages);

    std::unique_ptr<tesseract::TessBaseAPI> api_;
    std::string languages_; // what `api_` was loaded with
};
