#pragma once

#include <optional>
#include <string>
#include <string_view>

// Decodes UTF-8; empty when the bytes are not valid UTF-8.
std::optional<std::u16string> Utf8ToUtf16(std::string_view utf8);
