#pragma once
#include <string>
#include <vector>

namespace assetgen {

// Pixel sizes of the application icon (icons/zelk-SIZE.png).
const std::vector<int>& iconSizes();

// Pixel sizes of the browser game's icons (icons/zelk-SIZE.png too), and of
// its full-bleed icon for launchers that cut icons to a shape of their own
// (icons/zelk-maskable-SIZE.png).
const std::vector<int>& webIconSizes();
int maskableIconSize();

// Writes icons/zelk-SIZE.png for every size and icons/zelk.ico holding all
// of them (the desktop sizes only), then the browser game's icons, creating
// outDir/icons when needed. The icon is the player
// creature from the gfx sheet on a small night-sky tile. `only` restricts
// as for writeImages (the name is "icons").
bool writeIcons(const std::string& outDir, const std::string& only);

}  // namespace assetgen
