#include "PngChunks.h"

namespace {

constexpr int kMaxChunksWalked = 1000;
constexpr uint32_t kLongestChunk = 0x7FFFFFFF; // the PNG format's own limit

} // namespace

uint32_t PngNumber(std::string_view bytes, size_t at) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + at);
    return (static_cast<uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

void WalkPngHeaderChunks(const ReadBytesAt& read,
                         const std::function<bool(std::string_view type, uint32_t length, uint64_t dataAt)>& visit) {
    uint64_t at = 8; // past the signature
    for (int walked = 0; walked < kMaxChunksWalked; ++walked) {
        const std::string head = read(at, 8);
        if (head.size() < 8) {
            return;
        }
        const uint32_t length = PngNumber(head, 0);
        const std::string_view type = std::string_view(head).substr(4, 4);
        if (length > kLongestChunk || type == "IDAT" || type == "IEND" || !visit(type, length, at + 8)) {
            return;
        }
        at += uint64_t{12} + length;
    }
}
