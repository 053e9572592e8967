#pragma once

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <string>
#include <vector>

// The text recognised on one page picture, as the preparation hands it to the
// PDF stage. Every position is in pixels of the page picture it was read
// from, measured from its top-left corner; the PDF stage maps them onto the
// page the picture covers.

struct RecognizedWord {
    std::string text; // UTF-8, never empty
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0; // exclusive
    int32_t bottom = 0;
    bool operator==(const RecognizedWord&) const = default;
};

struct RecognizedLine {
    // The line's box, and its baseline from (x1, y1) to (x2, y2).
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    int32_t baselineX1 = 0;
    int32_t baselineY1 = 0;
    int32_t baselineX2 = 0;
    int32_t baselineY2 = 0;
    std::vector<RecognizedWord> words; // in reading order, never empty
    bool operator==(const RecognizedLine&) const = default;
};

struct PageText {
    int32_t width = 0; // the page picture the positions refer to
    int32_t height = 0;
    std::vector<RecognizedLine> lines; // empty when the page holds no text
    bool operator==(const PageText&) const = default;
};

// The side-file form of a page's text.
nlohmann::json PageTextToJson(const PageText& text);

// Reads what PageTextToJson wrote. Throws std::exception when the value is not
// such a text or a position lies off its page picture: the side file is not
// ours to trust, and a page must never be given text from half-read numbers.
PageText PageTextFromJson(const nlohmann::json& value);
