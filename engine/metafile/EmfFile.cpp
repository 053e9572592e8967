#include "EmfFile.h"

#include "ByteReader.h"
#include "RecordTypes.h"

#include <cmath>
#include <stdexcept>
#include <string>

namespace metafile {
namespace {

constexpr uint32_t kEmfSignature = 0x464D4520;      // " EMF"
constexpr uint32_t kEmfPlusIdentifier = 0x2B464D45; // "EMF+"
constexpr size_t kHeaderSize = 88;
// Reference devices are screens and printers: a few to a few hundred pixels
// per millimetre. Outside a wide margin around that, a header lies.
constexpr double kFewestPixelsPerMm = 0.01;
constexpr double kMostPixelsPerMm = 10000.0;
constexpr double kLargestFrameSide = 1e7; // pixels
constexpr double kSmallestFrameSide = 1e-3;

IntRect ReadRect(ByteReader& in) {
    IntRect rect;
    rect.left = in.I32();
    rect.top = in.I32();
    rect.right = in.I32();
    rect.bottom = in.I32();
    return rect;
}

double Resolution(int32_t pixels, double millimetres) {
    if (pixels <= 0 || !(millimetres > 0)) {
        return 96.0 / 25.4; // a header without a device: assume a common screen
    }
    const double perMm = pixels / millimetres;
    return perMm >= kFewestPixelsPerMm && perMm <= kMostPixelsPerMm ? perMm : 96.0 / 25.4;
}

} // namespace

bool IsEmfSignature(std::string_view head) {
    if (head.size() < 44) {
        return false;
    }
    ByteReader in(head);
    const uint32_t type = in.U32();
    in.Seek(40);
    return type == kEmrHeader && in.U32() == kEmfSignature;
}

EmfFile ReadEmfFile(std::string_view bytes) {
    if (bytes.size() < kHeaderSize || !IsEmfSignature(bytes)) {
        throw std::runtime_error("not an enhanced metafile");
    }
    ByteReader header(bytes);
    header.Seek(48);
    const uint32_t declared = header.U32();
    if (declared > bytes.size()) {
        throw std::runtime_error("truncated metafile: its header announces " + std::to_string(declared) +
                                 " bytes, the file has " + std::to_string(bytes.size()));
    }
    const size_t length = declared >= kHeaderSize ? declared : bytes.size();
    EmfFile file;
    size_t offset = 0;
    while (offset + 8 <= length) {
        ByteReader head(bytes.substr(offset, 8));
        const uint32_t type = head.U32();
        const uint32_t size = head.U32();
        if (size < 8 || size % 4 != 0 || size > length - offset) {
            throw std::runtime_error("damaged metafile: record at byte " + std::to_string(offset) +
                                     " has an impossible size of " + std::to_string(size) + " bytes");
        }
        if (offset == 0 && (type != kEmrHeader || size < kHeaderSize)) {
            throw std::runtime_error("damaged metafile: it does not begin with a valid header record");
        }
        const std::string_view record = bytes.substr(offset, size);
        if (type == kEmrComment && size >= 16) {
            ByteReader comment(record);
            comment.Seek(12);
            file.hasEmfPlus = file.hasEmfPlus || comment.U32() == kEmfPlusIdentifier;
        }
        file.records.push_back({type, record});
        if (type == kEmrEof) {
            break;
        }
        offset += size;
    }
    if (file.records.empty() || file.records.back().type != kEmrEof) {
        throw std::runtime_error("truncated metafile: it ends without its end-of-file record");
    }

    ByteReader in(file.records.front().bytes);
    in.Seek(8);
    file.bounds = ReadRect(in);
    file.frame = ReadRect(in);
    in.Seek(72);
    const int32_t devicePixelsX = in.I32();
    const int32_t devicePixelsY = in.I32();
    double millimetresX = in.I32();
    double millimetresY = in.I32();
    // Newer headers also give the device in micrometres, which is more exact;
    // in older ones the same bytes may hold the description text instead.
    ByteReader extension(file.records.front().bytes);
    extension.Seek(64);
    const uint32_t descriptionAt = extension.U32();
    extension.Seek(92);
    const uint32_t pixelFormatAt = extension.U32();
    extension.Seek(100);
    const int32_t micrometresX = extension.I32();
    const int32_t micrometresY = extension.I32();
    const bool extended =
        (descriptionAt == 0 || descriptionAt >= 108) && (pixelFormatAt == 0 || pixelFormatAt >= 108);
    // They only refine the millimetres: a program that wrote other numbers
    // there (a 500 mm square for a 192 x 108 mm screen) would squash the
    // picture, so they count only where they agree.
    auto agrees = [](int32_t micrometres, double millimetres) {
        return std::fabs(micrometres / 1000.0 - millimetres) <= 1.0;
    };
    if (extension.ok() && extended && micrometresX > 0 && micrometresY > 0 &&
        agrees(micrometresX, millimetresX) && agrees(micrometresY, millimetresY)) {
        millimetresX = micrometresX / 1000.0;
        millimetresY = micrometresY / 1000.0;
    }
    file.pixelsPerMmX = Resolution(devicePixelsX, millimetresX);
    file.pixelsPerMmY = Resolution(devicePixelsY, millimetresY);
    return file;
}

DeviceFrame FrameInDevicePixels(const EmfFile& file) {
    DeviceFrame frame;
    const IntRect& f = file.frame;
    if (f.right > f.left && f.bottom > f.top) {
        frame.left = f.left / 100.0 * file.pixelsPerMmX;
        frame.top = f.top / 100.0 * file.pixelsPerMmY;
        frame.width = (static_cast<double>(f.right) - f.left) / 100.0 * file.pixelsPerMmX;
        frame.height = (static_cast<double>(f.bottom) - f.top) / 100.0 * file.pixelsPerMmY;
        const double squarePixels = (file.pixelsPerMmX + file.pixelsPerMmY) / 2;
        frame.shownWidth = (static_cast<double>(f.right) - f.left) / 100.0 * squarePixels;
        frame.shownHeight = (static_cast<double>(f.bottom) - f.top) / 100.0 * squarePixels;
    } else if (file.bounds.right > file.bounds.left && file.bounds.bottom > file.bounds.top) {
        frame.left = file.bounds.left;
        frame.top = file.bounds.top;
        frame.width = static_cast<double>(file.bounds.right) - file.bounds.left + 1;
        frame.height = static_cast<double>(file.bounds.bottom) - file.bounds.top + 1;
        frame.shownWidth = frame.width;
        frame.shownHeight = frame.height;
    } else {
        throw std::runtime_error("the metafile has an empty frame");
    }
    auto sane = [](double side) { return side >= kSmallestFrameSide && side <= kLargestFrameSide; };
    if (!(sane(frame.width) && sane(frame.height) && sane(frame.shownWidth) && sane(frame.shownHeight))) {
        throw std::runtime_error("the metafile's frame is absurdly large or small (" +
                                 std::to_string(frame.width) + " x " + std::to_string(frame.height) +
                                 " pixels)");
    }
    return frame;
}

} // namespace metafile
