#pragma once

#include <string>

namespace metafile {

// Fonts whose letters are pictures: a metafile written on Windows stores the
// character codes (e.g. 'l' for a bullet in Wingdings), which in any other
// font show as Latin letters.
enum class SymbolFont { None, Symbol, Wingdings };

// Which symbol font a face name asks for (Symbol, Wingdings, Webdings and
// their numbered variants), matched without regard to case.
SymbolFont SymbolFontOf(const std::string& face);

// The Unicode character that shows what `code` (0x20..0xFF, or the same in
// the private-use block 0xF020..0xF0FF where symbol fonts keep them) looks
// like in `font`, so that any font with that character draws it. Codes
// without an equivalent come back unchanged.
char32_t SymbolToUnicode(SymbolFont font, char32_t code);

} // namespace metafile
