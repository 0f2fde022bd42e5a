#pragma once
#include <string>
#include <vector>

namespace assetgen {
// Rows of the pixel-font glyph for a printable ASCII code ('#' = ink);
// empty for codes without a glyph (space, control codes).
std::vector<std::string> glyphRows(int code);
}  // namespace assetgen
