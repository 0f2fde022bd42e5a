// The data folder: every file the game loads exists, decodes, and has the
// frame grid its loader cuts; and the generator reproduces it exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
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
    // Channel 0..2 (red, green, blue) on 0..1.
    float chan(int x, int y, int c) const { return data.get()[(static_cast<size_t>(y) * w + x) * 4 + c] / 255.0f; }
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

// ---------------------------------------------------------------- art in its layout
// Relative luminance (sRGB) and the contrast ratio of two luminances.
float Linear(float c) { return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f); }
float Luminance(float r, float g, float b) { return 0.2126f * Linear(r) + 0.7152f * Linear(g) + 0.0722f * Linear(b); }
float Contrast(float la, float lb) { return (std::max(la, lb) + 0.05f) / (std::min(la, lb) + 0.05f); }

// Mean colourfulness (chroma), brightness and luma of a frame's opaque
// pixels, and its alpha mask.
struct FrameLook {
    float chroma = 0, value = 0, luma = 0;
    std::vector<bool> mask;
};
FrameLook LookOf(const Pixels& p, int x0, int y0, int fw, int fh) {
    FrameLook f;
    int n = 0;
    for (int y = y0; y < y0 + fh; ++y)
        for (int x = x0; x < x0 + fw; ++x) {
            bool in = p.alpha(x, y) > 128;
            f.mask.push_back(in);
            if (!in) continue;
            float r = p.chan(x, y, 0), g = p.chan(x, y, 1), b = p.chan(x, y, 2);
            float mx = std::max({r, g, b}), mn = std::min({r, g, b});
            f.chroma += mx - mn;
            f.value += mx;
            f.luma += 0.299f * r + 0.587f * g + 0.114f * b;
            ++n;
        }
    if (n) {
        f.chroma /= n;
        f.value /= n;
        f.luma /= n;
    }
    return f;
}
float Overlap(const std::vector<bool>& a, const std::vector<bool>& b) {
    int both = 0, either = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        both += a[i] && b[i];
        either += a[i] || b[i];
    }
    return either ? static_cast<float>(both) / either : 1.0f;
}

// The player stands out from every baddie in the frames play draws
// (walking, flying, tumbling): more saturated and brighter, lighter in a
// grey picture, and of another outline.
TEST(AssetArt, PlayerStandsOutFromEveryBaddie) {
    for (const Resolution& r : kResolutions) {
        Pixels player = loadRgba(kData + "/gfx" + r.suffix + ".png");
        Pixels baddies = loadRgba(kData + "/gfx2" + r.suffix + ".png");
        ASSERT_TRUE(player.data && baddies.data);
        const int fs = 32 * r.divisor;
        auto at = [&](const Pixels& p, int frame) {
            auto grid = gridFrames(p.w, p.h, fs, fs, 64);
            return LookOf(p, grid[frame].first, grid[frame].second, fs, fs);
        };
        for (int frame : {0, 1, 2, 3, 4, 8, 9, 10, 11}) {
            FrameLook me = at(player, frame);
            for (int kind = 0; kind < 4; ++kind) {
                SCOPED_TRACE(std::string(r.suffix) + " frame " + std::to_string(frame) + " baddie " + std::to_string(kind));
                FrameLook them = at(baddies, kind * 16 + frame);
                EXPECT_GT(me.chroma, them.chroma + 0.1f) << "not more colourful";
                EXPECT_GT(me.value, them.value + 0.1f) << "not brighter";
                EXPECT_GT(me.luma, them.luma + 0.15f) << "alike in grey";
                EXPECT_LT(Overlap(me.mask, them.mask), 0.88f) << "alike in outline";
            }
        }
    }
}

// The drawn area of a mid-handled image at scale k placed at (px, py):
// every pixel with any cover, as virtual-screen points.
template <class F>
void ForInk(const Pixels& p, int divisor, float px, float py, float k, F f) {
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x)
            if (p.alpha(x, y) > 0)
                f(px + ((x + 0.5f) / divisor - p.w / 2.0f / divisor) * k, py + ((y + 0.5f) / divisor - p.h / 2.0f / divisor) * k);
}

// Virtual screens of the aspect ratios the game supports.
struct Screen {
    float w, h;
};
const Screen kScreens[] = {{640, 480}, {640, 360}, {640, 400}, {360, 480}};

