#include "TextRecognition.h"

#include "OcrLanguages.h"
#include "VipsRuntime.h"

#include <tesseract/baseapi.h>
#include <tesseract/publictypes.h>
#include <tesseract/resultiterator.h>

#include <vips/vips8>

#include <algorithm>
#include <cerrno>
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

// The page picture in 8-bit grey, the form Tesseract reads best; it finds its
// own threshold for black and white.
struct GreyPicture {
    VImage image;
    void* pixels = nullptr;
    size_t size = 0;
    ~GreyPicture() { g_free(pixels); }
};

// A kept JPEG as the page picture it stands in for: turned as its EXIF
// orientation says, scaled into its place, on white.
VImage AsPagePicture(VImage picture, const KeptJpeg& kept) {
    picture = picture.copy();
    picture.set("orientation", kept.orientation);
    picture = picture.autorot();
    picture = picture.resize(
        static_cast<double>(kept.place.width) / picture.width(),
        VImage::option()->set("vscale", static_cast<double>(kept.place.height) / picture.height()));
    return picture.embed(kept.place.left, kept.place.top, kept.pageWidth, kept.pageHeight,
                         VImage::option()->set("extend", VIPS_EXTEND_WHITE));
}

void LoadGrey(const std::filesystem::path& page, const std::optional<KeptJpeg>& kept, GreyPicture& grey) {
    // Opened here and read by descriptor, so the name is taken literally.
    const int fd = ::open(page.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        throw std::runtime_error("cannot read the page " + page.string() + ": " + std::strerror(errno));
    }
    try {
        // Turning a kept picture needs all of it at once; otherwise stream it.
        VImage image = VImage::new_from_source(
            vips::VSource::new_from_descriptor(fd), "",
            VImage::option()->set("access", kept ? VIPS_ACCESS_RANDOM : VIPS_ACCESS_SEQUENTIAL));
        if (image.bands() > 2) {
            image = image.colourspace(VIPS_INTERPRETATION_B_W);
        }
        image = image.extract_band(0).cast(VIPS_FORMAT_UCHAR);
        grey.image = kept ? AsPagePicture(image, *kept).cast(VIPS_FORMAT_UCHAR) : image;
        grey.pixels = vips_image_write_to_memory(grey.image.get_image(), &grey.size);
    } catch (const vips::VError&) {
        ::close(fd);
        const std::string why = TakeVipsError();
        throw std::runtime_error("cannot read the page " + page.string() + ": " +
                                 (why.empty() ? "the picture library could not decode it" : why));
    }
    ::close(fd);
    if (grey.pixels == nullptr) {
        throw std::runtime_error("out of memory for the page " + page.string());
    }
}

int32_t Clamp(int value, int32_t high) {
    return std::clamp<int32_t>(value, 0, high);
}

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

// The box of the element at `level`, kept on the page.
Box BoxOf(const tesseract::ResultIterator& at, PageIteratorLevel level, const PageText& page) {
    int left = 0, top = 0, right = 0, bottom = 0;
    at.BoundingBox(level, &left, &top, &right, &bottom);
    Box box;
    box.left = Clamp(left, page.width);
    box.top = Clamp(top, page.height);
    box.right = std::max(box.left, Clamp(right, page.width));
    box.bottom = std::max(box.top, Clamp(bottom, page.height));
    return box;
}

RecognizedLine StartLine(const tesseract::ResultIterator& at, const PageText& page) {
    const Box box = BoxOf(at, tesseract::RIL_TEXTLINE, page);
    RecognizedLine line{box.left, box.top, box.right, box.bottom};
    int x1 = box.left, y1 = box.bottom, x2 = box.right, y2 = box.bottom;
    at.Baseline(tesseract::RIL_TEXTLINE, &x1, &y1, &x2, &y2);
    line.baselineX1 = Clamp(x1, page.width);
    line.baselineY1 = Clamp(y1, page.height);
    line.baselineX2 = Clamp(x2, page.width);
    line.baselineY2 = Clamp(y2, page.height);
    return line;
}

void AddWord(const tesseract::ResultIterator& at, const PageText& page, RecognizedLine& line) {
    std::string text = TrimmedText(at, tesseract::RIL_WORD);
    if (text.empty()) {
        return;
    }
    const Box box = BoxOf(at, tesseract::RIL_WORD, page);
    line.words.push_back({std::move(text), box.left, box.top, box.right, box.bottom});
}

// Every line of text Tesseract found, in its reading order; blocks it took
// for pictures or rules are left out.
void CollectLines(tesseract::ResultIterator& at, PageText& page) {
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
            line = StartLine(at, page);
        }
        if (!at.Empty(tesseract::RIL_WORD)) {
            AddWord(at, page, *line);
        }
        more = at.Next(tesseract::RIL_WORD);
    }
    finishLine();
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

PageText TextRecognizer::Recognize(const std::filesystem::path& page, const std::optional<KeptJpeg>& kept,
                                   const std::string& languages) {
    EnsureVipsStarted();
    ClearVipsMessages();
    GreyPicture grey;
    LoadGrey(page, kept, grey);
    LoadLanguages(languages);

    PageText text;
    text.width = grey.image.width();
    text.height = grey.image.height();
    api_->SetImage(static_cast<const unsigned char*>(grey.pixels), text.width, text.height, 1, text.width);
    api_->SetSourceResolution(kNominalResolution);
    if (api_->Recognize(nullptr) != 0) {
        api_->Clear();
        throw std::runtime_error("text recognition failed on the page " + page.string());
    }
    if (std::unique_ptr<tesseract::ResultIterator> at(api_->GetIterator()); at) {
        CollectLines(*at, text);
    }
    api_->Clear();
    return text;
}
