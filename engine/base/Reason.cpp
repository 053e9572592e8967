#include "Reason.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr size_t kBriefLength = 200;
constexpr size_t kDetailLength = 16 * 1024;
constexpr std::string_view kEllipsis = "…";

bool IsMeaningful(std::string_view line) {
    return std::any_of(line.begin(), line.end(),
                       [](unsigned char c) { return std::isalnum(c) || c >= 0x80; });
}

std::string_view Trimmed(std::string_view line) {
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.front()))) {
        line.remove_prefix(1);
    }
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) {
        line.remove_suffix(1);
    }
    return line;
}

// Cuts `text` to at most `limit` bytes, backing off to the start of a UTF-8
// character, and marks the cut.
std::string CutAt(std::string_view text, size_t limit) {
    if (text.size() <= limit) {
        return std::string(text);
    }
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return std::string(Trimmed(text.substr(0, end))) + std::string(kEllipsis);
}

} // namespace

std::string BriefReason(std::string_view full) {
    for (size_t start = 0; start < full.size();) {
        size_t end = full.find('\n', start);
        if (end == std::string_view::npos) {
            end = full.size();
        }
        const std::string_view line = Trimmed(full.substr(start, end - start));
        if (IsMeaningful(line)) {
            return CutAt(line, kBriefLength);
        }
        start = end + 1;
    }
    return {};
}

std::string BoundedDetail(std::string_view full) {
    return CutAt(Trimmed(full), kDetailLength);
}
