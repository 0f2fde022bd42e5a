#include "tests/audio/hx_test_sounds.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <vorbis/vorbisenc.h>

WavBuilder& WavBuilder::tag(const char* t) {
  bytes.insert(bytes.end(), t, t + 4);
  return *this;
}
WavBuilder& WavBuilder::u32(uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>(v >> (8 * i)));
  return *this;
}
WavBuilder& WavBuilder::u16(uint16_t v) {
  bytes.push_back(static_cast<unsigned char>(v));
  bytes.push_back(static_cast<unsigned char>(v >> 8));
  return *this;
}
WavBuilder& WavBuilder::raw(const Bytes& b) {
  bytes.insert(bytes.end(), b.begin(), b.end());
  return *this;
}
WavBuilder& WavBuilder::zeros(size_t n) {
  bytes.insert(bytes.end(), n, 0);
  return *this;
}
WavBuilder& WavBuilder::fmt(uint32_t length, uint16_t formatTag, uint16_t channels, uint32_t rate,
                            uint16_t bits) {
  tag("fmt ").u32(length).u16(formatTag).u16(channels).u32(rate);
  u32(rate * channels * (bits / 8)).u16(static_cast<uint16_t>(channels * (bits / 8))).u16(bits);
  if (length > 16) zeros(length - 16);
  return *this;
}
WavBuilder& WavBuilder::chunk(const char* t, const Bytes& body) {
  tag(t).u32(static_cast<uint32_t>(body.size()));
  return raw(body);
}

Bytes WavFile(const Bytes& chunks) {
  WavBuilder w;
  w.tag("RIFF").u32(static_cast<uint32_t>(chunks.size() + 4)).tag("WAVE").raw(chunks);
  return w.bytes;
}

Bytes PcmWav(int channels, int bits, int rate, const Bytes& data) {
  WavBuilder w;
  w.fmt(16, 1, static_cast<uint16_t>(channels), static_cast<uint32_t>(rate),
        static_cast<uint16_t>(bits))
      .chunk("data", data);
  return WavFile(w.bytes);
}

Bytes SineBytes(int channels, int bits, int rate, double hz, double seconds, double amplitude) {
  Bytes out;
  int frames = static_cast<int>(rate * seconds);
  for (int i = 0; i < frames; ++i) {
    double v = amplitude * std::sin(2 * M_PI * hz * i / rate);
    for (int c = 0; c < channels; ++c) {
      if (bits == 8) {
        out.push_back(static_cast<unsigned char>(128 + std::lround(v * 127)));
      } else {
        int s = static_cast<int>(std::lround(v * 32767));
        out.push_back(static_cast<unsigned char>(s & 0xff));
        out.push_back(static_cast<unsigned char>((s >> 8) & 0xff));
      }
    }
  }
  return out;
}

namespace {
void AppendPage(Bytes& out, const ogg_page& page) {
  out.insert(out.end(), page.header, page.header + page.header_len);
  out.insert(out.end(), page.body, page.body + page.body_len);
}
}  // namespace

Bytes OggSine(int channels, int rate, double hz, double seconds, size_t commentBytes) {
  Bytes out;
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, channels, rate, 0.1f) != 0) {
    vorbis_info_clear(&vi);
    return out;
  }
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_dsp_state vd;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block vb;
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, 1234);
  ogg_packet header, comm, code;
  vorbis_analysis_headerout(&vd, &vc, &header, &comm, &code);
  ogg_stream_packetin(&os, &header);
  // A large comment is written here rather than by libvorbis, whose packet
  // writer grows its buffer 256 bytes at a time (quadratic in the size).
  Bytes comment;
  if (commentBytes > 0 && comm.bytes >= 11) {
    // Type, "vorbis" and the vendor text of the encoder's own packet, then
    // one comment and the framing bit.
    const size_t vendor = 11 + (comm.packet[7] | comm.packet[8] << 8 | comm.packet[9] << 16 |
                                static_cast<size_t>(comm.packet[10]) << 24);
    if (vendor + 5 <= static_cast<size_t>(comm.bytes)) {
      const std::string tag = "METADATA_BLOCK_PICTURE=";
      const size_t n = commentBytes > tag.size() ? commentBytes : tag.size();
      comment.assign(comm.packet, comm.packet + vendor);
      for (uint32_t v : {1u, static_cast<uint32_t>(n)})
        for (int i = 0; i < 4; ++i) comment.push_back(static_cast<unsigned char>(v >> (8 * i)));
      comment.insert(comment.end(), tag.begin(), tag.end());
      comment.insert(comment.end(), n - tag.size(), 'Q');
      comment.push_back(1);
      comm.packet = comment.data();
      comm.bytes = static_cast<long>(comment.size());
    }
  }
  ogg_stream_packetin(&os, &comm);
  ogg_stream_packetin(&os, &code);
  ogg_page og;
  while (ogg_stream_flush(&os, &og)) AppendPage(out, og);

  const int total = static_cast<int>(rate * seconds);
  const int block = 1024;
  int done = 0;
  bool eos = false;
  while (!eos) {
    int n = total - done < block ? total - done : block;
    if (n > 0) {
      float** buf = vorbis_analysis_buffer(&vd, n);
      for (int i = 0; i < n; ++i) {
        float v = static_cast<float>(0.5 * std::sin(2 * M_PI * hz * (done + i) / rate));
        for (int c = 0; c < channels; ++c) buf[c][i] = v;
      }
      vorbis_analysis_wrote(&vd, n);
      done += n;
    } else {
      vorbis_analysis_wrote(&vd, 0);
    }
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      ogg_packet op;
      while (vorbis_bitrate_flushpacket(&vd, &op)) {
        ogg_stream_packetin(&os, &op);
        while (ogg_stream_pageout(&os, &og)) {
          AppendPage(out, og);
          if (ogg_page_eos(&og)) eos = true;
        }
      }
    }
    if (n <= 0 && !eos) {
      while (ogg_stream_flush(&os, &og)) {
        AppendPage(out, og);
        if (ogg_page_eos(&og)) eos = true;
      }
      if (!eos) break;
    }
  }
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return out;
}

std::vector<OggPage> OggPages(const Bytes& ogg) {
  std::vector<OggPage> pages;
  size_t at = 0;
  while (at + 27 <= ogg.size() && memcmp(&ogg[at], "OggS", 4) == 0) {
    const size_t segments = ogg[at + 26];
    if (at + 27 + segments > ogg.size()) break;
    size_t size = 27 + segments;
    for (size_t i = 0; i < segments; ++i) size += ogg[at + 27 + i];
    if (at + size > ogg.size()) break;
    uint64_t g = 0;
    for (int i = 7; i >= 0; --i) g = g << 8 | ogg[at + 6 + i];
    pages.push_back({at, size, static_cast<int64_t>(g)});
    at += size;
  }
  return pages;
}

Bytes OggShiftGranules(const Bytes& ogg, int64_t delta) {
  Bytes out = ogg;
  for (const OggPage& p : OggPages(ogg)) {
    // Header pages sit at position 0; -1 marks a page on which no packet ends.
    if (p.granule <= 0) continue;
    const uint64_t g = static_cast<uint64_t>(p.granule + delta);
    for (int i = 0; i < 8; ++i) out[p.offset + 6 + i] = static_cast<unsigned char>(g >> (8 * i));
    ogg_page page;
    const size_t header = 27 + out[p.offset + 26];
    page.header = &out[p.offset];
    page.header_len = static_cast<long>(header);
    page.body = &out[p.offset + header];
    page.body_len = static_cast<long>(p.size - header);
    ogg_page_checksum_set(&page);
  }
  return out;
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}