// The studio logo is the loading screen's centrepiece and the title menu's
// credits button. On the loading screen (at 0.48 of the height, scale 1)
// the spinner's dots (radius 8) circle the centre of the screen at a
// quarter of its smaller side: no dot may touch the logo. On the menu (at
// W - 70, 32, scale 0.35) it must end above the top score list, whose
// letters begin at y = 60.
TEST(AssetArt, StudioLogoClearsTheSpinnerAndTheTopList) {
    for (const Resolution& r : kResolutions) {
        Pixels logo = loadRgba(kData + "/common/VELDLogo" + r.suffix + ".png");
        ASSERT_TRUE(logo.data);
        for (const Screen& s : kScreens) {
            SCOPED_TRACE(std::string(r.suffix) + " " + std::to_string(int(s.w)) + "x" + std::to_string(int(s.h)));
            const float ring = 0.25f * std::min(s.w, s.h);
            float nearest = 1e9f;
            ForInk(logo, r.divisor, s.w / 2, s.h * 0.48f, 1, [&](float x, float y) {
                nearest = std::min(nearest, ring - std::hypot(x - s.w / 2, y - s.h / 2));
            });
            EXPECT_GT(nearest, 8 + 2) << "a spinner dot touches the logo";
            float bottom = -1e9f;
            ForInk(logo, r.divisor, s.w - 70, 32, 0.35f, [&](float, float y) { bottom = std::max(bottom, y); });
            EXPECT_LT(bottom, 60 - 2) << "the logo reaches the top list";
        }
    }
}

// The title logo, drawn by the menu at scale 1.5 at (0.4 W, 96), ends left
// of the score list, whose letters begin 114 pixels left of the right edge
// (on a portrait screen the two share the same rows).
TEST(AssetArt, TitleLogoEndsLeftOfTheScoreList) {
    for (const Resolution& r : kResolutions) {
        Pixels logo = loadRgba(kData + std::string("/logo") + r.suffix + ".png");
        ASSERT_TRUE(logo.data);
        for (const Screen& s : kScreens) {
            float right = -1e9f;
            ForInk(logo, r.divisor, s.w * 0.4f, 96, 1.5f, [&](float x, float) { right = std::max(right, x); });
            EXPECT_LT(right, s.w - 114 - 2) << r.suffix << " " << s.w << "x" << s.h;
        }
    }
}

// Luminance statistics of the picture within a region, the picture drawn
// through `sample` (returns false outside the picture).
struct RegionLight {
    float mean = 0, spread = 0, brightest = 0;  // brightest: 98th percentile
};
template <class F>
RegionLight LightOver(float x0, float y0, float x1, float y1, F sample) {
    std::vector<float> ls;
    for (float y = y0; y < y1; y += 0.5f)
        for (float x = x0; x < x1; x += 0.5f) {
            float l;
            if (sample(x, y, l)) ls.push_back(l);
        }
    RegionLight r;
    if (ls.empty()) return r;
    double sum = 0, sq = 0;
    for (float l : ls) sum += l;
    r.mean = static_cast<float>(sum / ls.size());
    for (float l : ls) sq += (l - r.mean) * (l - r.mean);
    r.spread = static_cast<float>(std::sqrt(sq / ls.size()));
    std::sort(ls.begin(), ls.end());
    r.brightest = ls[ls.size() * 98 / 100];
    return r;
}

// The credits write white lines, fading out above and below, across the
// test card's middle: from the card's centre about 45 pixels to the left
// (the longest line) to past its right edge, and 57 pixels above and below.
// That field of the card is dark and calm enough for the lines without a
// band behind them.
TEST(AssetArt, TestCardIsCalmWhereTheCreditsRun) {
    for (const Resolution& r : kResolutions) {
        SCOPED_TRACE(r.suffix);
        Pixels card = loadRgba(kData + "/common/Testcard_Circle" + r.suffix + ".png");
        ASSERT_TRUE(card.data);
        RegionLight l = LightOver(128 - 45, 128 - 57, 256, 128 + 57, [&](float x, float y, float& out) {
            int px = static_cast<int>(x * r.divisor), py = static_cast<int>(y * r.divisor);
            // The card itself: its face and its inner ring, inside the outline.
            if (px >= card.w || py >= card.h || std::hypot(x - 128, y - 128) > 117) return false;
            out = Luminance(card.chan(px, py, 0), card.chan(px, py, 1), card.chan(px, py, 2));
            return true;
        });
        EXPECT_LT(l.spread, 0.01f) << "busy";
        EXPECT_GT(Contrast(1.0f, l.brightest), 7.0f) << "white text reads poorly";
    }
}

