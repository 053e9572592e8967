#include "PdfTextLayer.h"

#include "OcrLanguages.h"
#include "TextLineLayout.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr const char* kGlyphlessFontFile = "pdf.ttf";

// The code that stands in once every code for characters beyond the Basic
// Multilingual Plane is taken: the replacement character.
constexpr uint16_t kReplacementCode = 0xFFFD;
constexpr char32_t kFirstSurrogate = 0xD800;
constexpr size_t kSurrogateCodes = 0x800;

// A CMap section holds at most 100 entries.
constexpr size_t kMaxCmapEntries = 100;

std::string Number(double value, int decimals = 2) {
    if (std::fabs(value) < 0.5 * std::pow(10.0, -decimals)) {
        value = 0; // never "-0.00"
    }
    char text[64];
    const auto written = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return std::string(text, written.ptr);
}

std::string Hex4(uint32_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(4, '0');
    for (int i = 3; i >= 0; --i) {
        text[static_cast<size_t>(i)] = kDigits[value & 0xF];
        value >>= 4;
    }
    return text;
}

std::string Utf16Hex(char32_t c) {
    if (c < 0x10000) {
        return Hex4(c);
    }
    const char32_t offset = c - 0x10000;
    return Hex4(0xD800 + (offset >> 10)) + Hex4(0xDC00 + (offset & 0x3FF));
}

// Entries of one kind in sections of at most 100.
void AppendSections(std::string& cmap, const char* kind, const std::vector<std::string>& entries) {
    for (size_t first = 0; first < entries.size(); first += kMaxCmapEntries) {
        const size_t count = std::min(kMaxCmapEntries, entries.size() - first);
        cmap += std::to_string(count) + " begin" + kind + "\n";
        for (size_t i = first; i < first + count; ++i) {
            cmap += entries[i] + "\n";
        }
        cmap += std::string("end") + kind + "\n";
    }
}

struct Point {
    double x = 0;
    double y = 0;
};

} // namespace

std::string GlyphlessFontProgram() {
    // Tesseract's glyphless font, when installed; without it readers still
    // find every character through the ToUnicode map.
    std::ifstream in(TessdataFolder() / kGlyphlessFontFile, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string TextLayerGlyphMap() {
    // Every CID shows glyph 1 of the glyphless font, an empty one; glyph 0
    // would do as well, but some readers then refuse to extract the font.
    std::string glyphs(size_t{2} << 16, '\0');
    for (size_t i = 1; i < glyphs.size(); i += 2) {
        glyphs[i] = '\1';
    }
    return glyphs;
}

std::string TextLayer::Codes(const std::u32string& text) {
    std::string codes;
    for (const char32_t c : text) {
        if (c < 0x20 || (c >= 0xD800 && c <= 0xDFFF)) {
            continue; // controls and lone surrogates are no text
        }
        if (c < 0x10000) {
            codes += Hex4(c);
            continue;
        }
        auto found = beyondBmp_.find(c);
        if (found == beyondBmp_.end() && beyondBmp_.size() < kSurrogateCodes) {
            const auto code = static_cast<uint16_t>(kFirstSurrogate + beyondBmp_.size());
            found = beyondBmp_.emplace(c, code).first;
        }
        codes += Hex4(found != beyondBmp_.end() ? found->second : kReplacementCode);
    }
    return codes;
}

std::string TextLayer::PageContent(const PageText& text, const PictureFrame& frame) {
    if (text.lines.empty() || text.width <= 0 || text.height <= 0) {
        return {};
    }
    const double scaleX = frame.width / text.width;
    const double scaleY = frame.height / text.height;
    const auto onPage = [&](double x, double y) {
        return Point{frame.left + x * scaleX, frame.bottom + (text.height - y) * scaleY};
    };

    // Saved and restored around it, so the text state of the layer leaks
    // into nothing drawn later.
    std::string content = "q BT 3 Tr\n";
    for (const RecognizedLine& line : text.lines) {
        const std::vector<TextPiece> pieces = LayOutLine(line);
        if (pieces.empty()) {
            continue;
        }
        const double height = std::max(1, line.bottom - line.top);
        const double fontSize = height * scaleY;
        content += "/" + std::string(kTextFontResource) + " " + Number(fontSize) + " Tf\n";
        // A line that rises less than a quarter of its height is laid flat:
        // readers select level text more reliably, and such a small tilt can
        // make no two lines cross.
        const double run = line.baselineX2 - line.baselineX1;
        const double rise = line.baselineY2 - line.baselineY1;
        const bool level = run <= 0 || std::fabs(rise) <= 0.25 * height;
        const auto baselineAt = [&](double x) {
            return level ? (line.baselineY1 + line.baselineY2) / 2.0
                         : line.baselineY1 + (x - line.baselineX1) * rise / run;
        };
        for (const TextPiece& piece : pieces) {
            const std::string codes = Codes(piece.text);
            const Point from = onPage(piece.start, baselineAt(piece.start));
            const Point to = onPage(piece.end, baselineAt(piece.end));
            const double length = std::hypot(to.x - from.x, to.y - from.y);
            if (codes.empty() || length <= 0) {
                continue;
            }
            const double cos = (to.x - from.x) / length;
            const double sin = (to.y - from.y) / length;
            const double characters = static_cast<double>(codes.size() / 4);
            const double scaling = 100.0 * length * 1000.0 / (characters * kTextCharacterWidth * fontSize);
            content += Number(cos, 4) + " " + Number(sin, 4) + " " + Number(-sin, 4) + " " + Number(cos, 4) +
                       " " + Number(from.x) + " " + Number(from.y) + " Tm " + Number(scaling) + " Tz <" +
                       codes + "> Tj\n";
        }
    }
    content += "ET Q\n";
    return content;
}

std::string TextLayer::ToUnicodeMap() const {
    std::string cmap = "/CIDInit /ProcSet findresource begin\n"
                       "12 dict begin\n"
                       "begincmap\n"
                       "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                       "/CMapName /Adobe-Identity-UCS def\n"
                       "/CMapType 2 def\n"
                       "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    // Every code of the Basic Multilingual Plane stands for itself, one range
    // per high byte (a range may not carry into the byte before its last).
    std::vector<std::string> ranges;
    for (uint32_t high = 0; high <= 0xFF; ++high) {
        if (high >= 0xD8 && high <= 0xDF) {
            continue;
        }
        const std::string first = Hex4(high << 8);
        ranges.push_back("<" + first + "> <" + Hex4((high << 8) | 0xFF) + "> <" + first + ">");
    }
    AppendSections(cmap, "bfrange", ranges);
    std::vector<std::string> characters;
    for (const auto& [character, code] : beyondBmp_) {
        characters.push_back("<" + Hex4(code) + "> <" + Utf16Hex(character) + ">");
    }
    AppendSections(cmap, "bfchar", characters);
    cmap += "endcmap\n"
            "CMapName currentdict /CMap defineresource pop\n"
            "end\n"
            "end\n";
    return cmap;
}
