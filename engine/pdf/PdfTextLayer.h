#pragma once

#include "PageText.h"

#include <hpdf.h>

#include <cstdint>
#include <map>

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

// The text layer font of one document, made when the first page needs it.
// libharu only writes fonts it has loaded itself, so this one is put
// together from the library's own objects.
class TextLayerFont {
  public:
    explicit TextLayerFont(HPDF_Doc pdf) : pdf_(pdf) {}
    TextLayerFont(const TextLayerFont&) = delete;
    TextLayerFont& operator=(const TextLayerFont&) = delete;

    // Draws `text` over `page`, after everything drawn so far, the picture it
    // was read from lying at `frame`. HPDF_OK, or the library's error code.
    HPDF_STATUS Draw(HPDF_Page page, const PageText& text, const PictureFrame& frame);

    // Completes the font's ToUnicode map; due once, after the last page and
    // before the document is saved. HPDF_OK, or the library's error code.
    HPDF_STATUS Finish();

  private:
    HPDF_STATUS Create();
    HPDF_STATUS AddToResources(HPDF_Page page);
    // The character codes of `text` in hexadecimal, two bytes each.
    std::string Codes(const std::u32string& text);

    HPDF_Doc pdf_;
    HPDF_Dict font_ = nullptr;
    HPDF_Dict toUnicode_ = nullptr;
    // Characters beyond the Basic Multilingual Plane get the codes that
    // surrogates would take, which are no characters themselves.
    std::map<char32_t, uint16_t> beyondBmp_;
    bool finished_ = false;
};
