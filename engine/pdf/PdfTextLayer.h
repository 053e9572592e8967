#pragma once

#include "PageText.h"
#include "TextLayerFont.h"

#include <cstdint>
#include <map>
#include <string>

// The invisible text over a page picture, so that the words a page shows can
// be searched, selected and copied. Every character is written as its own
// Unicode value through a font without glyphs (Tesseract's "GlyphLessFont",
// when installed) and a ToUnicode map, so readers give back exactly the
// characters that were recognised, CJK and beyond the Basic Multilingual
// Plane alike. The text is drawn in rendering mode 3 (neither filled nor
// stroked): the page looks exactly as it does without it.

// Where a page picture lies on its PDF page, in points from the page's
// lower-left corner.
struct PictureFrame {
    double left = 0;
    double bottom = 0;
    double width = 0;
    double height = 0;
};

// The text layer of one document: the content of each page's layer, and the
// ToUnicode map of the font they share (TextLayerFont.h).
class TextLayer {
  public:
    // The content stream that draws `text` over a page, the picture it was
    // read from lying at `frame`, through the font resource
    // kTextFontResource; saved and restored around, so its text state leaks
    // into nothing drawn later. Empty when the page holds no text.
    std::string PageContent(const PageText& text, const PictureFrame& frame);

    // The font's ToUnicode map for every code handed out so far: due after
    // the last page's content.
    std::string ToUnicodeMap() const;

  private:
    // The character codes of `text` in hexadecimal, two bytes each.
    std::string Codes(const std::u32string& text);

    // Characters beyond the Basic Multilingual Plane get the codes that
    // surrogates would take, which are no characters themselves.
    std::map<char32_t, uint16_t> beyondBmp_;
};

// The font program of Tesseract's glyphless font; empty when it is not installed.
std::string GlyphlessFontProgram();

// The font's CIDToGIDMap: every code shows the font's empty glyph 1.
std::string TextLayerGlyphMap();
