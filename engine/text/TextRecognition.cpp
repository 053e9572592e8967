#include "TextRecognition.h"

#include "OcrLanguages.h"
#include "VipsRuntime.h"

#include <tesseract/baseapi.h>
#include <tesseract/publictypes.h>
#include <tesseract/resultiterator.h>

#include <vips/vips8>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <stdexcept>
#include <unistd.h>

using tesseract::PageIteratorLevel;
using vips::VImage;

namespace {

// Tesseract sizes nothing by the resolution it is told (it measures the text
// itself), but it warns about a missing one; a page picture has no physical
// size of its own, so a common scanning resolution stands in.
constexpr int kNominalResolution = 300;

// A picture in 8-bit grey, the form Tesseract reads best (it finds its own
// threshold for black and white), and where it lands on its page picture.
struct GreyPicture {
    VImage image;
    void* pixels = nullptr;
    size_t size = 0;
    PagePlacement place;
    ~GreyPicture() { g_free(pixels); }
};

// `picture` in grey, no larger than Tesseract is to be given, in memory.
void MakeGrey(VImage picture, const PagePlacement& place, GreyPicture& grey) {
    if (picture.bands() > 2) {
        picture = picture.colourspace(VIPS_INTERPRETATION_B_W);
    }
    picture = picture.extract_band(0).cast(VIPS_FORMAT_UCHAR);
    const double pixels = static_cast<double>(picture.width()) * picture.height();
    if (pixels > static_cast<double>(kMaxRecognitionPixels)) {
        picture = picture.resize(std::sqrt(static_cast<double>(kMaxRecognitionPixels) / pixels))
                      .cast(VIPS_FORMAT_UCHAR);
    }
    grey.image = picture;
    grey.place = place;
    grey.pixels = vips_image_write_to_memory(grey.image.get_image(), &grey.size);
    if (grey.pixels == nullptr) {
        throw std::runtime_error("out of memory for the picture's text");
    }
}

// The kept JPEG `page`, turned as its EXIF orientation says.
void LoadKept(const std::filesystem::path& page, const KeptJpeg& kept, GreyPicture& grey) {
    // Opened here and read by descriptor, so the name is taken literally.
    const int fd = ::open(page.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        throw std::runtime_error("cannot read the page " + page.string() + ": " + std::strerror(errno));
    }
    try {
        // Turning needs all of the picture at once.
        VImage image = VImage::new_from_source(vips::VSource::new_from_descriptor(fd), "",
                                               VImage::option()->set("access", VIPS_ACCESS_RANDOM));
        image = image.copy();
        image.set("orientation", kept.orientation);
        MakeGrey(image.autorot(), kept.place, grey);
    } catch (const vips::VError&) {
        ::close(fd);
        const std::string why = TakeVipsError();
        throw std::runtime_error("cannot read the page " + page.string() + ": " +
                                 (why.empty() ? "the picture library could not decode it" : why));
    }
    ::close(fd);
}

// Maps positions in the grey picture onto the page picture.
class ToPage {
  public:
    ToPage(const GreyPicture& grey, int32_t pageWidth, int32_t pageHeight)
        : place_(grey.place),
          scaleX_(static_cast<double>(std::max(grey.place.width, 1)) / grey.image.width()),
          scaleY_(static_cast<double>(std::max(grey.place.height, 1)) / grey.image.height()),
          width_(pageWidth), height_(pageHeight) {}
    int32_t X(int x) const { return Clamp(place_.left + static_cast<int>(std::lround(x * scaleX_)), width_); }
    int32_t Y(int y) const { return Clamp(place_.top + static_cast<int>(std::lround(y * scaleY_)), height_); }

