// WAV and Ogg Vorbis decoding from real files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "audio/hx_audio_decode.h"
#include "tests/audio/hx_test_sounds.h"

#define STB_VORBIS_HEADER_ONLY
#include <stb/stb_vorbis.h>

namespace {

struct Decoded {
  unsigned char* data = nullptr;
  int length = -7, channels = -7, format = -7, hertz = -7;
  ~Decoded() { free(data); }
};

FILE* OpenBytes(const Bytes& bytes) {
  FILE* f = tmpfile();
  if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f);
  rewind(f);
  return f;
}

void DecodeWith(unsigned char* (*fn)(FILE*, int*, int*, int*, int*), const Bytes& bytes, Decoded& d) {
  FILE* f = OpenBytes(bytes);
  d.data = fn(f, &d.length, &d.channels, &d.format, &d.hertz);
  fclose(f);
}

Bytes Ones(size_t n) { return Bytes(n, 0x5a); }

Bytes Fmt(uint32_t length, uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
  WavBuilder w;
  w.fmt(length, tag, channels, rate, bits);
  return w.bytes;
}
// The 16 standard bytes of a fmt chunk, without its header.
Bytes FmtBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
  Bytes f = Fmt(16, tag, channels, rate, bits);
  return Bytes(f.begin() + 8, f.end());
}
Bytes Chunk(const char* tag, const Bytes& body) {
  WavBuilder w;
  w.chunk(tag, body);
  return w.bytes;
}
Bytes Header(const char* tag, uint32_t size) {
  WavBuilder w;
  w.tag(tag).u32(size);
  return w.bytes;
}
Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

struct WavCase {
  const char* name;
  Bytes file;
  bool loads;
  int length, channels, format, hertz;
  size_t dataBytes;  // size of the returned block (checked against the data chunk)
};

