#pragma once

// What the documents' writers tell the user, in one place: both writers, and
// the checks before them, say the same thing for the same failure. (Plain
// C++17: the libqpdf writer sees it too.)
inline constexpr const char* kNotJpeg = "is not a JPEG picture";
inline constexpr const char* kEmptyJpeg = "is empty or holds no picture";
inline constexpr const char* kPageSizeRefused =
    "the page width or height is outside the range of 3 to 14400 points";
// A document ended by a cancel request; never shown, as a cancelled document is no failure.
inline constexpr const char* kCancelled = "cancelled";
