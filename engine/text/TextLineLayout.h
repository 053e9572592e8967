#pragma once

#include "PageText.h"

#include <string>
#include <vector>

// How a recognised line becomes invisible text that copies and searches as
// the line reads. Chinese and Japanese are written without spaces, so their
// characters are joined; words of alphabetic scripts (Korean included, which
// spaces its words too) keep a space between them, and so does a CJK run
// beside a Latin word. Numbers and punctuation cling to the CJK text beside
// them ("2024年", "（注）"), as they do in print.
//
// Each piece covers the page from where its word begins to where the next
// one begins, without gaps: a reader that finds a gap between two glyphs
// takes it for a space, which is the very fault to avoid between CJK
// characters. The space between two words is a real space character, so
// every reader finds it.

// One piece of a line's text, to be spread evenly from `start` to `end`
// (page-picture pixels, measured along the line from the page's left edge).
struct TextPiece {
    std::u32string text;
    double start = 0;
    double end = 0;
};

// True when no space belongs between a word ending in `before` and one
// beginning with `after`.
bool JoinsWithoutSpace(char32_t before, char32_t after);

// The pieces of `line`, left to right, each at least a little wide, each
// beginning where the one before it ends. Words whose text is not UTF-8 are
// left out.
std::vector<TextPiece> LayOutLine(const RecognizedLine& line);
