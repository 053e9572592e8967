#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The page sizes a PDF page can have, in points (one pixel of a prepared page
// is one point). Anything outside is refused before a job starts.
inline constexpr int32_t kMinPageSide = 3;
inline constexpr int32_t kMaxPageSide = 14400;

// Reads a size field the way the C library's base-10 conversion does: leading
// white space skipped, an optional sign, the digits up to the first other
// character; no digits gives 0; values beyond 32 bits clamp to the nearest limit.
int32_t ParsePageDimension(std::string_view text);

// Empty when both sides are usable page sizes; otherwise a sentence for the user.
std::optional<std::string> CheckPageSize(int32_t pageWidth, int32_t pageHeight);
