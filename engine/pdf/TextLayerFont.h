#pragma once

// The font without glyphs that carries a page's invisible text: what the
// text's content streams (PdfTextLayer.h) and the font's objects (written by
// QpdfWriter.h) must agree on. Every character is half an em wide; the
// horizontal scaling of each piece of text stretches its characters to the
// width the picture gives them. The font size is a line's height; the
// baseline sits a fifth of it above the line's bottom, as in most typefaces.
inline constexpr const char* kTextFontResource = "QmText";
inline constexpr const char* kTextFontName = "GlyphLessFont";
inline constexpr int kTextCharacterWidth = 500;
inline constexpr int kTextAscent = 800;
inline constexpr int kTextDescent = -200;
