#pragma once
// Text from outside (tags, file names) in the bitmap font's alphabet: capitals,
// digits, "!", ".", ":" and the space. Letters fold to the nearest capital
// (é to E, ß to SS); anything else becomes a space, never a wrong glyph.
// Bytes that are not UTF-8 are read as Latin-1, as old tags are written.
#include <string>

std::string FoldToFont(const std::string& text);
