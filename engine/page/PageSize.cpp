#include "PageSize.h"

#include <cctype>
#include <limits>

int32_t ParsePageDimension(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
    int64_t value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kMax + 1) {
            value = kMax + 1; // saturate; the sign decides which limit applies
        }
    }
    if (negative) {
        return static_cast<int32_t>(-value < kMin ? kMin : -value);
    }
    return static_cast<int32_t>(value > kMax ? kMax : value);
}

std::optional<std::string> CheckPageSize(int32_t pageWidth, int32_t pageHeight) {
    auto fits = [](int32_t side) { return side >= kMinPageSide && side <= kMaxPageSide; };
    if (fits(pageWidth) && fits(pageHeight)) {
        return std::nullopt;
    }
    return "page size " + std::to_string(pageWidth) + " x " + std::to_string(pageHeight) +
           " pixels is not possible: each side must be between " + std::to_string(kMinPageSide) + " and " +
           std::to_string(kMaxPageSide) + " pixels";
}
