#include "TextLineLayout.h"

#include "Utf8.h"

#include <algorithm>

namespace {

// Widths as fractions of the line's height: the least a character may be
// given, so that no two glyphs ever sit on one spot (readers drop such
// "duplicates"), and the least gap worth a space piece of its own.
constexpr double kLeastAdvance = 0.05;
constexpr double kLeastSpace = 0.1;

struct Range {
    char32_t first;
    char32_t last;
};

// Scripts written without spaces between words, with their punctuation and
// full-width forms. Hangul is not among them: Korean spaces its words.
constexpr Range kUnspacedScripts[] = {
    {0x2E80, 0x2FDF},   // CJK radicals, Kangxi radicals
    {0x2FF0, 0x2FFF},   // ideographic description
    {0x3000, 0x303F},   // CJK symbols and punctuation
    {0x3040, 0x30FF},   // Hiragana, Katakana
    {0x3100, 0x312F},   // Bopomofo
    {0x3190, 0x31FF},   // Kanbun, Bopomofo extended, strokes, Katakana extension
    {0x3200, 0x33FF},   // enclosed CJK letters, CJK compatibility
    {0x3400, 0x4DBF},   // CJK extension A
    {0x4E00, 0x9FFF},   // CJK unified ideographs
    {0xF900, 0xFAFF},   // CJK compatibility ideographs
    {0xFE10, 0xFE1F},   // vertical forms
    {0xFE30, 0xFE4F},   // CJK compatibility forms
    {0xFF00, 0xFFEF},   // half-width and full-width forms
    {0x1B000, 0x1B16F}, // Kana supplement and extensions
    {0x20000, 0x3FFFF}, // CJK extensions B and later
};

bool IsUnspaced(char32_t c) {
    return std::any_of(std::begin(kUnspacedScripts), std::end(kUnspacedScripts),
                       [c](const Range& range) { return c >= range.first && c <= range.last; });
}

// Digits and punctuation, which take no space of their own beside CJK text.
bool Clings(char32_t c) {
    const bool asciiPunctuation = (c >= 0x21 && c <= 0x2F) || (c >= 0x3A && c <= 0x40) ||
                                  (c >= 0x5B && c <= 0x60) || (c >= 0x7B && c <= 0x7E);
    return (c >= '0' && c <= '9') || asciiPunctuation || (c >= 0xA1 && c <= 0xBF) ||
           (c >= 0x2000 && c <= 0x206F);
}

struct Word {
    std::u32string text;
    double left = 0;
    double right = 0;
};

std::vector<Word> DecodedWords(const RecognizedLine& line) {
    std::vector<Word> words;
    for (const RecognizedWord& word : line.words) {
        std::optional<std::u32string> text = Utf8ToUtf32(word.text);
        if (text && !text->empty()) {
            words.push_back(
                {std::move(*text), static_cast<double>(word.left), static_cast<double>(word.right)});
        }
    }
    return words;
}

} // namespace

bool JoinsWithoutSpace(char32_t before, char32_t after) {
    return (IsUnspaced(before) && (IsUnspaced(after) || Clings(after))) ||
           (IsUnspaced(after) && Clings(before));
}

std::vector<TextPiece> LayOutLine(const RecognizedLine& line) {
    const std::vector<Word> words = DecodedWords(line);
    const double height = std::max(1, line.bottom - line.top);
    const double leastAdvance = kLeastAdvance * height;
    const double leastSpace = kLeastSpace * height;
    std::vector<TextPiece> pieces;
    // Where the next piece must begin: recognised boxes can overlap or run
    // backwards (the last character of a CJK word is often given a box far
    // too wide), so each word begins at its own left edge or where the one
    // before it ended, whichever is further on.
    double cursor = words.empty() ? 0 : words.front().left;
    for (size_t i = 0; i < words.size(); ++i) {
        const Word& word = words[i];
        const double start = std::max(word.left, cursor);
        const double least = start + leastAdvance * static_cast<double>(word.text.size());
        if (i + 1 == words.size()) {
            pieces.push_back({word.text, start, std::max(word.right, least)});
            break;
        }
        const Word& next = words[i + 1];
        double nextStart = std::max(next.left, least);
        if (JoinsWithoutSpace(word.text.back(), next.text.front())) {
            pieces.push_back({word.text, start, nextStart});
        } else if (const double end = std::clamp(word.right, least, nextStart);
                   nextStart - end >= leastSpace) {
            pieces.push_back({word.text, start, end});
            pieces.push_back({U" ", end, nextStart});
        } else {
            // No gap worth the name between the boxes: the word and its space
            // share the width up to the next word.
            nextStart = std::max(nextStart, least + leastAdvance);
            pieces.push_back({word.text + U" ", start, nextStart});
        }
        cursor = nextStart;
    }
    return pieces;
}