std::vector<WavCase> WavCases() {
  const Bytes mono8 = Fmt(16, 1, 1, 22050, 8);
  const Bytes stereo16 = Fmt(16, 1, 2, 44100, 16);
  return {
      {"Mono8Bit1000Bytes", WavFile(Cat({mono8, Chunk("data", Ones(1000))})), true, 1000, 1, 1, 22050, 1000},
      {"Stereo16Bit1000Bytes", WavFile(Cat({stereo16, Chunk("data", Ones(1000))})), true, 250, 2, 2, 44100, 1000},
      {"FmtChunkOf18Bytes", WavFile(Cat({Fmt(18, 1, 1, 8000, 16), Chunk("data", Ones(100))})), true, 50, 1, 2, 8000, 100},
      {"ListChunkSkipped", WavFile(Cat({mono8, Chunk("LIST", Ones(26)), Chunk("data", Ones(10))})), true, 10, 1, 1, 22050, 10},
      {"OddListChunkWithPadByte", WavFile(Cat({mono8, Chunk("LIST", Ones(5)), Bytes{0}, Chunk("data", Ones(10))})), true, 10, 1, 1, 22050, 10},
      {"OddListChunkWithoutPadByte", WavFile(Cat({mono8, Chunk("LIST", Ones(5)), Chunk("data", Ones(10))})), true, 10, 1, 1, 22050, 10},
      {"OddDataSizeRoundedDown", WavFile(Cat({stereo16, Chunk("data", Ones(1001))})), true, 250, 2, 2, 44100, 1001},
      {"EmptyDataChunk", WavFile(Cat({mono8, Chunk("data", {})})), true, 0, 1, 1, 22050, 0},
      {"FirstDataChunkWins", WavFile(Cat({mono8, Chunk("data", Ones(4)), Chunk("data", Ones(8))})), true, 4, 1, 1, 22050, 4},
      {"JunkBeforeFmt", WavFile(Cat({Chunk("JUNK", Ones(8)), mono8, Chunk("data", Ones(10))})), false, 0, 0, 0, 0, 0},
      {"FloatFormatTag", WavFile(Cat({Fmt(16, 3, 1, 22050, 32), Chunk("data", Ones(16))})), false, 0, 0, 0, 0, 0},
      {"ExtensibleFormatTag", WavFile(Cat({Fmt(40, 0xFFFE, 2, 44100, 16), Chunk("data", Ones(16))})), false, 0, 0, 0, 0, 0},
      {"ZeroChannels", WavFile(Cat({Fmt(16, 1, 0, 22050, 8), Chunk("data", Ones(16))})), false, 0, 0, 0, 0, 0},
      {"ZeroBits", WavFile(Cat({Fmt(16, 1, 1, 22050, 0), Chunk("data", Ones(16))})), false, 0, 0, 0, 0, 0},
      {"FourBits", WavFile(Cat({Fmt(16, 1, 1, 22050, 4), Chunk("data", Ones(16))})), false, 0, 0, 0, 0, 0},
      {"ZeroRate", WavFile(Cat({Fmt(16, 1, 1, 0, 8), Chunk("data", Ones(16))})), false, 0, 0, 0, 0, 0},
      {"FmtChunkTooShort", WavFile(Cat({Header("fmt ", 8), Bytes{1, 0, 1, 0, 0x22, 0x56, 0, 0}, Chunk("data", Ones(16))})), false, 0, 0, 0, 0, 0},
      {"FmtCutShort", WavFile(Cat({Header("fmt ", 16), Bytes{1, 0, 1, 0}})), false, 0, 0, 0, 0, 0},
      {"FmtLengthBeyondFile", WavFile(Cat({Header("fmt ", 0x7fffff00u), FmtBody(1, 1, 22050, 8), Chunk("data", Ones(4))})), false, 0, 0, 0, 0, 0},
      {"NoDataChunk", WavFile(Cat({mono8, Chunk("LIST", Ones(8))})), false, 0, 0, 0, 0, 0},
      {"DataCutShort", WavFile(Cat({mono8, Header("data", 1000), Ones(999)})), false, 0, 0, 0, 0, 0},
      {"DataSizeNearTwoGigabytes", WavFile(Cat({mono8, Header("data", 0x7ffffff0u), Ones(64)})), false, 0, 0, 0, 0, 0},
      {"DataSizeNegative", WavFile(Cat({mono8, Header("data", 0xfffffff0u), Ones(64)})), false, 0, 0, 0, 0, 0},
      {"ListSizeNearTwoGigabytes", WavFile(Cat({mono8, Header("LIST", 0x7ffffff0u), Chunk("data", Ones(8))})), false, 0, 0, 0, 0, 0},
      {"ListSizeNegative", WavFile(Cat({mono8, Header("LIST", 0xffffffffu), Chunk("data", Ones(8))})), false, 0, 0, 0, 0, 0},
      {"CutInsideChunkHeader", WavFile(Cat({mono8, Bytes{'d', 'a', 't', 'a', 10}})), false, 0, 0, 0, 0, 0},
      {"NotRiff", [] { Bytes b = PcmWav(1, 8, 22050, Ones(10)); b[3] = 'X'; return b; }(), false, 0, 0, 0, 0, 0},
      {"NotWave", [] { Bytes b = PcmWav(1, 8, 22050, Ones(10)); b[8] = 'A'; return b; }(), false, 0, 0, 0, 0, 0},
      {"EmptyFile", {}, false, 0, 0, 0, 0, 0},
      {"OnlyRiffTag", {'R', 'I', 'F', 'F'}, false, 0, 0, 0, 0, 0},
  };
}

