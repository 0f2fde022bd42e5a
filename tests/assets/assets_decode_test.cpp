// Every sound of the data folder decodes through the game's own decoders.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "audio/hx_audio_decode.h"
#include "tools/assetgen/sound.h"

namespace {

const std::string kData = ZELK_DATA_DIR;

struct Decoded {
    unsigned char* data = nullptr;
    int length = 0, channels = 0, format = 0, hertz = 0;
    ~Decoded() { std::free(data); }
};

void decode(const std::string& path, bool ogg, Decoded& d) {
    FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr) << path;
    d.data = ogg ? LoadOGG(f, &d.length, &d.channels, &d.format, &d.hertz)
                 : LoadWAV(f, &d.length, &d.channels, &d.format, &d.hertz);
    std::fclose(f);
}

TEST(AssetDecode, EffectsDecodeAsShortSixteenBitPcm) {
    for (int n : assetgen::soundNumbers()) {
        std::string path = kData + "/" + assetgen::soundPath(n);
        SCOPED_TRACE(path);
        Decoded d;
        decode(path, false, d);
        ASSERT_NE(d.data, nullptr);
        EXPECT_EQ(d.format, 2);
        EXPECT_TRUE(d.channels == 1 || d.channels == 2);
        EXPECT_GT(d.length, d.hertz / 50);
        EXPECT_LT(d.length, d.hertz * 5 / 2);
    }
}

TEST(AssetDecode, MusicDecodesToAboutAMinute) {
    Decoded d;
    decode(kData + "/sfx/floating.ogg", true, d);
    ASSERT_NE(d.data, nullptr);
    EXPECT_EQ(d.format, 2);
    EXPECT_EQ(d.channels, 2);
    EXPECT_GT(d.length, d.hertz * 45);
    EXPECT_LT(d.length, d.hertz * 90);
}

}  // namespace
