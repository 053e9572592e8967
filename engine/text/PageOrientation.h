#pragma once

#include <memory>
#include <optional>
#include <string>

namespace tesseract {
class TessBaseAPI;
}

struct _VipsImage;

// Below this confidence Tesseract's guess of a page's orientation is not
// acted on: a page turned the wrong way is worse than one left as scanned.
// OCRmyPDF turns pages at the same confidence by default.
inline constexpr float kMinOrientationConfidence = 14.0f;

// Empty when Tesseract's orientation data (osd.traineddata) is installed;
// otherwise a sentence for the user that names the package to install.
std::optional<std::string> CheckOrientationData();

// Tells which way up a page's text stands, with Tesseract's orientation and
// script detection, in the decoder worker; the data is loaded on first use
// and kept for the pages that follow.
class OrientationDetector {
  public:
    OrientationDetector();
    ~OrientationDetector();
    OrientationDetector(const OrientationDetector&) = delete;
    OrientationDetector& operator=(const OrientationDetector&) = delete;

    // The degrees clockwise (0, 90, 180 or 270) that turn `grey` (8-bit,
    // one band) upright; 0 when its text is upright, when it holds too
    // little text to tell, or when the detection is less sure than
    // kMinOrientationConfidence. Throws std::runtime_error when the
    // orientation data cannot be loaded.
    int UprightTurn(_VipsImage* grey);

  private:
    std::unique_ptr<tesseract::TessBaseAPI> api_;
};
