#pragma once

#include "KeptJpeg.h"
#include "PageText.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace tesseract {
class TessBaseAPI;
}

// Reads the text on page pictures with Tesseract, in the decoder worker: one
// recognizer per worker process, one thread each (the worker is started with
// OMP_THREAD_LIMIT=1, as the preparation already runs one worker per core).
// The language data is loaded once and kept for the pages that follow.
class TextRecognizer {
  public:
    TextRecognizer();
    ~TextRecognizer();
    TextRecognizer(const TextRecognizer&) = delete;
    TextRecognizer& operator=(const TextRecognizer&) = delete;

    // The text of the prepared page `page`, read in `languages`
    // ("chi_sim+eng"), as the page shows it: words with their boxes, line by
    // line, in reading order, in pixels of the page picture; no lines when the
    // page holds no text. A page kept as its source JPEG (`kept`) is read as
    // the page picture it stands in for: turned, scaled and placed. Throws
    // std::runtime_error, with the reason, when the picture or the language
    // data cannot be read.
    PageText Recognize(const std::filesystem::path& page, const std::optional<KeptJpeg>& kept,
                       const std::string& languages);

  private:
    void LoadLanguages(const std::string& languages);

    std::unique_ptr<tesseract::TessBaseAPI> api_;
    std::string languages_; // what `api_` was loaded with
};
