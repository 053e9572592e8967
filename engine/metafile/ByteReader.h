#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace metafile {

// A little-endian cursor over one record's bytes. Every read is checked
// against the end: a read past it yields zero and marks the reader as overrun,
// so a lying size or count in a hostile file can never reach memory beyond the
// record. Callers check ok() before acting on what they read.
class ByteReader {
  public:
    ByteReader() = default;
    explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}

    bool ok() const { return ok_; }
    size_t offset() const { return offset_; }
    size_t size() const { return bytes_.size(); }
    size_t remaining() const { return offset_ <= bytes_.size() ? bytes_.size() - offset_ : 0; }
    std::string_view bytes() const { return bytes_; }

    // Whether `count` items of `itemSize` bytes each still fit: counts in a
    // metafile are 32-bit and must never be trusted to allocate.
    bool Holds(uint64_t count, uint64_t itemSize) const {
        return ok_ && (itemSize == 0 || count <= remaining() / itemSize);
    }

    void Seek(size_t offset) {
        if (offset > bytes_.size()) {
            ok_ = false;
            offset_ = bytes_.size();
            return;
        }
        offset_ = offset;
    }
    void Skip(size_t count) {
        if (count > remaining()) {
            ok_ = false;
            offset_ = bytes_.size();
            return;
        }
        offset_ += count;
    }

    uint8_t U8() { return static_cast<uint8_t>(Take<1>()); }
    uint16_t U16() { return static_cast<uint16_t>(Take<2>()); }
    int16_t I16() { return static_cast<int16_t>(U16()); }
    uint32_t U32() { return static_cast<uint32_t>(Take<4>()); }
    int32_t I32() { return static_cast<int32_t>(U32()); }
    float F32() {
        const uint32_t bits = U32();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    // `count` bytes from the cursor, or an empty view (and not ok) when fewer remain.
    std::string_view Bytes(size_t count) {
        if (count > remaining()) {
            ok_ = false;
            offset_ = bytes_.size();
            return {};
        }
        const std::string_view view = bytes_.substr(offset_, count);
        offset_ += count;
        return view;
    }
    // The bytes [offset, offset + count) of the whole buffer, independent of the cursor.
    std::string_view Slice(uint64_t offset, uint64_t count) const {
        if (offset > bytes_.size() || count > bytes_.size() - offset) {
            return {};
        }
        return bytes_.substr(static_cast<size_t>(offset), static_cast<size_t>(count));
    }

  private:
    template <int N> uint64_t Take() {
        if (remaining() < N) {
            ok_ = false;
            offset_ = bytes_.size();
            return 0;
        }
        uint64_t value = 0;
        for (int i = 0; i < N; ++i) {
            value |= static_cast<uint64_t>(static_cast<uint8_t>(bytes_[offset_ + i])) << (8 * i);
        }
        offset_ += N;
        return value;
    }

    std::string_view bytes_;
    size_t offset_ = 0;
    bool ok_ = true;
};

} // namespace metafile
