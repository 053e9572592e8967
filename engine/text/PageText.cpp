#include "PageText.h"

#include <nlohmann/json.hpp>

#include <array>
#include <stdexcept>

using nlohmann::json;

namespace {

// No page picture is larger than a JPEG can be.
constexpr int64_t kMaxSide = 65535;

json Box(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    return json::array({left, top, right, bottom});
}

int32_t Within(const json& value, int64_t low, int64_t high, const char* what) {
    const int64_t number = value.get<int64_t>();
    if (number < low || number > high) {
        throw std::out_of_range(std::string(what) + " " + std::to_string(number) + " lies outside " +
                                std::to_string(low) + " to " + std::to_string(high));
    }
    return static_cast<int32_t>(number);
}

// Four numbers on the page: left, top, right, bottom, the first two no
// greater than the last two.
std::array<int32_t, 4> ReadBox(const json& box, const PageText& page, const char* what) {
    if (!box.is_array() || box.size() != 4) {
        throw std::invalid_argument(std::string(what) + " is not four numbers");
    }
    std::array<int32_t, 4> edges{};
    edges[0] = Within(box[0], 0, page.width, what);
    edges[1] = Within(box[1], 0, page.height, what);
    edges[2] = Within(box[2], edges[0], page.width, what);
    edges[3] = Within(box[3], edges[1], page.height, what);
    return edges;
}

RecognizedWord ReadWord(const json& value, const PageText& page) {
    if (!value.is_array() || value.size() != 5) {
        throw std::invalid_argument("a word is not its text and four numbers");
    }
    RecognizedWord word;
    word.text = value[0].get<std::string>();
    if (word.text.empty()) {
        throw std::invalid_argument("a word has no text");
    }
    const auto box = ReadBox(json::array({value[1], value[2], value[3], value[4]}), page, "a word's box");
    word.left = box[0];
    word.top = box[1];
    word.right = box[2];
    word.bottom = box[3];
    return word;
}

RecognizedLine ReadLine(const json& value, const PageText& page) {
    RecognizedLine line;
    const auto box = ReadBox(value.at("box"), page, "a line's box");
    line.left = box[0];
    line.top = box[1];
    line.right = box[2];
    line.bottom = box[3];
    const json& baseline = value.at("baseline");
    if (!baseline.is_array() || baseline.size() != 4) {
        throw std::invalid_argument("a baseline is not four numbers");
    }
    line.baselineX1 = Within(baseline[0], 0, page.width, "a baseline");
    line.baselineY1 = Within(baseline[1], 0, page.height, "a baseline");
    line.baselineX2 = Within(baseline[2], 0, page.width, "a baseline");
    line.baselineY2 = Within(baseline[3], 0, page.height, "a baseline");
    for (const json& word : value.at("words")) {
        line.words.push_back(ReadWord(word, page));
    }
    if (line.words.empty()) {
        throw std::invalid_argument("a line has no words");
    }
    return line;
}

} // namespace

json PageTextToJson(const PageText& text) {
    json lines = json::array();
    for (const RecognizedLine& line : text.lines) {
        json words = json::array();
        for (const RecognizedWord& word : line.words) {
            words.push_back(json::array({word.text, word.left, word.top, word.right, word.bottom}));
        }
        lines.push_back(
            {{"box", Box(line.left, line.top, line.right, line.bottom)},
             {"baseline", Box(line.baselineX1, line.baselineY1, line.baselineX2, line.baselineY2)},
             {"words", std::move(words)}});
    }
    return {{"width", text.width}, {"height", text.height}, {"lines", std::move(lines)}};
}

PageText PageTextFromJson(const json& value) {
    PageText text;
    text.width = Within(value.at("width"), 1, kMaxSide, "the page width");
    text.height = Within(value.at("height"), 1, kMaxSide, "the page height");
    for (const json& line : value.at("lines")) {
        text.lines.push_back(ReadLine(line, text));
    }
    return text;
}
