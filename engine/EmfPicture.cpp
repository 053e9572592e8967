#include "EmfPicture.h"

#include "VipsRuntime.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <emf2svg.h>
#include <memory>
#include <mutex>
#include <regex>
#include <stdexcept>

namespace {

// libemf2svg keeps font state between calls; one conversion at a time.
std::mutex converterLock;

constexpr uint32_t kEmrHeader = 1;
constexpr uint32_t kEmrEof = 14;
constexpr uint32_t kEmrComment = 70;
constexpr uint32_t kEmfSignature = 0x464D4520;      // " EMF"
constexpr uint32_t kEmfPlusIdentifier = 0x2B464D45; // "EMF+"
constexpr size_t kHeaderSize = 88;
constexpr double kSmallestScale = 0.001;
constexpr double kLargestScale = 100000.0;

uint32_t ReadU32(std::string_view bytes, size_t offset) {
    uint32_t value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value; // little-endian file on a little-endian machine
}

struct RecordWalk {
    size_t length = 0; // bytes that belong to the metafile
    bool hasEmfPlus = false;
};

// Walks the records so that nothing handed to the converter claims more bytes
// than the file has: a truncated metafile would make it read past its buffer.
RecordWalk CheckRecords(std::string_view bytes) {
    const uint32_t declared = ReadU32(bytes, 48);
    if (declared > bytes.size()) {
        throw std::runtime_error("truncated metafile: its header announces " + std::to_string(declared) +
                                 " bytes, the file has " + std::to_string(bytes.size()));
    }
    RecordWalk walk;
    walk.length = declared >= kHeaderSize ? declared : bytes.size();
    size_t offset = 0;
    while (offset + 8 <= walk.length) {
        const uint32_t type = ReadU32(bytes, offset);
        const uint32_t size = ReadU32(bytes, offset + 4);
        if (size < 8 || size % 4 != 0 || size > walk.length - offset) {
            throw std::runtime_error("damaged metafile: record at byte " + std::to_string(offset) +
                                     " has an impossible size of " + std::to_string(size) + " bytes");
        }
        if (offset == 0 && (type != kEmrHeader || size < kHeaderSize)) {
            throw std::runtime_error("damaged metafile: it does not begin with a valid header record");
        }
        if (type == kEmrComment && size >= 16 && ReadU32(bytes, offset + 12) == kEmfPlusIdentifier) {
            walk.hasEmfPlus = true;
        }
        if (type == kEmrEof) {
            return walk;
        }
        offset += size;
    }
    throw std::runtime_error("truncated metafile: it ends without its end-of-file record");
}

std::string ConvertToSvg(std::string& bytes, size_t length) {
    generatorOptions options{};
    options.nameSpace = const_cast<char*>("");
    options.svgDelimiter = true;
    char* svg = nullptr;
    size_t svgLength = 0;
    std::lock_guard lock(converterLock);
    const int converted = emf2svg(bytes.data(), length, &svg, &svgLength, &options);
    std::unique_ptr<char, decltype(&std::free)> owned(svg, &std::free);
    if (converted != 1 || svg == nullptr || svgLength == 0) {
        throw std::runtime_error("the metafile could not be converted (damaged or unsupported records)");
    }
    return std::string(svg, svgLength);
}

// The size the converter gave the drawing, read from its SVG root element. An
// absurd frame makes libvips fail an internal check and abort: refuse it here.
void CheckFrameSize(const std::string& svg) {
    static const std::regex kRoot(R"RE(<svg\b[^>]*?\swidth="([-0-9.eE+]+)"[^>]*?\sheight="([-0-9.eE+]+)")RE");
    std::smatch match;
    const std::string head = svg.substr(0, 4096);
    if (!std::regex_search(head, match, kRoot)) {
        return; // let the renderer decide
    }
    const double width = std::strtod(match[1].str().c_str(), nullptr);
    const double height = std::strtod(match[2].str().c_str(), nullptr);
    constexpr double kLargestSide = 1e7;
    if (!(width >= 1e-3 && width <= kLargestSide && height >= 1e-3 && height <= kLargestSide)) {
        throw std::runtime_error("the metafile's frame is absurdly large or small (" + match[1].str() +
                                 " x " + match[2].str() + ")");
    }
}

} // namespace

bool LooksLikeEmf(std::string_view head) {
    return head.size() >= 44 && ReadU32(head, 0) == kEmrHeader && ReadU32(head, 40) == kEmfSignature;
}

vips::VImage RenderEmf(std::string bytes, int fitWidth, int fitHeight) {
    if (bytes.size() < kHeaderSize || !LooksLikeEmf(bytes)) {
        throw std::runtime_error("not an enhanced metafile");
    }
    const RecordWalk walk = CheckRecords(bytes);
    const std::string svg = ConvertToSvg(bytes, walk.length);
    CheckFrameSize(svg);

    using vips::VImage;
    VipsBlob* blob = vips_blob_copy(svg.data(), svg.size());
    std::unique_ptr<VipsArea, decltype(&vips_area_unref)> blobOwner(VIPS_AREA(blob), &vips_area_unref);
    const VImage natural = VImage::svgload_buffer(blob);
    if (natural.width() < 1 || natural.height() < 1) {
        throw std::runtime_error("the metafile has an empty frame");
    }
    const double scale = std::min(static_cast<double>(fitWidth) / natural.width(),
                                  static_cast<double>(fitHeight) / natural.height());
    // The SVG renderer takes scales from 0.001 up; below that it would quietly
    // draw the frame at full size, gigabytes for an absurd frame.
    if (!(scale >= kSmallestScale && scale <= kLargestScale)) {
        throw std::runtime_error("the metafile's frame is absurdly large or small (" +
                                 std::to_string(natural.width()) + " x " + std::to_string(natural.height()) +
                                 " pixels)");
    }
    VImage drawn = VImage::svgload_buffer(blob, VImage::option()->set("scale", scale));
    // A frame beyond what the renderer can describe comes back with a made-up
    // size and would render at another: draw only what fits the page.
    if (drawn.width() > 2 * fitWidth + 2 || drawn.height() > 2 * fitHeight + 2) {
        throw std::runtime_error("the metafile's frame is out of range (" + std::to_string(drawn.width()) +
                                 " x " + std::to_string(drawn.height()) + " pixels when fitted to the page)");
    }
    drawn = drawn.flatten(VImage::option()->set("background", 255.0)).cast(VIPS_FORMAT_UCHAR);
    // Kept in memory: it is page-sized at most, and we look at it twice.
    drawn = drawn.copy_memory();
    if (drawn.min() >= 255.0 && walk.hasEmfPlus) {
        throw std::runtime_error("the metafile draws only with EMF+ records, which cannot be shown");
    }
    return drawn;
}
