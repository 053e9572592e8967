#include "DibPixels.h"

#include "ByteReader.h"

#include <bit>

namespace metafile {
namespace {

// The four channels of a 16- or 32-bit pixel, each held under a bit mask and
// widened to eight bits. Where each mask sits is worked out once per row.
class Unmasker {
  public:
    explicit Unmasker(const std::array<uint32_t, 4>& masks) {
        for (int i = 0; i < 4; ++i) {
            mask_[i] = masks[i];
            shift_[i] = masks[i] != 0 ? std::countr_zero(masks[i]) : 0;
            max_[i] = masks[i] >> shift_[i];
        }
    }
    // 0xAARRGGBB; a channel without a mask reads as 0, alpha as opaque.
    uint32_t Read(uint32_t pixel) const {
        return (Channel(pixel, 3, 255) << 24) | (Channel(pixel, 0, 0) << 16) | (Channel(pixel, 1, 0) << 8) |
               Channel(pixel, 2, 0);
    }

  private:
    uint32_t Channel(uint32_t pixel, int i, uint32_t absent) const {
        if (max_[i] == 0) {
            return absent;
        }
        const uint64_t value = (pixel & mask_[i]) >> shift_[i];
        return static_cast<uint32_t>((value * 255 + max_[i] / 2) / max_[i]);
    }

    uint32_t mask_[4];
    int shift_[4];
    uint32_t max_[4];
};

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
    const uint64_t rowBytes = DibRowBytes(format.width, bitCount);
    const uint64_t rowStart = static_cast<uint64_t>(storedRow) * rowBytes;
    const bool known = bitCount == 1 || bitCount == 2 || bitCount == 4 || bitCount == 8 || bitCount == 16 ||
                       bitCount == 24 || bitCount == 32;
    if (!known || rowStart >= bits.size()) {
        return 0;
    }
    // A row cut short keeps the pixels whose bits it holds whole.
    const uint64_t rowBits = 8 * std::min<uint64_t>(bits.size() - rowStart, rowBytes);
    if (rowBits < bitCount) {
        return 0;
    }
    const uint64_t stepBits = static_cast<uint64_t>(step) * bitCount;
    count = static_cast<size_t>(std::min<uint64_t>(count, (rowBits - bitCount) / stepBits + 1));
    const auto* row = reinterpret_cast<const unsigned char*>(bits.data() + rowStart);
    if (bitCount <= 8) {
        const unsigned indexMask = (1u << bitCount) - 1;
        for (size_t i = 0; i < count; ++i) {
            const uint64_t bit = i * stepBits;
            out[i] = (row[bit / 8] >> (8 - bitCount - bit % 8)) & indexMask;
        }
        return count;
    }
    const size_t stepBytes = static_cast<size_t>(stepBits / 8);
    const std::array<uint32_t, 4>& m = format.masks;
    if (bitCount == 32 && m[0] == 0x00FF0000 && m[1] == 0x0000FF00 && m[2] == 0x000000FF &&
        (m[3] == 0 || m[3] == 0xFF000000u)) {
        // The usual byte-wide channels need no widening: copy the bytes.
        const uint32_t opaque = m[3] == 0 ? 0xFF000000u : 0;
        for (size_t i = 0; i < count; ++i) {
            const unsigned char* p = row + i * stepBytes;
            out[i] = opaque | p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
        }
        return count;
    }
    const Unmasker unmask(m);
    for (size_t i = 0; i < count; ++i) {
        const unsigned char* p = row + i * stepBytes;
        switch (bitCount) {
        case 16:
            out[i] = unmask.Read(p[0] | (p[1] << 8));
            break;
        case 24:
            out[i] = 0xFF000000u | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
            break;
        default: // 32
            out[i] = unmask.Read(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24));
            break;
        }
    }
    return count;
}

} // namespace metafile
