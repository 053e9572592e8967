#include "Utf8.h"

std::optional<std::u32string> Utf8ToUtf32(std::string_view utf8) {
    std::u32string codes;
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        const int extra = lead < 0x80           ? 0
                          : (lead >> 5) == 0x6  ? 1
                          : (lead >> 4) == 0xE  ? 2
                          : (lead >> 3) == 0x1E ? 3
                                                : -1;
        if (extra < 0 || i + static_cast<size_t>(extra) >= utf8.size()) {
            return std::nullopt;
        }
        char32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            const unsigned char next = static_cast<unsigned char>(utf8[i + k]);
            if ((next & 0xC0) != 0x80) {
                return std::nullopt;
            }
            code = (code << 6) | (next & 0x3F);
        }
        static constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
        if (code < kSmallest[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return std::nullopt; // overlong forms and surrogates are not characters
        }
        codes.push_back(code);
        i += extra + 1;
    }
    return codes;
}

std::optional<std::u16string> Utf8ToUtf16(std::string_view utf8) {
    const std::optional<std::u32string> codes = Utf8ToUtf32(utf8);
    if (!codes) {
        return std::nullopt;
    }
    std::u16string wide;
    for (char32_t code : *codes) {
        if (code >= 0x10000) {
            code -= 0x10000;
            wide.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            wide.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            wide.push_back(static_cast<char16_t>(code));
        }
    }
    return wide;
}

std::optional<std::string> ToUtf8(std::u16string_view wide) {
    std::string narrow;
    narrow.reserve(wide.size() * 3);
    for (std::size_t i = 0; i < wide.size(); ++i) {
        char32_t c = wide[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= wide.size() || wide[i + 1] < 0xDC00 || wide[i + 1] > 0xDFFF) {
                return std::nullopt;
            }
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return std::nullopt;
        }
        if (c < 0x80) {
            narrow += static_cast<char>(c);
        } else if (c < 0x800) {
            narrow += static_cast<char>(0xC0 | (c >> 6));
            narrow += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            narrow += static_cast<char>(0xE0 | (c >> 12));
            narrow += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            narrow += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            narrow += static_cast<char>(0xF0 | (c >> 18));
            narrow += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            narrow += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            narrow += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return narrow;
}
