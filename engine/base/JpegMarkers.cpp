#include "JpegMarkers.h"

namespace {

constexpr uint8_t kMarkerStart = 0xFF;
constexpr uint8_t kStartOfImage = 0xD8;
constexpr uint8_t kStartOfScan = 0xDA;
constexpr uint8_t kEndOfImage = 0xD9;
constexpr uint8_t kFirstRestart = 0xD0;
constexpr uint8_t kExifMarker = 0xE1;
constexpr uint8_t kAdobeMarker = 0xEE;
constexpr uint8_t kJfifMarker = 0xE0;

// Markers that stand alone, without a length: TEM and the restart markers.
bool StandsAlone(uint8_t marker) {
    return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7);
}

// SOF0 to SOF15, less DHT (C4), JPG (C8) and DAC (CC), which share the range.
bool IsFrameHeader(uint8_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

unsigned Byte(std::string_view bytes, size_t at) {
    return static_cast<uint8_t>(bytes[at]);
}

unsigned BigEndian16(std::string_view bytes, size_t at) {
    return Byte(bytes, at) << 8 | Byte(bytes, at + 1);
}

bool ReadFrameHeader(std::string_view body, uint8_t marker, JpegLayout& layout) {
    if (body.size() < 6) {
        return false;
    }
    layout.frameMarker = marker;
    layout.precision = static_cast<int>(Byte(body, 0));
    layout.height = static_cast<int>(BigEndian16(body, 1));
    layout.width = static_cast<int>(BigEndian16(body, 3));
    const size_t components = Byte(body, 5);
    if (body.size() < 6 + 3 * components) {
        return false;
    }
    for (size_t i = 0; i < components; ++i) {
        layout.componentIds.push_back(static_cast<uint8_t>(Byte(body, 6 + 3 * i)));
    }
    return true;
}

} // namespace

std::optional<JpegLayout> ReadJpegLayout(std::string_view bytes) {
    if (bytes.size() < 4 || Byte(bytes, 0) != kMarkerStart || Byte(bytes, 1) != kStartOfImage) {
        return std::nullopt;
    }
    JpegLayout layout;
    bool haveFrame = false;
    size_t at = 2;
    for (;;) {
        if (at + 2 > bytes.size() || Byte(bytes, at) != kMarkerStart) {
            return std::nullopt; // anything but a marker between segments is damage
        }
        const size_t markerAt = at;
        while (at < bytes.size() && Byte(bytes, at) == kMarkerStart) {
            ++at; // fill bytes may precede a marker
        }
        if (at >= bytes.size()) {
            return std::nullopt;
        }
        const uint8_t marker = static_cast<uint8_t>(Byte(bytes, at++));
        if (marker == 0x00 || marker == kStartOfImage) {
            return std::nullopt;
        }
        if (StandsAlone(marker)) {
            continue;
        }
        if (at + 2 > bytes.size()) {
            return std::nullopt;
        }
        const size_t length = BigEndian16(bytes, at);
        if (length < 2 || at + length > bytes.size()) {
            return std::nullopt;
        }
        const std::string_view body = bytes.substr(at + 2, length - 2);
        at += length;
        if (marker == kStartOfScan) {
            layout.firstScan = markerAt;
            return haveFrame ? std::optional(layout) : std::nullopt;
        }
        if (IsFrameHeader(marker)) {
            if (haveFrame || !ReadFrameHeader(body, marker, layout)) {
                return std::nullopt;
            }
            haveFrame = true;
        } else if (marker == kExifMarker && body.substr(0, 6) == std::string_view("Exif\0\0", 6)) {
            layout.exifSegments.emplace_back(markerAt, at - markerAt);
        } else if (marker == kJfifMarker && !layout.jfif && body.size() >= 12 &&
                   body.substr(0, 5) == std::string_view("JFIF\0", 5)) {
            layout.jfif =
                JfifDensity{static_cast<uint8_t>(Byte(body, 7)), static_cast<uint16_t>(BigEndian16(body, 8)),
                            static_cast<uint16_t>(BigEndian16(body, 10))};
        } else if (marker == kAdobeMarker && body.size() >= 12 && body.substr(0, 5) == "Adobe") {
            layout.adobeTransform = static_cast<uint8_t>(Byte(body, 11));
        }
    }
}

namespace {

// Skips the coded data of a scan that starts at `at`: up to the first marker
// that is neither a stuffed byte, a fill byte nor the restart marker due next.
// Returns where that marker starts, or nothing when the data is cut short or
// a restart marker comes out of turn.
std::optional<size_t> SkipCodedData(std::string_view bytes, size_t at) {
    unsigned restart = 0;
    for (;;) {
        const size_t found = bytes.find(static_cast<char>(kMarkerStart), at);
        if (found == std::string_view::npos || found + 1 >= bytes.size()) {
            return std::nullopt;
        }
        const unsigned next = Byte(bytes, found + 1);
        if (next == 0x00 || next == kMarkerStart) {
            at = found + (next == 0x00 ? 2 : 1);
        } else if (next >= kFirstRestart && next <= kFirstRestart + 7) {
            if (next != kFirstRestart + restart % 8) {
                return std::nullopt;
            }
            ++restart;
            at = found + 2;
        } else {
            return found;
        }
    }
}

} // namespace

bool ReachesEndOfImage(std::string_view bytes, const JpegLayout& layout) {
    size_t at = layout.firstScan;
    for (;;) {
        if (at + 2 > bytes.size() || Byte(bytes, at) != kMarkerStart) {
            return false;
        }
        while (at < bytes.size() && Byte(bytes, at) == kMarkerStart) {
            ++at;
        }
        if (at >= bytes.size()) {
            return false;
        }
        const uint8_t marker = static_cast<uint8_t>(Byte(bytes, at++));
        if (marker == kEndOfImage) {
            return true;
        }
        if (marker == 0x00 || marker == kStartOfImage || StandsAlone(marker) || IsFrameHeader(marker) ||
            at + 2 > bytes.size()) {
            return false;
        }
        const size_t length = BigEndian16(bytes, at);
        if (length < 2 || at + length > bytes.size()) {
            return false;
        }
        at += length;
        if (marker == kStartOfScan) {
            const std::optional<size_t> next = SkipCodedData(bytes, at);
            if (!next) {
                return false;
            }
            at = *next;
        }
    }
}

std::string WithoutExif(std::string_view bytes, const JpegLayout& layout) {
    std::string kept;
    kept.reserve(bytes.size());
    size_t from = 0;
    for (const auto& [offset, length] : layout.exifSegments) {
        kept.append(bytes.substr(from, offset - from));
        from = offset + length;
    }
    kept.append(bytes.substr(from));
    return kept;
}
