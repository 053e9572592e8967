#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Reads `count` bytes at `offset` of the file; fewer at its end.
using ReadBytesAt = std::function<std::string(uint64_t offset, size_t count)>;

// Hands `visit` the type, length and data offset of each chunk of a PNG file
// before its first IDAT, in order, until `visit` returns false. A malformed
// chunk ends the walk (the decoder then says what is wrong), and so does the
// thousandth: well-formed files hold a handful before their pixels.
void WalkPngHeaderChunks(const ReadBytesAt& read,
                         const std::function<bool(std::string_view type, uint32_t length, uint64_t dataAt)>& visit);

// The big-endian number of four bytes at `at`; `bytes` must hold them.
uint32_t PngNumber(std::string_view bytes, size_t at);
