#pragma once

#include <cstdint>

// The JPEG quality of rendered pages unless the user chooses another (1 to 100).
inline constexpr int32_t kDefaultJpegQuality = 75;
