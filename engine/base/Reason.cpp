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

struct PlainWords {
    std::string_view phrase; // as the library says it, compared without regard to case
    std::string_view words;
};

constexpr std::string_view kJpegCut = "the JPEG file is cut short: the rest of the page is grey";
constexpr std::string_view kJpegCorrupt =
    "the JPEG data is corrupt: parts of the page may be grey or garbled";
constexpr std::string_view kPngCorrupt = "the PNG data is corrupt";
constexpr std::string_view kPngPartly =
    "the PNG data is corrupt or cut short: only part of the picture could be read";
constexpr std::string_view kTiffPartly =
    "the TIFF file is damaged or cut short: part of the picture could not be read";
constexpr std::string_view kTiffUnreadable =
    "the TIFF file is damaged or cut short: its pages cannot be found";
constexpr std::string_view kUnknownKind =
    "not a kind of picture Quillmark reads, or too damaged to tell; if it is a "
    "picture, save it as PNG or JPEG in a picture editor and add it again";
constexpr std::string_view kNoMemory =
    "there was not enough memory for this picture: close other programs and try again";

// In the order they are looked for: a line naming both the file kind and a
// general cause (a JPEG "read error") is told by the more particular one.
// clang-format off
constexpr PlainWords kPlainWords[] = {
    {"premature end of input file", kJpegCut},
    {"premature end of jpeg file", kJpegCut},
    {"corrupt jpeg data", kJpegCorrupt},
    {"invalid jpeg file structure", kJpegCorrupt},
    {"unsupported marker type", kJpegCorrupt},
    {"bogus marker length", kJpegCorrupt},
    {"huffman", kJpegCorrupt},
    {"libpng read error", kPngPartly},
    {"not enough image data", kPngPartly},
    {"invalid chunk type", kPngCorrupt},
    {"crc error", kPngCorrupt},
    {"bad adaptive filter", kPngCorrupt},
    {"invalid distance", kPngCorrupt},
    {"incorrect data check", kPngCorrupt},
    {"incorrect header check", kPngCorrupt},
    {"in ihdr", kPngCorrupt},
    {"iend: out of place", kPngCorrupt},
    {"read error on strip", kTiffPartly},
    {"read error on tile", kTiffPartly},
    {"read error at scanline", kTiffPartly},
    {"tiff directory", kTiffUnreadable},
    {"no frames in gif", "the GIF file holds no picture: it is empty or damaged"},
    {"is not a known file format", kUnknownKind},
    {"not a jpeg, png, bmp, tiff", kUnknownKind},
    {"no such file or directory", "the file is no longer there: it was moved or deleted after it was chosen"},
    {"permission denied", "this user may not read the file: check its permissions"},
    {"out of memory", kNoMemory},
    {"cannot allocate memory", kNoMemory},
    {"insufficient memory", kNoMemory},
    {"bad_alloc", kNoMemory},
};
// clang-format on

bool ContainsIgnoringCase(std::string_view text, std::string_view phrase) {
    const auto found =
        std::search(text.begin(), text.end(), phrase.begin(), phrase.end(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
        });
    return found != text.end();
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

std::string PictureReason(std::string_view full) {
    // Only the line that names the failure is read: our own words for a
    // decoder that crashed or hung come first, and the decoder's warnings
    // after them must not be taken for the cause.
    const std::string brief = BriefReason(full);
    for (const PlainWords& plain : kPlainWords) {
        if (ContainsIgnoringCase(brief, plain.phrase)) {
            return std::string(plain.words);
        }
    }
    return brief;
}
