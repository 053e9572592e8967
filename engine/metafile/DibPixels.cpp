#include "DibPixels.h"

#include "ByteReader.h"

#include <bit>

namespace metafile {
namespace {

// One colour channel held under a bit mask, widened to eight bits.
uint32_t Channel(uint32_t pixel, uint32_t mask, uint32_t absent) {
    if (mask == 0) {
        return absent;
    }
    const int shift = std::countr_zero(mask);
    const uint32_t max = mask >> shift;
    return static_cast<uint32_t>((static_cast<uint64_t>((pixel & mask) >> shift) * 255 + max / 2) / max);
}

uint32_t Unmask(uint32_t pixel, const std::array<uint32_t, 4>& masks) {
    return (Channel(pixel, masks[3], 255) << 24) | (Channel(pixel, masks[0], 0) << 16) |
           (Channel(pixel, masks[1], 0) << 8) | Channel(pixel, masks[2], 0);
}

} // namespace

std::array<uint32_t, 4> DefaultDibMasks(uint32_t bitCount) {
    if (bitCount == 16) {
        return {0x7C00, 0x03E0, 0x001F, 0};
    }
    return {0x00FF0000, 0x0000FF00, 0x000000FF, 0};
}

bool ReadDibMasks(std::string_view info, uint32_t headerSize, uint32_t compression,
                  std::array<uint32_t, 4>& masks, int& count) {
    ByteReader in(info);
    in.Seek(40);
    count = headerSize >= 56 || compression == kDibAlphaBitfields ? 4 : 3;
    for (int i = 0; i < count; ++i) {
        masks[i] = in.U32();
    }
    return in.ok();
}

std::vector<uint32_t> ReadDibPalette(std::string_view table, uint32_t bitCount, uint32_t coloursUsed,
                                     size_t entrySize) {
    std::vector<uint32_t> palette;
    if (bitCount == 0 || bitCount > 8) {
        return palette;
    }
    const size_t maximum = size_t{1} << bitCount;
    const size_t wanted = coloursUsed != 0 && coloursUsed < maximum ? coloursUsed : maximum;
    const size_t count = std::min(wanted, table.size() / entrySize);
    palette.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const auto* p = reinterpret_cast<const unsigned char*>(table.data() + i * entrySize);
        palette.push_back((uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0]);
    }
    return palette;
}

uint64_t DibRowBytes(int64_t width, uint32_t bitCount) {
    return (static_cast<uint64_t>(width) * bitCount + 31) / 32 * 4;
}

size_t ReadDibRow(const DibFormat& format, std::string_view bits, int64_t storedRow, int64_t step,
                  uint32_t* out, size_t count) {
    const uint32_t bitCount = format.bitCount;
    const uint64_t rowStart = static_cast<uint64_t>(storedRow) * DibRowBytes(format.width, bitCount);
    if (rowStart >= bits.size()) {
        return 0;
    }
    const uint64_t rowEnd = std::min<uint64_t>(bits.size(), rowStart + DibRowBytes(format.width, bitCount));
    const auto* row = reinterpret_cast<const unsigned char*>(bits.data() + rowStart);
    const uint64_t rowSize = rowEnd - rowStart;
    const unsigned indexMask = (1u << std::min(bitCount, 8u)) - 1;
    size_t done = 0;
    for (; done < count; ++done) {
        const uint64_t bit = static_cast<uint64_t>(done) * step * bitCount;
        if ((bit + bitCount + 7) / 8 > rowSize) {
            break;
        }
        const unsigned char* p = row + bit / 8;
        switch (bitCount) {
        case 1:
        case 2:
        case 4:
        case 8:
            out[done] = (p[0] >> (8 - bitCount - bit % 8)) & indexMask;
            break;
        case 16:
            out[done] = Unmask(p[0] | (p[1] << 8), format.masks);
            break;
        case 24:
            out[done] = 0xFF000000u | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
            break;
        default: // 32
            out[done] =
                Unmask(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24), format.masks);
            break;
        }
    }
    return done;
}

} // namespace metafile
