#include "PngStream.h"

#include <zlib.h>

#include <cstring>
#include <vector>

namespace {

constexpr std::string_view kSignature = "\x89PNG\r\n\x1a\n";

uint32_t BigEndian(const char* at) {
    const auto* b = reinterpret_cast<const unsigned char*>(at);
    return uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | b[3];
}

bool DepthFits(int colourType, int bits) {
    switch (colourType) {
    case 0:
        return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16;
    case 2:
        return bits == 8 || bits == 16;
    case 3:
        return bits == 1 || bits == 2 || bits == 4 || bits == 8;
    default:
        return false; // grey or colour with alpha: composited over white first
    }
}

// Inflates `data` to its end, checking that it holds exactly `height` rows of
// `rowBytes` bytes each after a known filter byte (0 to 4).
bool InflatesToRows(const std::string& data, size_t rowBytes, uint32_t height) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) {
        return false;
    }
    std::vector<unsigned char> chunk(1 << 20);
    const uint64_t expected = uint64_t{height} * (rowBytes + 1);
    uint64_t produced = 0;
    uint64_t nextRow = 0; // where the next row's filter byte falls in the inflated data
    bool filtersKnown = true;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    int status = Z_OK;
    while (status == Z_OK && produced <= expected) {
        stream.next_out = chunk.data();
        stream.avail_out = static_cast<uInt>(chunk.size());
        status = inflate(&stream, Z_NO_FLUSH);
        const size_t got = chunk.size() - stream.avail_out;
        for (; nextRow < expected && nextRow < produced + got; nextRow += rowBytes + 1) {
            filtersKnown = filtersKnown && chunk[nextRow - produced] <= 4;
        }
        produced += got;
        if (status == Z_BUF_ERROR && got == 0) {
            break; // the data ends before the stream does
        }
    }
    inflateEnd(&stream);
    return status == Z_STREAM_END && produced == expected && filtersKnown;
}

} // namespace

std::optional<PngStream> ReadPngStream(std::string_view bytes) {
    if (bytes.substr(0, kSignature.size()) != kSignature) {
        return std::nullopt;
    }
    PngStream png;
    int colourType = -1;
    bool interlaced = false;
    bool ended = false;
    size_t at = kSignature.size();
    while (!ended) {
        if (bytes.size() - at < 12) {
            return std::nullopt; // cut short
        }
        const uint32_t length = BigEndian(bytes.data() + at);
        if (length > bytes.size() - at - 12) {
            return std::nullopt;
        }
        const std::string_view type = bytes.substr(at + 4, 4);
        const char* body = bytes.data() + at + 8;
        const uint32_t stored = BigEndian(body + length);
        const uLong computed =
            crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(bytes.data() + at + 4), length + 4);
        if (computed != stored) {
            return std::nullopt; // a damaged chunk
        }
        if (type == "IHDR") {
            if (length != 13 || at != kSignature.size()) {
                return std::nullopt;
            }
            png.width = static_cast<int32_t>(BigEndian(body));
            png.height = static_cast<int32_t>(BigEndian(body + 4));
            png.bits = static_cast<unsigned char>(body[8]);
            colourType = static_cast<unsigned char>(body[9]);
            interlaced = body[12] != 0;
            if (body[10] != 0 || body[11] != 0) {
                return std::nullopt; // a compression or filter method of no known kind
            }
        } else if (type == "PLTE") {
            png.palette.assign(body, length);
        } else if (type == "IDAT") {
            png.data.append(body, length);
        } else if (type == "IEND") {
            ended = true;
        } else if (type == "tRNS" || type == "iCCP") {
            // Transparency is shown over white, and a profile's colours are
            // made sRGB, both by decoding.
            return std::nullopt;
        }
        at += size_t{length} + 12;
    }
    if (colourType < 0 || interlaced || !DepthFits(colourType, png.bits) || png.width < 1 || png.height < 1 ||
        png.width > 65535 || png.height > 65535 || png.data.empty()) {
        return std::nullopt;
    }
    if (colourType == 3) {
        const size_t entries = png.palette.size() / 3;
        if (png.palette.size() % 3 != 0 || entries == 0 || entries > (size_t{1} << png.bits)) {
            return std::nullopt;
        }
    } else {
        png.palette.clear(); // a suggested palette for a true-colour picture counts for nothing
    }
    png.components = colourType == 2 ? 3 : 1;
    const size_t rowBytes = (size_t{static_cast<uint32_t>(png.width)} * png.components * png.bits + 7) / 8;
    if (!InflatesToRows(png.data, rowBytes, static_cast<uint32_t>(png.height))) {
        return std::nullopt;
    }
    return png;
}
