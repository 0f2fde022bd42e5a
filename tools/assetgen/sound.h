#pragma once
#include <string>
#include <vector>

namespace assetgen {

// Effect numbers the game loads, and their paths below the data folder.
std::vector<int> soundNumbers();
std::string soundPath(int n);

// Writes sfx/NNN.wav for every effect and, with music, sfx/floating.ogg.
bool writeSounds(const std::string& outDir, bool music);

}  // namespace assetgen