  private:
    static int32_t Clamp(int value, int32_t high) { return std::clamp<int32_t>(value, 0, high); }
    PagePlacement place_;
    double scaleX_;
    double scaleY_;
    int32_t width_;
    int32_t height_;
};

// The text at `level`, without the spaces and line ends around it; empty
// when there is nothing else.
std::string TrimmedText(const tesseract::ResultIterator& at, PageIteratorLevel level) {
    const std::unique_ptr<char[]> raw(at.GetUTF8Text(level));
    if (!raw) {
        return {};
    }
    std::string text(raw.get());
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

struct Box {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// The box of the element at `level`, on the page picture.
Box BoxOf(const tesseract::ResultIterator& at, PageIteratorLevel level, const ToPage& page) {
    int left = 0, top = 0, right = 0, bottom = 0;
    at.BoundingBox(level, &left, &top, &right, &bottom);
    Box box;
    box.left = page.X(left);
    box.top = page.Y(top);
    box.right = std::max(box.left, page.X(right));
    box.bottom = std::max(box.top, page.Y(bottom));
    return box;
}

RecognizedLine StartLine(const tesseract::ResultIterator& at, const ToPage& page) {
    int left = 0, top = 0, right = 0, bottom = 0;
    at.BoundingBox(tesseract::RIL_TEXTLINE, &left, &top, &right, &bottom);
    const Box box = BoxOf(at, tesseract::RIL_TEXTLINE, page);
    RecognizedLine line{box.left, box.top, box.right, box.bottom};
    int x1 = left, y1 = bottom, x2 = right, y2 = bottom;
    at.Baseline(tesseract::RIL_TEXTLINE, &x1, &y1, &x2, &y2);
    line.baselineX1 = page.X(x1);
    line.baselineY1 = page.Y(y1);
    line.baselineX2 = page.X(x2);
    line.baselineY2 = page.Y(y2);
    return line;
}

void AddWord(const tesseract::ResultIterator& at, const ToPage& page, RecognizedLine& line) {
    std::string text = TrimmedText(at, tesseract::RIL_WORD);
    if (text.empty()) {
        return;
    }
    const Box box = BoxOf(at, tesseract::RIL_WORD, page);
    line.words.push_back({std::move(text), box.left, box.top, box.right, box.bottom});
}

// Every line of text Tesseract found, in its reading order; blocks it took
// for pictures or rules are left out.
void CollectLines(tesseract::ResultIterator& at, const ToPage& toPage, PageText& page) {
    std::optional<RecognizedLine> line;
    auto finishLine = [&] {
        if (line && !line->words.empty()) {
            page.lines.push_back(std::move(*line));
        }
        line.reset();
    };
    bool more = !at.Empty(tesseract::RIL_BLOCK);
    while (more) {
        if (at.IsAtBeginningOf(tesseract::RIL_BLOCK) && !PTIsTextType(at.BlockType())) {
            finishLine();
            more = at.Next(tesseract::RIL_BLOCK);
            continue;
        }
        if (at.IsAtBeginningOf(tesseract::RIL_TEXTLINE) || !line) {
            finishLine();
            line = StartLine(at, toPage);
        }
        if (!at.Empty(tesseract::RIL_WORD)) {
            AddWord(at, toPage, *line);
        }
        more = at.Next(tesseract::RIL_WORD);
    }
    finishLine();
}

// The text Tesseract, its languages loaded, finds on `grey`.
RecognitionResult ReadGrey(tesseract::TessBaseAPI& api, const GreyPicture& grey, int32_t pageWidth,
                           int32_t pageHeight) {
    RecognitionResult result;
    result.text.width = pageWidth;
    result.text.height = pageHeight;
    const int width = grey.image.width();
    api.SetImage(static_cast<const unsigned char*>(grey.pixels), width, grey.image.height(), 1, width);
    api.SetSourceResolution(kNominalResolution);
    if (api.Recognize(nullptr) != 0) {
        api.Clear();
        throw std::runtime_error("text recognition failed on the picture");
    }
    if (std::unique_ptr<tesseract::ResultIterator> at(api.GetIterator()); at) {
        CollectLines(*at, ToPage(grey, pageWidth, pageHeight), result.text);
    }
    api.Clear();
    return result;
}

} // namespace

TextRecognizer::TextRecognizer() = default;

TextRecognizer::~TextRecognizer() {
    if (api_) {
        api_->End();
    }
}

void TextRecognizer::LoadLanguages(const std::string& languages) {
    if (api_ && languages_ == languages) {
        return;
    }
    if (auto missing = CheckOcrLanguages(languages)) {
        throw std::runtime_error(*missing);
    }
    api_ = std::make_unique<tesseract::TessBaseAPI>();
    languages_.clear();
    const std::string folder = TessdataFolder().string();
    if (api_->Init(folder.c_str(), languages.c_str(), tesseract::OEM_DEFAULT) != 0) {
        api_.reset();
        throw std::runtime_error("the text recognition data for " + languages + " in " + folder +
                                 " cannot be loaded");
    }
    // A whole page: find the columns and blocks, as a reader would.
    api_->SetPageSegMode(tesseract::PSM_AUTO);
    // Tesseract remarks on every page ("Estimating resolution", "Empty
    // page!!"); the worker's log is kept for what explains a crash.
    api_->SetVariable("debug_file", "/dev/null");
    languages_ = languages;
}

RecognitionResult TextRecognizer::Recognize(const ShownPicture& shown, const std::string& languages) {
    try {
        GreyPicture grey;
        try {
            MakeGrey(VImage(shown.image, vips::NOSTEAL), shown.place, grey);
        } catch (const vips::VError&) {
            throw std::runtime_error("cannot read the picture's text: " + TakeVipsError());
        }
        LoadLanguages(languages);
        return ReadGrey(*api_, grey, shown.pageWidth, shown.pageHeight);
    } catch (const std::exception& error) {
        return {{}, error.what()};
    }
}

RecognitionResult TextRecognizer::Recognize(const std::filesystem::path& page, const KeptJpeg& kept,
                                            const std::string& languages) {
    try {
        EnsureVipsStarted();
        ClearVipsMessages();
        GreyPicture grey;
        LoadKept(page, kept, grey);
        LoadLanguages(languages);
        return ReadGrey(*api_, grey, kept.pageWidth, kept.pageHeight);
    } catch (const std::exception& error) {
        return {{}, error.what()};
    }
}
