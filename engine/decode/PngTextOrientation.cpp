#include "PngTextOrientation.h"

#include <cctype>
#include <cstdint>
#include <string>
#include <string_view>
#include <zlib.h>

namespace {

constexpr std::string_view kKeyword = "Raw profile type exif";
// A picture's EXIF is at most 64 KB, twice that written out in hex: a text
// chunk far larger is something else, and is not inflated.
constexpr uint32_t kMaxChunkBytes = 1 << 20;
constexpr size_t kMaxTextBytes = 1 << 20;

// A zlib stream inflated, no further than kMaxTextBytes; empty when damaged.
std::string Inflate(std::string_view compressed) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) {
        return {};
    }
    std::string text(kMaxTextBytes, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    stream.avail_in = static_cast<uInt>(compressed.size());
    stream.next_out = reinterpret_cast<Bytef*>(text.data());
    stream.avail_out = static_cast<uInt>(text.size());
    const int status = inflate(&stream, Z_FINISH);
    text.resize(stream.total_out);
    inflateEnd(&stream);
    return status == Z_STREAM_END ? text : std::string();
}

// The text of a tEXt, zTXt or iTXt chunk whose keyword is kKeyword, else empty.
std::string ProfileText(std::string_view type, std::string_view data) {
    const size_t keyEnd = data.find('\0');
    if (keyEnd == std::string_view::npos || data.substr(0, keyEnd) != kKeyword) {
        return {};
    }
    std::string_view rest = data.substr(keyEnd + 1);
    if (type == "tEXt") {
        return std::string(rest);
    }
    if (type == "zTXt") {
        return rest.size() > 1 && rest[0] == 0 ? Inflate(rest.substr(1)) : std::string();
    }
    // iTXt: compression flag and method, then a language tag and a translated keyword.
    if (rest.size() < 2) {
        return {};
    }
    const bool compressed = rest[0] != 0;
    rest = rest.substr(2);
    for (int field = 0; field < 2; ++field) {
        const size_t end = rest.find('\0');
        if (end == std::string_view::npos) {
            return {};
        }
        rest = rest.substr(end + 1);
    }
    return compressed ? Inflate(rest) : std::string(rest);
}

// The bytes of a raw profile: its name, its length in bytes, then the bytes
// in hex, all parted by white space and line breaks.
std::string ProfileBytes(std::string_view text) {
    size_t at = 0;
    auto word = [&] {
        while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) {
            ++at;
        }
        const size_t start = at;
        while (at < text.size() && !std::isspace(static_cast<unsigned char>(text[at]))) {
            ++at;
        }
        return text.substr(start, at - start);
    };
    word(); // the profile's name
    const std::string_view length = word();
    size_t wanted = 0;
    for (const char c : length) {
        if (!std::isdigit(static_cast<unsigned char>(c)) || wanted > kMaxTextBytes) {
            return {};
        }
        wanted = wanted * 10 + static_cast<size_t>(c - '0');
    }
    std::string bytes;
    int high = -1;
    for (; at < text.size() && bytes.size() < wanted; ++at) {
        const int c = std::tolower(static_cast<unsigned char>(text[at]));
        const int digit = std::isdigit(c) ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (digit < 0) {
            continue;
        }
        if (high < 0) {
            high = digit;
        } else {
            bytes += static_cast<char>(high * 16 + digit);
            high = -1;
        }
    }
    return bytes;
}

// The Orientation tag of the first directory of an EXIF block, with or
// without the "Exif" header that JPEG files put before it.
std::optional<int> ExifOrientation(std::string_view exif) {
    if (exif.substr(0, 6) == std::string_view("Exif\0\0", 6)) {
        exif.remove_prefix(6);
    }
    if (exif.size() < 8) {
        return std::nullopt;
    }
    const bool little = exif.substr(0, 4) == std::string_view("II*\0", 4);
    if (!little && exif.substr(0, 4) != std::string_view("MM\0*", 4)) {
        return std::nullopt;
    }
    auto u16 = [&](size_t at) -> uint32_t {
        const auto* p = reinterpret_cast<const unsigned char*>(exif.data() + at);
        return little ? p[0] | (p[1] << 8) : (p[0] << 8) | p[1];
    };
    auto u32 = [&](size_t at) {
        return little ? (u16(at + 2) << 16) | u16(at) : (u16(at) << 16) | u16(at + 2);
    };
    const uint64_t directory = u32(4);
    if (directory + 2 > exif.size()) {
        return std::nullopt;
    }
    const uint32_t entries = u16(directory);
    for (uint32_t i = 0; i < entries; ++i) {
        const uint64_t entry = directory + 2 + uint64_t{12} * i;
        if (entry + 12 > exif.size()) {
            break;
        }
        constexpr uint32_t kOrientationTag = 0x0112, kShort = 3;
        if (u16(entry) == kOrientationTag && u16(entry + 2) == kShort) {
            const int orientation = static_cast<int>(u16(entry + 8));
            return orientation >= 1 && orientation <= 8 ? std::optional<int>(orientation) : std::nullopt;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<int> ReadPngTextOrientation(const ReadBytesAt& read) {
    std::optional<int> orientation;
    WalkPngHeaderChunks(read, [&](std::string_view type, uint32_t length, uint64_t dataAt) {
        if ((type == "tEXt" || type == "zTXt" || type == "iTXt") && length <= kMaxChunkBytes) {
            const std::string data = read(dataAt, length);
            const std::string text = data.size() == length ? ProfileText(type, data) : std::string();
            if (!text.empty()) {
                orientation = ExifOrientation(ProfileBytes(text));
            }
        }
        return !orientation;
    });
    return orientation;
}
