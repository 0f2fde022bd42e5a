// A small PCM WAV file for the audio paths of the framework tests.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Writes a 16-bit mono square wave of `frames` frames at 22050 Hz; returns the path.
inline std::string WriteTestWav(const std::string& path, int frames = 4410) {
  std::vector<int16_t> pcm(frames);
  for (int i = 0; i < frames; ++i) pcm[i] = (i / 25) % 2 ? 8000 : -8000;
  uint32_t dataBytes = static_cast<uint32_t>(frames * 2);
  auto u32 = [](FILE* f, uint32_t v) { fwrite(&v, 4, 1, f); };
  auto u16 = [](FILE* f, uint16_t v) { fwrite(&v, 2, 1, f); };
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return std::string();
  fwrite("RIFF", 1, 4, f);
  u32(f, 36 + dataBytes);
  fwrite("WAVEfmt ", 1, 8, f);
  u32(f, 16);
  u16(f, 1);
  u16(f, 1);
  u32(f, 22050);
  u32(f, 44100);
  u16(f, 2);
  u16(f, 16);
  fwrite("data", 1, 4, f);
  u32(f, dataBytes);
  fwrite(pcm.data(), 2, pcm.size(), f);
  fclose(f);
  return path;
}
