#include "PageOrientation.h"

#include "OcrLanguages.h"

#include <tesseract/baseapi.h>
#include <vips/vips8>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <system_error>

using vips::VImage;

namespace {

constexpr const char* kOrientationLanguage = "osd";
constexpr const char* kOrientationPackage = "tesseract-ocr-osd";

// Text is judged at about 200 dpi on an A4 page: more pixels make the
// detection slower, not surer.
constexpr int kOrientationSide = 2400;

// Tesseract measures its text itself; this only keeps it from warning.
constexpr int kNominalResolution = 300;

} // namespace

std::optional<std::string> CheckOrientationData() {
    const std::filesystem::path file =
        TessdataFolder() / (std::string(kOrientationLanguage) + ".traineddata");
    std::error_code error;
    if (std::filesystem::is_regular_file(file, error)) {
        return std::nullopt;
    }
    return std::string("turning pages upright needs Tesseract's orientation data, ") + file.string() +
           ", which is not installed: install the package " + kOrientationPackage;
}

OrientationDetector::OrientationDetector() = default;

OrientationDetector::~OrientationDetector() {
    if (api_) {
        api_->End();
    }
}

int OrientationDetector::UprightTurn(_VipsImage* grey) {
    if (!api_) {
        if (auto missing = CheckOrientationData()) {
            throw std::runtime_error(*missing);
        }
        auto api = std::make_unique<tesseract::TessBaseAPI>();
        const std::string folder = TessdataFolder().string();
        if (api->Init(folder.c_str(), kOrientationLanguage, tesseract::OEM_TESSERACT_ONLY) != 0) {
            throw std::runtime_error("Tesseract's orientation data in " + folder + " cannot be loaded");
        }
        api->SetPageSegMode(tesseract::PSM_OSD_ONLY);
        api->SetVariable("debug_file", "/dev/null");
        api_ = std::move(api);
    }
    VImage picture(grey, vips::NOSTEAL);
    const int longest = std::max(picture.width(), picture.height());
    if (longest > kOrientationSide) {
        picture = picture.resize(static_cast<double>(kOrientationSide) / longest);
    }
    picture = picture.extract_band(0).cast(VIPS_FORMAT_UCHAR).copy_memory();
    api_->SetImage(static_cast<const unsigned char*>(picture.data()), picture.width(), picture.height(), 1,
                   picture.width());
    api_->SetSourceResolution(kNominalResolution);
    int degrees = 0;
    float confidence = 0;
    const char* script = nullptr;
    float scriptConfidence = 0;
    // Fails on a page with too little text to judge: it stays as it is.
    const bool found = api_->DetectOrientationScript(&degrees, &confidence, &script, &scriptConfidence);
    api_->Clear();
    if (!found || !std::isfinite(confidence) || confidence < kMinOrientationConfidence) {
        return 0;
    }
    // Tesseract names how far the picture is turned clockwise; turning it
    // back is the rest of a full turn.
    return (360 - ((degrees % 360) + 360) % 360) % 360;
}
