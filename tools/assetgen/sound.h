#pragma once
#include <string>
#include <vector>

namespace assetgen {

// Effect numbers the game loads, and their paths below the data folder.
std::vector<int> soundNumbers();
std::string soundPath(int n);

// The loudness meter used to master the sounds: K-weighted (the loudness
// meter's pre-filter), the mean square of the loudest window, in dB
// relative to full scale (a full-scale 1 kHz sine reads -2.3 dB). A sound
// shorter than the window is measured as if followed by silence.
double loudnessDb(const std::vector<float>& mono, int rate, double window = 0.1);
// One channel of interleaved samples through the meter's pre-filter.
std::vector<double> kWeighted(const std::vector<float>& x, int rate, int channels, int channel);

// An effect as it is written: synthesised, then mastered to its loudness
// under the common peak ceiling; floats at 22050 Hz, mono.
std::vector<float> effectSamples(int n);

// Writes sfx/NNN.wav for every effect and, with music, sfx/floating.ogg.
bool writeSounds(const std::string& outDir, bool music);

}  // namespace assetgen
