#pragma once
#include <string>
#include <vector>

namespace assetgen {

// Pixel sizes of the application icon (icons/zelk-SIZE.png).
const std::vector<int>& iconSizes();

// Writes icons/zelk-SIZE.png for every size and icons/zelk.ico holding all
// of them, creating outDir/icons when needed. The icon is the player
// creature from the gfx sheet on a small night-sky tile. `only` restricts
// as for writeImages (the name is "icons").
bool writeIcons(const std::string& outDir, const std::string& only);

}  // namespace assetgen
