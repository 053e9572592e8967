#pragma once

#include <optional>
#include <string>
#include <string_view>

// Decodes UTF-8; empty when the bytes are not valid UTF-8.
std::optional<std::u16string> Utf8ToUtf16(std::string_view utf8);

// Decodes UTF-8 into code points; empty when the bytes are not valid UTF-8.
std::optional<std::u32string> Utf8ToUtf32(std::string_view utf8);

// Encodes wide text as UTF-8, the encoding the PDF library and the file
// system take here. Empty when the text holds an unpaired surrogate.
std::optional<std::string> ToUtf8(std::u16string_view wide);