TEST(AudioDecodeWav, Table) {
  for (const WavCase& c : WavCases()) {
    SCOPED_TRACE(c.name);
    Decoded d;
    DecodeWith(LoadWAV, c.file, d);
    if (!c.loads) {
      EXPECT_EQ(d.data, nullptr);
      EXPECT_EQ(d.length, -7) << "outputs are left alone on failure";
      continue;
    }
    ASSERT_NE(d.data, nullptr);
    EXPECT_EQ(d.length, c.length);
    EXPECT_EQ(d.channels, c.channels);
    EXPECT_EQ(d.format, c.format);
    EXPECT_EQ(d.hertz, c.hertz);
    for (size_t i = 0; i < c.dataBytes; ++i) ASSERT_EQ(d.data[i], 0x5a) << "byte " << i;
  }
}

TEST(AudioDecodeWav, SamplesComeThroughUnchanged) {
  Bytes pcm = SineBytes(2, 16, 44100, 440, 0.05, 0.8);
  Decoded d;
  DecodeWith(LoadWAV, PcmWav(2, 16, 44100, pcm), d);
  ASSERT_NE(d.data, nullptr);
  EXPECT_EQ(d.length, static_cast<int>(pcm.size() / 4));
  EXPECT_EQ(0, memcmp(d.data, pcm.data(), pcm.size()));
}

// A size field that lies about a body the stream does not hold: on a pipe
// the reader cannot measure the file, and must still give up cleanly after
// reading what is there.
TEST(AudioDecodeWav, LyingSizeOnAPipe) {
  Bytes file = WavFile(Cat({Fmt(16, 1, 1, 22050, 8), Header("data", 0x7ffffff0u), Ones(3000)}));
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  ASSERT_EQ(write(fds[1], file.data(), file.size()), static_cast<ssize_t>(file.size()));
  close(fds[1]);
  FILE* f = fdopen(fds[0], "rb");
  Decoded d;
  d.data = LoadWAV(f, &d.length, &d.channels, &d.format, &d.hertz);
  fclose(f);
  EXPECT_EQ(d.data, nullptr);
}

TEST(AudioDecodeOgg, MonoFile) {
  Bytes ogg = OggSine(1, 22050, 440, 0.5);
  ASSERT_GT(ogg.size(), 100u);
  Decoded d;
  DecodeWith(LoadOGG, ogg, d);
  ASSERT_NE(d.data, nullptr);
  EXPECT_EQ(d.channels, 1);
  EXPECT_EQ(d.format, 2);
  EXPECT_EQ(d.hertz, 22050);
  EXPECT_EQ(d.length, 11025);
  // The tone survives: peaks near the encoded amplitude of 0.5.
  const short* s = reinterpret_cast<const short*>(d.data);
  int peak = 0;
  for (int i = 0; i < d.length; ++i) peak = std::max(peak, std::abs(static_cast<int>(s[i])));
  EXPECT_GT(peak, 12000);
  EXPECT_LT(peak, 20000);
}

TEST(AudioDecodeOgg, LongerStereoFileGrowsTheBuffer) {
  Bytes ogg = OggSine(2, 44100, 330, 3.0);
  Decoded d;
  DecodeWith(LoadOGG, ogg, d);
  ASSERT_NE(d.data, nullptr);
  EXPECT_EQ(d.channels, 2);
  EXPECT_EQ(d.format, 2);
  EXPECT_EQ(d.hertz, 44100);
  EXPECT_EQ(d.length, 3 * 44100);
  const short* s = reinterpret_cast<const short*>(d.data);
  const int mid = d.length / 2;
  EXPECT_NEAR(s[2 * mid], s[2 * mid + 1], 2) << "both channels carry the same tone";
}

