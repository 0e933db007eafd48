#pragma once
// Text from outside (tags, file names) in the bitmap font's alphabet: capitals,
// digits, "!", ".", ":" and the space. Every script is transliterated to Latin
// capitals (é to E, ß to SS, Кино to KINO); anything the font still lacks
// becomes a space, never a wrong glyph. Bytes that are not UTF-8 are read as
// Latin-1, as old tags are written. Any thread.
#include <string>

std::string FoldToFont(const std::string& text);
