// The data folder: every file the game loads exists, decodes, and has the
// frame grid its loader cuts; and the generator reproduces it exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include <stb/stb_image.h>
#define STB_VORBIS_HEADER_ONLY
#include <stb/stb_vorbis.h>

#include "tools/assetgen/icons.h"
#include "tools/assetgen/images.h"
#include "tools/assetgen/sound.h"

namespace fs = std::filesystem;

namespace {

const std::string kData = ZELK_DATA_DIR;

// The game's image loader table: design frame size and frame count.
struct LoadedImage {
    const char* name;
    int w, h, frames;
};
const LoadedImage kImages[] = {
    {"common/icons", 32, 32, 16},   {"common/Buttons", 64, 64, 16},       {"common/dpad", 32, 32, 16},
    {"common/VELDLogo", 256, 256, 1}, {"common/Testcard_Circle", 256, 256, 1}, {"fonts/editundo", 16, 16, 128},
    {"menu", 256, 256, 4},          {"logo", 256, 128, 1},                {"parts", 8, 8, 256},
    {"BadgesA", 64, 64, 64},        {"gfx", 32, 32, 64},                  {"bricks", 128, 32, 16},
    {"gfx2", 32, 32, 64},           {"heart", 32, 32, 1},
};

struct Resolution {
    const char* suffix;
    int divisor;
};
const Resolution kResolutions[] = {{"", 1}, {"-hd", 2}, {"-hd2", 4}};

struct Pixels {
    int w = 0, h = 0;
    std::unique_ptr<unsigned char, void (*)(void*)> data{nullptr, stbi_image_free};
    unsigned alpha(int x, int y) const { return data.get()[(static_cast<size_t>(y) * w + x) * 4 + 3]; }
};

Pixels loadRgba(const std::string& path) {
    Pixels p;
    int n = 0;
    p.data.reset(stbi_load(path.c_str(), &p.w, &p.h, &n, 4));
    return p;
}

// Frame origins exactly as the grid loader places them (row by row, a new
// row when the next frame would pass the right edge); empty when a frame
// falls outside the surface.
std::vector<std::pair<int, int>> gridFrames(int sw, int sh, int fw, int fh, int count) {
    std::vector<std::pair<int, int>> out;
    int cx = 0, cy = 0;
    for (int i = 0; i < count; ++i) {
        if (cx + fw > sw) {
            cy += fh;
            if (fw > sw) return {};
            cx = 0;
        }
        if (cy + fh > sh) return {};
        out.push_back({cx, cy});
        cx += fw;
    }
    return out;
}

bool frameHasInk(const Pixels& p, int x0, int y0, int fw, int fh) {
    for (int y = y0; y < y0 + fh; ++y)
        for (int x = x0; x < x0 + fw; ++x)
            if (p.alpha(x, y) > 0) return true;
    return false;
}

// Frames the game draws; each must hold a picture in every resolution.
std::vector<int> shownFrames(const std::string& name, int frames) {
    std::vector<int> all;
    for (int i = 0; i < frames; ++i) all.push_back(i);
    if (name == "gfx" || name == "gfx2") {
        std::vector<int> f;
        for (int block : {0, 16, 32, 48}) {
            if (name == "gfx" && (block == 16 || block == 48)) continue;
            for (int k : {0, 1, 2, 3, 4, 8, 9, 10, 11, 15}) f.push_back(block + k);
        }
        return f;
    }
    if (name == "common/icons") return {0, 1, 3, 6};
    if (name == "common/Buttons") return {0, 8, 9, 10, 12};
    if (name == "common/dpad") return {0};
    if (name == "menu") return {0};
    if (name == "BadgesA") return {0};
    if (name == "fonts/editundo") {
        std::vector<int> f;
        for (int k = 1; k <= 94; ++k) f.push_back(k);  // '!' .. '~'
        for (int k = 96; k <= 108; ++k) f.push_back(k);
        for (int k = 112; k <= 124; ++k) f.push_back(k);
        return f;
    }
    return all;
}

TEST(AssetImages, EveryLoaderImageHasItsGridAndPicturesInAllResolutions) {
    for (const LoadedImage& img : kImages)
        for (const Resolution& r : kResolutions) {
            std::string path = kData + "/" + img.name + r.suffix + ".png";
            SCOPED_TRACE(path);
            Pixels p = loadRgba(path);
            ASSERT_TRUE(p.data) << "missing or undecodable";
            int fw = img.w * r.divisor, fh = img.h * r.divisor;
            EXPECT_EQ(p.w % fw, 0);
            EXPECT_EQ(p.h % fh, 0);
            auto frames = gridFrames(p.w, p.h, fw, fh, img.frames);
            ASSERT_EQ(static_cast<int>(frames.size()), img.frames) << "frame outside surface";
            for (int f : shownFrames(img.name, img.frames)) {
                auto [x, y] = frames[f];
                EXPECT_TRUE(frameHasInk(p, x, y, fw, fh)) << "frame " << f << " is empty";
            }
        }
}

TEST(AssetImages, FontSpaceCellIsEmpty) {
    for (const Resolution& r : kResolutions) {
        Pixels p = loadRgba(kData + "/fonts/editundo" + r.suffix + ".png");
        ASSERT_TRUE(p.data);
        EXPECT_FALSE(frameHasInk(p, 0, 0, 16 * r.divisor, 16 * r.divisor));
    }
}

// The larger files are drawn at their own resolution: they differ from a
// nearest-neighbour enlargement of the base file.
TEST(AssetImages, HigherResolutionsAreNotPlainEnlargements) {
    for (const char* name : {"gfx", "heart", "fonts/editundo", "logo"}) {
        Pixels base = loadRgba(kData + "/" + name + ".png");
        ASSERT_TRUE(base.data);
        for (int k : {2, 4}) {
            Pixels big = loadRgba(kData + "/" + name + (k == 2 ? "-hd" : "-hd2") + ".png");
            ASSERT_TRUE(big.data);
            ASSERT_EQ(big.w, base.w * k);
            long differing = 0, inked = 0;
            for (int y = 0; y < big.h; ++y)
                for (int x = 0; x < big.w; ++x) {
                    unsigned a = big.alpha(x, y);
                    inked += a > 0;
                    differing += a != base.alpha(x / k, y / k);
                }
            EXPECT_GT(differing * 20, inked) << name << " at " << k << "x";
        }
    }
}

TEST(AssetImages, DefaultFontIsOneStripOf96PaddedFrames) {
    Pixels p = loadRgba(kData + "/brio_font.png");
    ASSERT_TRUE(p.data);
    ASSERT_EQ(p.w % 96, 0);
    const int fw = p.w / 96;
    ASSERT_GT(fw, 2);
    for (int f = 0; f < 96; ++f) {
        for (int y = 0; y < p.h; ++y) {
            EXPECT_EQ(p.alpha(f * fw, y), 0u) << "left padding of frame " << f;
            EXPECT_EQ(p.alpha(f * fw + fw - 1, y), 0u) << "right padding of frame " << f;
        }
        if (f >= 1 && f <= 94) {
            EXPECT_TRUE(frameHasInk(p, f * fw + 1, 0, fw - 2, p.h)) << "glyph " << f;
        }
    }
}

// ---------------------------------------------------------------- sounds
std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t le(const std::vector<uint8_t>& b, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b[at + i];
    return v;
}

struct Wav {
    bool ok = false;
    int channels = 0, rate = 0, bits = 0;
    std::vector<int16_t> samples;
};

// A strict little RIFF reader: integer PCM only, chunks walked by size.
Wav parseWav(const std::vector<uint8_t>& b) {
    Wav w;
    if (b.size() < 12 || std::string(b.begin(), b.begin() + 4) != "RIFF" || std::string(b.begin() + 8, b.begin() + 12) != "WAVE")
        return w;
    bool haveFmt = false;
    for (size_t at = 12; at + 8 <= b.size();) {
        std::string id(b.begin() + at, b.begin() + at + 4);
        size_t size = le(b, at + 4, 4);
        size_t body = at + 8;
        if (body + size > b.size()) return w;
        if (id == "fmt ") {
            if (size < 16 || le(b, body, 2) != 1) return w;
            w.channels = static_cast<int>(le(b, body + 2, 2));
            w.rate = static_cast<int>(le(b, body + 4, 4));
            w.bits = static_cast<int>(le(b, body + 14, 2));
            haveFmt = true;
        } else if (id == "data" && haveFmt && w.bits == 16) {
            for (size_t i = 0; i + 1 < size; i += 2) w.samples.push_back(static_cast<int16_t>(le(b, body + i, 2)));
            w.ok = true;
        }
        at = body + size + (size & 1);
    }
    return w;
}

TEST(AssetSounds, EveryEffectIsShortAudiblePcm) {
    for (int n : {1, 2, 3, 4, 5, 6, 7, 95, 96, 98, 99}) {
        char name[32];
        std::snprintf(name, sizeof name, "/sfx/%03d.wav", n);
        SCOPED_TRACE(name);
        Wav w = parseWav(readFile(kData + name));
        ASSERT_TRUE(w.ok);
        EXPECT_TRUE(w.channels == 1 || w.channels == 2);
        EXPECT_GE(w.rate, 11025);
        double seconds = static_cast<double>(w.samples.size()) / w.channels / w.rate;
        EXPECT_GT(seconds, 0.02);
        EXPECT_LT(seconds, 2.5);
        int peak = 0;
        for (int16_t s : w.samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
        EXPECT_GT(peak, 8000) << "too quiet";
        EXPECT_LT(peak, 32767) << "clipped";
        // Starts and ends at rest, so playing it does not click.
        EXPECT_LT(std::abs(w.samples.front()), 500);
        EXPECT_LT(std::abs(w.samples.back()), 500);
    }
}

TEST(AssetSounds, MusicDecodesAsAboutAMinuteThatLoopsWithoutAClick) {
    int channels = 0, rate = 0;
    short* out = nullptr;
    int frames = stb_vorbis_decode_filename((kData + "/sfx/floating.ogg").c_str(), &channels, &rate, &out);
    ASSERT_GT(frames, 0);
    std::unique_ptr<short, void (*)(void*)> hold(out, std::free);
    ASSERT_GE(channels, 1);
    double seconds = static_cast<double>(frames) / rate;
    EXPECT_GT(seconds, 45);
    EXPECT_LT(seconds, 90);
    for (int c = 0; c < channels; ++c) {
        auto at = [&](int i) { return static_cast<int>(out[static_cast<size_t>(i) * channels + c]); };
        int step = 0;  // largest sample-to-sample change near both ends
        for (int i = 0; i < 256; ++i) {
            step = std::max(step, std::abs(at(i + 1) - at(i)));
            step = std::max(step, std::abs(at(frames - 2 - i) - at(frames - 1 - i)));
        }
        EXPECT_LE(std::abs(at(frames - 1) - at(0)), 2 * step + 64) << "channel " << c;
    }
}

// ---------------------------------------------------------------- generator
TEST(AssetGenerator, RegeneratesTheCommittedFilesByteForByte) {
    fs::path tmp = fs::temp_directory_path() / ("zelk_assets_" + std::to_string(::getpid()));
    fs::remove_all(tmp);
    for (const char* sub : {"", "common", "fonts", "sfx"}) fs::create_directories(tmp / sub);
    ASSERT_TRUE(assetgen::writeImages(tmp.string(), ""));
    ASSERT_TRUE(assetgen::writeSounds(tmp.string(), true));
    ASSERT_TRUE(assetgen::writeIcons(tmp.string(), ""));
    int compared = 0;
    for (const auto& e : fs::recursive_directory_iterator(tmp)) {
        if (!e.is_regular_file()) continue;
        fs::path rel = fs::relative(e.path(), tmp);
        SCOPED_TRACE(rel.string());
        std::vector<uint8_t> fresh = readFile(e.path().string());
        std::vector<uint8_t> committed = readFile(kData + "/" + rel.string());
        EXPECT_FALSE(committed.empty()) << "not committed";
        EXPECT_TRUE(fresh == committed) << "differs from the committed file";
        ++compared;
    }
    // 14 sheets in three sizes, the default font, 11 effects, the music,
    // and the application icon in six sizes and as one .ico.
    EXPECT_EQ(compared, 14 * 3 + 1 + 11 + 1 + 6 + 1);
    fs::remove_all(tmp);
}

// ---------------------------------------------------------------- icons
// Every icon size is a square RGBA picture with see-through corners (the
// tile is rounded) and an opaque middle, and zelk.ico holds exactly those
// pictures: entries that point at complete PNG streams of the stated size.
TEST(AssetIcons, SizesAndIcoDirectoryAgree) {
    std::vector<uint8_t> ico = readFile(kData + "/icons/zelk.ico");
    ASSERT_GE(ico.size(), 6u);
    ASSERT_EQ(le(ico, 0, 2), 0u);
    ASSERT_EQ(le(ico, 2, 2), 1u);  // an icon, not a cursor
    const std::vector<int>& sizes = assetgen::iconSizes();
    ASSERT_EQ(le(ico, 4, 2), sizes.size());
    ASSERT_GE(ico.size(), 6 + 16 * sizes.size());
    for (size_t i = 0; i < sizes.size(); ++i) {
        const int size = sizes[i];
        SCOPED_TRACE(size);
        std::vector<uint8_t> png = readFile(kData + "/icons/zelk-" + std::to_string(size) + ".png");
        int w = 0, h = 0, n = 0;
        std::unique_ptr<unsigned char, void (*)(void*)> px(
            stbi_load_from_memory(png.data(), static_cast<int>(png.size()), &w, &h, &n, 4), stbi_image_free);
        ASSERT_TRUE(px);
        EXPECT_EQ(w, size);
        EXPECT_EQ(h, size);
        EXPECT_EQ(n, 4);
        auto alpha = [&](int x, int y) { return px.get()[(static_cast<size_t>(y) * w + x) * 4 + 3]; };
        EXPECT_EQ(alpha(0, 0), 0);
        EXPECT_EQ(alpha(size - 1, size - 1), 0);
        EXPECT_EQ(alpha(size / 2, size / 2), 255);

        const size_t at = 6 + 16 * i;
        EXPECT_EQ(ico[at], size == 256 ? 0 : size);
        EXPECT_EQ(ico[at + 1], size == 256 ? 0 : size);
        EXPECT_EQ(le(ico, at + 6, 2), 32u);
        size_t length = le(ico, at + 8, 4), offset = le(ico, at + 12, 4);
        ASSERT_LE(offset + length, ico.size());
        EXPECT_TRUE(std::equal(png.begin(), png.end(), ico.begin() + static_cast<long>(offset),
                               ico.begin() + static_cast<long>(offset + length)))
            << "the .ico entry is not the PNG of the same size";
        EXPECT_EQ(length, png.size());
    }
}

}  // namespace