TEST(AudioDecodeOgg, DamagedFilesGiveNull) {
  const Bytes ogg = OggSine(1, 22050, 440, 1.0);
  ASSERT_GT(ogg.size(), 4000u);
  std::vector<std::pair<std::string, Bytes>> cases = {
      {"empty", {}},
      {"garbage", Bytes(5000, 0xa7)},
      {"a WAV file", PcmWav(1, 8, 22050, Ones(2000))},
      {"first 30 bytes", Bytes(ogg.begin(), ogg.begin() + 30)},
      {"headers only", Bytes(ogg.begin(), ogg.begin() + 3500)},
      {"cut in the middle (of the setup header)", Bytes(ogg.begin(), ogg.begin() + ogg.size() / 2)},
  };
  // Length fields of the comment header (second page) that lie.
  auto patchComment = [&](size_t offset, uint32_t value) {
    Bytes b = ogg;
    size_t page2 = 4;
    while (memcmp(&b[page2], "OggS", 4) != 0) ++page2;
    size_t body = page2 + 27 + b[page2 + 26];
    for (int i = 0; i < 4; ++i) b[body + offset + i] = static_cast<unsigned char>(value >> (8 * i));
    return b;
  };
  cases.push_back({"vendor length -1", patchComment(7, 0xffffffffu)});
  cases.push_back({"vendor length past the packet", patchComment(7, 0x00100000u)});
  {
    Bytes b = patchComment(7, 0);  // empty vendor text: the comment count follows at once
    size_t page2 = 4;
    while (memcmp(&b[page2], "OggS", 4) != 0) ++page2;
    size_t body = page2 + 27 + b[page2 + 26];
    for (int i = 0; i < 4; ++i) b[body + 11 + i] = 0xff;
    cases.push_back({"comment count -1", b});
    b[body + 14] = 0x20;
    cases.push_back({"comment count huge", b});
  }
  Bytes flipped = ogg;
  for (size_t i = 200; i < flipped.size(); i += 97) flipped[i] ^= 0x55;
  cases.push_back({"bits flipped", flipped});
  for (auto& c : cases) {
    SCOPED_TRACE(c.first);
    Decoded d;
    DecodeWith(LoadOGG, c.second, d);
    EXPECT_EQ(d.data, nullptr);
  }
}

// Streams that are valid but unusual, and streams cut short after their
// headers, load with exactly the samples the decoder produces from them:
// the same as decoding the file in memory with the decoder's own API.
TEST(AudioDecodeOgg, UnusualStreamsLoadWhatDecodes) {
  const Bytes ogg = OggSine(2, 44100, 330, 3.0);
  const std::vector<OggPage> pages = OggPages(ogg);
  ASSERT_GE(pages.size(), 4u) << "headers and at least two audio pages";
  const size_t secondAudioPage = pages[3].offset;
  const int whole = 3 * 44100;
  struct Case {
    std::string name;
    Bytes file;
    int length;  // 0: fewer samples than the whole stream, but some
  };
  std::vector<Case> cases = {
      {"sample positions start at +4096", OggShiftGranules(ogg, 4096), whole},
      {"sample positions start at -500", OggShiftGranules(ogg, -500), whole},
      {"sample positions of a cut from a long stream", OggShiftGranules(ogg, 10000000), whole},
      {"cut at a page boundary", Bytes(ogg.begin(), ogg.begin() + secondAudioPage), 0},
      {"cut inside an audio page", Bytes(ogg.begin(), ogg.begin() + secondAudioPage + 1000), 0},
      {"last byte missing", Bytes(ogg.begin(), ogg.end() - 1), whole},
      {"1 MB comment (cover art)", OggSine(2, 44100, 330, 3.0, 1 << 20), whole},
      {"8 MB comment (cover art)", OggSine(2, 44100, 330, 3.0, 8 << 20), whole},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int refChannels = 0, refRate = 0;
    short* ref = nullptr;
    const int refLength = stb_vorbis_decode_memory(c.file.data(), static_cast<int>(c.file.size()),
                                                   &refChannels, &refRate, &ref);
    Decoded d;
    DecodeWith(LoadOGG, c.file, d);
    if (!d.data) {
      ADD_FAILURE() << "not loaded; the decoder gives " << refLength << " samples";
      free(ref);
      continue;
    }
    EXPECT_EQ(d.channels, 2);
    EXPECT_EQ(d.format, 2);
    EXPECT_EQ(d.hertz, 44100);
    if (c.length > 0) {
      EXPECT_EQ(d.length, c.length);
    } else {
      EXPECT_GT(d.length, 0);
      EXPECT_LT(d.length, whole);
    }
    EXPECT_EQ(d.length, refLength);
    if (d.length == refLength && ref) {
      EXPECT_EQ(memcmp(d.data, ref, static_cast<size_t>(refLength) * 2 * sizeof(short)), 0);
    }
    free(ref);
  }
}