// The title scene (drawn at scale 3 centred at W/2, 0.58 H) under the score
// panel (40 % black) where the lists are written at scale 1.5: the "Top"
// list from y = 60 in (255, 200, 100), the "Last" list from H/2 + 20 in
// (200, 255, 100), each a heading and n lines of 15 pixels (n as the menu
// computes it), from 120 pixels left of the right edge.
TEST(AssetArt, MenuScoreListsReadOverTheTitleScene) {
    Pixels scene = loadRgba(kData + "/menu-hd2.png");
    ASSERT_TRUE(scene.data);
    const float orange = Luminance(1, 200 / 255.0f, 100 / 255.0f), lime = Luminance(200 / 255.0f, 1, 100 / 255.0f);
    for (const Screen& s : kScreens) {
        SCOPED_TRACE(std::to_string(int(s.w)) + "x" + std::to_string(int(s.h)));
        int n = std::max(1, std::min(10, static_cast<int>(s.h - 90 - s.h / 2) / 15));
        auto sample = [&](float x, float y, float& out) {
            float dx = 128 + (x - s.w / 2) / 3, dy = 128 + (y - 0.58f * s.h) / 3;
            if (dx < 0 || dy < 0 || dx >= 256 || dy >= 256) return false;
            int px = static_cast<int>(dx * 4), py = static_cast<int>(dy * 4);
            float a = scene.alpha(px, py) / 255.0f;
            // Sky pixels let the star field through; count them as black.
            out = Luminance(scene.chan(px, py, 0) * a * 0.6f, scene.chan(px, py, 1) * a * 0.6f,
                            scene.chan(px, py, 2) * a * 0.6f);
            return true;
        };
        for (float top : {60.0f, s.h / 2 + 20}) {
            RegionLight l = LightOver(s.w - 120, top, s.w, top + 15 * (n + 1) + 8, sample);
            float text = top == 60 ? orange : lime;
            EXPECT_GT(Contrast(text, l.brightest), 7.0f) << "list at " << top;
            EXPECT_LT(l.spread, 0.02f) << "busy under the list at " << top;
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
        EXPECT_GT(peak, 3000) << "too quiet";  // levels in detail: AssetMix
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

// ---------------------------------------------------------------- mix
// Levels in dB relative to full scale (32767).
double AmpDb(double a) { return 20 * std::log10(a / 32767.0); }

int PeakOf(const std::vector<int16_t>& s) {
    int p = 0;
    for (int16_t x : s) p = std::max(p, std::abs(static_cast<int>(x)));
    return p;
}

std::vector<float> ToFloat(const std::vector<int16_t>& s) {
    std::vector<float> f(s.size());
    for (size_t i = 0; i < s.size(); ++i) f[i] = static_cast<float>(s[i]) / 32767.0f;
    return f;
}

Wav Effect(int n) {
    char name[32];
    std::snprintf(name, sizeof name, "/sfx/%03d.wav", n);
    return parseWav(readFile(kData + name));
}

struct Music {
    int channels = 0, rate = 0, frames = 0;
    std::vector<int16_t> samples;  // interleaved
};
Music DecodeMusic() {
    Music m;
    short* out = nullptr;
    m.frames = stb_vorbis_decode_filename((kData + "/sfx/floating.ogg").c_str(), &m.channels, &m.rate, &out);
    if (m.frames > 0) m.samples.assign(out, out + static_cast<size_t>(m.frames) * m.channels);
    std::free(out);
    return m;
}

// The meter the sounds are mastered with, on signals whose reading is
// known: the pre-filter lifts 1 kHz by 0.69 dB and its high-pass is 1.1 dB
// down at 100 Hz; a sine's mean square is half its peak's square; a burst
// shorter than the window is averaged with silence.
TEST(AssetMix, LoudnessMeterReadsKnownSignals) {
    struct Case {
        double hz, seconds, amp, expectDb;
    } cases[] = {
        {1000, 1.0, 1.0, -3.01 + 0.69},
        {1000, 1.0, 0.5, -3.01 + 0.69 - 6.02},
        {100, 1.0, 1.0, -3.01 - 1.1},
        {1000, 0.01, 1.0, -3.01 + 0.69 - 10},
        {1000, 0.05, 1.0, -3.01 + 0.69 - 3.01},
    };
    for (const Case& c : cases) {
        std::vector<float> v(static_cast<size_t>(c.seconds * 22050));
        for (size_t i = 0; i < v.size(); ++i)
            v[i] = static_cast<float>(c.amp * std::sin(6.283185307179586 * c.hz * static_cast<double>(i) / 22050));
        EXPECT_NEAR(assetgen::loudnessDb(v, 22050), c.expectDb, 0.2) << c.hz << " Hz, " << c.seconds << " s";
    }
}

// Each effect's loudness (the meter's loudest 100 ms) and the peak it must
// stay under. The events of play and the menu confirm share one loudness;
// the flap and the footstep, which repeat all through play, and the menu
// tick sit lower.
struct EffectMix {
    int n;
    double loudnessDb, ceilingDb;
};
const EffectMix kEffectMix[] = {
    {1, -16, -9}, {2, -16, -9}, {3, -20, -12}, {4, -16, -9},  {5, -16, -9},  {6, -16, -9},
    {7, -23, -15}, {95, -16, -9}, {96, -16, -9}, {98, -16, -9}, {99, -19, -9},
};
const int kEventEffects[] = {1, 2, 4, 5, 6};

TEST(AssetMix, EffectsSitAtTheirLoudnessUnderTheirCeilings) {
    for (const EffectMix& e : kEffectMix) {
        SCOPED_TRACE("effect " + std::to_string(e.n));
        Wav w = Effect(e.n);
        ASSERT_TRUE(w.ok);
        ASSERT_EQ(w.channels, 1);
        EXPECT_NEAR(assetgen::loudnessDb(ToFloat(w.samples), w.rate), e.loudnessDb, 0.3);
        double peak = AmpDb(PeakOf(w.samples));
        EXPECT_LE(peak, e.ceilingDb + 0.05);
        // Headroom, not timidity: every effect uses most of its range.
        EXPECT_GE(peak, e.ceilingDb - 4.5);
    }
}

TEST(AssetMix, MusicSitsAboutEightDecibelsUnderTheEvents) {
    Music m = DecodeMusic();
    ASSERT_GT(m.frames, 0);
    ASSERT_EQ(m.channels, 2);
    double sum = 0;
    for (int16_t x : m.samples) sum += static_cast<double>(x) * x;
    double rmsDb = 10 * std::log10(sum / static_cast<double>(m.samples.size()) / (32767.0 * 32767.0));
    EXPECT_NEAR(rmsDb, -22, 1.0) << "whole-loop level";
    // The same meter over the whole loop, both channels.
    std::vector<float> f = ToFloat(m.samples);
    double k = 0;
    for (int c = 0; c < 2; ++c)
        for (double y : assetgen::kWeighted(f, m.rate, 2, c)) k += y * y;
    double musicDb = 10 * std::log10(k / static_cast<double>(m.samples.size()));
    double events = 0;
    for (int n : kEventEffects) {
        Wav w = Effect(n);
        ASSERT_TRUE(w.ok);
        events += assetgen::loudnessDb(ToFloat(w.samples), w.rate) / 5;
    }
    EXPECT_GE(events - musicDb, 7.0);
    EXPECT_LE(events - musicDb, 9.0);
    std::printf("music: RMS %.2f dBFS, loudness %.2f dB; events %.2f dB, %.2f dB over the music\n", rmsDb, musicDb,
                events, events - musicDb);
}

// The worst moment of play for the mix: the effects one update can start
// together, summed sample by sample at the gains the game plays them at
// (every effect of play at volume 1, the music channel at OpenAL's default
// gain of 1, which the game never changes; OpenAL's own lowering of a
// centred mono source is not counted), on top of the music's loudest
// sample wherever it falls. In one update of the one-player game the
// player may flap and step, and at most one contact happens (it sets the
// bounce cooldown), bringing the contact sound and either the baddie's hit
// and lost last life or the player's. The four loudest effects by the
// meter are mixed as well, whether or not play can start them together.
TEST(AssetMix, EffectsStartedTogetherAndTheMusicStayBelowFullScale) {
    std::map<int, Wav> fx;
    for (const EffectMix& e : kEffectMix) {
        fx[e.n] = Effect(e.n);
        ASSERT_TRUE(fx[e.n].ok) << e.n;
    }
    Music m = DecodeMusic();
    ASSERT_GT(m.frames, 0);
    const int musicPeak = PeakOf(m.samples);

    std::vector<std::vector<int>> sets;
    for (std::vector<int> pool : {std::vector<int>{3, 7, 4, 5, 2}, std::vector<int>{3, 7, 4, 6, 1}}) {
        sets.push_back(pool);
        for (size_t drop = 0; drop < pool.size(); ++drop) {
            std::vector<int> four = pool;
            four.erase(four.begin() + static_cast<long>(drop));
            sets.push_back(four);
        }
    }
    std::vector<std::pair<double, int>> byLoudness;
    for (int n : {1, 2, 3, 4, 5, 6, 7}) {
        std::vector<float> f = ToFloat(fx[n].samples);
        byLoudness.push_back({assetgen::loudnessDb(f, 22050) + PeakOf(fx[n].samples) * 1e-9, n});
    }
    std::sort(byLoudness.rbegin(), byLoudness.rend());
    sets.push_back({byLoudness[0].second, byLoudness[1].second, byLoudness[2].second, byLoudness[3].second});

    int worst = 0;
    std::string worstName;
    for (size_t k = 0; k < sets.size(); ++k) {
        std::vector<int> sum;
        for (int n : sets[k]) {
            const std::vector<int16_t>& s = fx[n].samples;
            if (sum.size() < s.size()) sum.resize(s.size(), 0);
            for (size_t i = 0; i < s.size(); ++i) sum[i] += s[i];
        }
        int peak = 0;
        for (int x : sum) peak = std::max(peak, std::abs(x));
        std::string name;
        for (int n : sets[k]) name += std::to_string(n) + " ";
        EXPECT_LT(peak + musicPeak, 32767) << "effects " << name << "reach " << AmpDb(peak + musicPeak) << " dBFS";
        if (peak + musicPeak > worst) {
            worst = peak + musicPeak;
            worstName = name;
        }
        if (k + 2 == sets.size() || k + 1 == sets.size()) {
            std::printf("%s: effects %sand the music's peak (%.2f dBFS) reach %.2f dBFS\n",
                        k + 1 == sets.size() ? "the four loudest" : "worst set one update starts", worstName.c_str(),
                        AmpDb(musicPeak), AmpDb(worst));
            worst = 0;
        }
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
    // and the application icon in six sizes and as one .ico, and the
    // browser game's icons (two sizes and a full-bleed one).
    EXPECT_EQ(compared, 14 * 3 + 1 + 11 + 1 + 6 + 1 + 3);
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

// The browser game's icons: the rounded tile at its two sizes, and the
// full-bleed picture for launchers that cut their own shape, opaque to its
// corners.
TEST(AssetIcons, WebIconsAreTheirSizesAndTheMaskableOneIsFullBleed) {
    std::vector<std::pair<std::string, int>> files;
    for (int size : assetgen::webIconSizes()) files.emplace_back("zelk-" + std::to_string(size) + ".png", size);
    const int mask = assetgen::maskableIconSize();
    files.emplace_back("zelk-maskable-" + std::to_string(mask) + ".png", mask);
    for (const auto& [name, size] : files) {
        SCOPED_TRACE(name);
        std::vector<uint8_t> png = readFile(kData + "/icons/" + name);
        int w = 0, h = 0, n = 0;
        std::unique_ptr<unsigned char, void (*)(void*)> px(
            stbi_load_from_memory(png.data(), static_cast<int>(png.size()), &w, &h, &n, 4), stbi_image_free);
        ASSERT_TRUE(px);
        EXPECT_EQ(w, size);
        EXPECT_EQ(h, size);
        auto alpha = [&](int x, int y) { return px.get()[(static_cast<size_t>(y) * w + x) * 4 + 3]; };
        const bool fullBleed = name.find("maskable") != std::string::npos;
        EXPECT_EQ(alpha(0, 0), fullBleed ? 255 : 0);
        EXPECT_EQ(alpha(size - 1, size - 1), fullBleed ? 255 : 0);
        EXPECT_EQ(alpha(size / 2, size / 2), 255);
    }
}

}  // namespace
