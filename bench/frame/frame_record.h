// One swapped frame as the frame probe records it (see frame_probe.cpp).
#pragma once
#include <cstdint>

namespace zelk_bench {

struct FrameRecord {
  int64_t swapStartNs;          // CLOCK_MONOTONIC when the swap was called
  int64_t swapEndNs;            // CLOCK_MONOTONIC when the swap returned
  int64_t renderStartThreadNs;  // main thread CPU at the frame's first GL call
  int64_t swapStartThreadNs;    // main thread CPU when the swap was called
  int64_t swapEndThreadNs;      // main thread CPU when the swap returned
  int64_t swapEndProcessNs;     // whole process CPU when the swap returned
  int32_t drawCalls;            // glDrawArrays + glDrawElements since the last swap
  int32_t textureBinds;         // glBindTexture since the last swap
  int32_t vertices;             // vertices submitted since the last swap
  int32_t blendCalls;           // glBlendFunc since the last swap
  int32_t textureUploads;       // glTexImage2D + glTexSubImage2D since the last swap
  int64_t textureUploadNs;      // wall time spent inside those uploads
  int64_t longestDrawNs;        // wall time of the frame's slowest draw call
};

}  // namespace zelk_bench