// A comment header that cannot fit the decoder's bounded working memory
// fails the load instead of growing it.
TEST(AudioDecodeOgg, CommentBeyondTheDecoderMemoryGivesNull) {
  Decoded d;
  DecodeWith(LoadOGG, OggSine(1, 22050, 440, 0.2, 17 << 20), d);
  EXPECT_EQ(d.data, nullptr);
}

TEST(AudioDecodeFile, ExtensionPicksTheDecoderIgnoringCase) {
  const Bytes wav = PcmWav(1, 8, 22050, Ones(100));
  const Bytes ogg = OggSine(1, 22050, 440, 0.2);
  struct Case {
    const char* path;
    const Bytes* file;
    int channels;  // 0: null expected
    int format;
  } cases[] = {
      {"sfx/SOUND.WAV", &wav, 1, 1}, {"a.wav", &wav, 1, 1},        {"Music.OGG", &ogg, 1, 2},
      {"m.Ogg", &ogg, 1, 2},         {"a.ogg", &wav, 0, 0},        {"a.wav", &ogg, 0, 0},
      {"song.mp3", &ogg, 0, 0},      {"noextension", &wav, 0, 0},  {"wav", &wav, 0, 0},
      {"a.wav.bak", &wav, 0, 0},     {"", &wav, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    FILE* f = OpenBytes(*c.file);
    Decoded d;
    d.data = hx_decode_audio_file(f, String(c.path), &d.length, &d.channels, &d.format, &d.hertz);
    if (c.channels == 0) {
      EXPECT_EQ(d.data, nullptr);
    } else {
      ASSERT_NE(d.data, nullptr);
      EXPECT_EQ(d.channels, c.channels);
      EXPECT_EQ(d.format, c.format);
    }
    fclose(f);
  }
  Decoded d;
  EXPECT_EQ(hx_decode_audio_file(nullptr, String("a.wav"), &d.length, &d.channels, &d.format, &d.hertz),
            nullptr);
}

}  // namespace

namespace {

// The fuzzer's seeds, including inputs that once broke the decoders, go
// through both decoders here too (and so under the sanitizers).
TEST(AudioDecodeCorpus, EverySeedDecodesOrFailsCleanly) {
  const std::string dir = ZELK_FUZZ_CORPUS;
  int seen = 0;
  for (const char* name : {"mono8.wav", "stereo16.wav", "list18.wav", "mono.ogg", "stereo.ogg",
                           "regress-comment-list.ogg", "regress-setup-leak.ogg",
                           "regress-codebook-dims.ogg", "regress-copy-samples-int-overflow.ogg",
                           "regress-sample-rate-over-int.ogg"}) {
    SCOPED_TRACE(name);
    FILE* f = fopen((dir + "/" + name).c_str(), "rb");
    ASSERT_NE(f, nullptr);
    ++seen;
    for (auto decode : {LoadWAV, LoadOGG}) {
      rewind(f);
      Decoded d;
      d.data = decode(f, &d.length, &d.channels, &d.format, &d.hertz);
      if (d.data) {
        // What decodes has a shape a device can play.
        EXPECT_GE(d.length, 0);
        EXPECT_GT(d.channels, 0);
        EXPECT_GT(d.format, 0);
        EXPECT_GT(d.hertz, 0);
      }
    }
    fclose(f);
  }
  EXPECT_EQ(seen, 10);
}

}  // namespace
