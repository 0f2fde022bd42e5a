#pragma once
#include <string>
#include <vector>

namespace assetgen {

class Canvas;

struct ImageEntry {
    std::string name;  // path below the data folder, without suffix and ".png"
    int frameW, frameH, frames, columns;  // design sizes
};

// The image sheets the game loads (the default font is separate).
std::vector<ImageEntry> imageTable();

// Writes every sheet in its three resolutions (name.png, name-hd.png,
// name-hd2.png) and brio_font.png. `only` restricts to names containing it.
bool writeImages(const std::string& outDir, const std::string& only);

// Draws frame `frame` of the player sheet ("gfx") into the canvas's current
// 32 x 32 design cell, exactly as the sheet itself shows it.
void drawPlayerFrame(Canvas& c, int frame);

}  // namespace assetgen
