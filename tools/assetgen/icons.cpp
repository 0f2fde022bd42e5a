// The application icon: the player creature, drawn by the same code as its
// sprite sheet, standing on a brick ledge in a rounded night-sky tile.
//
// Each size is drawn at two or more output pixels per icon pixel and then
// reduced with an area filter, so even 16 x 16 keeps smooth edges; the
// creature is never copied out of a finished sheet.
#include "tools/assetgen/icons.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <sys/stat.h>

#include <stb/stb_image_write.h>

#include "tools/assetgen/images.h"
#include "tools/assetgen/raster.h"

namespace assetgen {

namespace {

constexpr int kTile = 40;         // design size of the tile
constexpr float kCreatureX = 4;   // top-left of the creature's 32 x 32 frame
constexpr float kCreatureY = 2;
constexpr int kCreatureFrame = 0;  // standing, wings folded

const Col kInk = hex(0x1b1430);
const Col kSkyTop = hex(0x2a44a0);
const Col kSkyBottom = hex(0x9c5ae2);
const Col kStar = hex(0xfff2a6);
const Col kBrick = hex(0xe8424a);
const Col kMortar = hex(0x9c2a44);

void drawIcon(Canvas& c) {
    const float ol = c.outline();
    Shape tile = box(kTile / 2.0f, kTile / 2.0f, kTile / 2.0f - 1.2f, kTile / 2.0f - 1.2f, 8);
    c.fill(grow(tile, ol), kInk);
    c.fill(tile, [](float, float y) { return mix(kSkyTop, kSkyBottom, std::min(1.0f, std::max(0.0f, (y - 2) / 30))); });
    // A few stars of the game's star field.
    const float stars[][3] = {{8, 9, 1.6f}, {31, 7, 1.2f}, {34, 16, 0.9f}, {6, 20, 0.8f}};
    for (const auto& s : stars) c.fill(starShape(s[0], s[1], s[2] * 1.8f, s[2] * 0.7f, 4, 0), kStar);
    // The ledge: one row of bricks across the bottom of the tile.
    Shape ledge = intersect(tile, rectXY(0, 31.2f, kTile, kTile));
    c.fill(ledge, kMortar);
    for (int i = 0; i < 4; ++i) {
        float x0 = 1.0f + i * 10.0f;
        c.fill(intersect(tile, rectXY(x0 + 0.6f, 32.4f, x0 + 9.4f, 35.6f, 0.6f)), kBrick);
        c.fill(intersect(tile, rectXY(x0 - 4.4f, 36.6f, x0 + 4.4f, 40, 0.6f)), kBrick);
    }
    c.fill(intersect(tile, rectXY(0, 31.2f, kTile, 32.2f)), lighten(kBrick, 0.35f));
    // The creature, standing on the ledge.
    c.setCell(kCreatureX, kCreatureY, 32, 32);
    drawPlayerFrame(c, kCreatureFrame);
    c.setCell(0, 0, kTile, kTile);
}

// The same picture for launchers that cut icons to their own shape
// (circles, squircles): the sky fills the whole square, and the creature
// stands well inside the middle circle that every such shape keeps (80 %
// of the side).
constexpr int kMaskTile = 50;

void drawMaskableIcon(Canvas& c) {
    c.fill(rectXY(0, 0, kMaskTile, kMaskTile),
           [](float, float y) { return mix(kSkyTop, kSkyBottom, std::min(1.0f, std::max(0.0f, (y - 6) / 34))); });
    const float stars[][3] = {{14, 14, 1.6f}, {36, 12, 1.2f}, {39, 21, 0.9f}, {11, 25, 0.8f}};
    for (const auto& s : stars) c.fill(starShape(s[0], s[1], s[2] * 1.8f, s[2] * 0.7f, 4, 0), kStar);
    const float top = 36.2f;
    c.fill(rectXY(0, top, kMaskTile, kMaskTile), kMortar);
    for (int row = 0; row < 3; ++row) {
        float y0 = top + 1.2f + row * 4.2f;
        float shift = row % 2 ? -5.0f : 0.0f;
        for (int i = -1; i < 6; ++i) {
            float x0 = 0.5f + shift + i * 10.0f;
            c.fill(rectXY(x0 + 0.6f, y0, x0 + 9.4f, y0 + 3.2f, 0.6f), kBrick);
        }
    }
    c.fill(rectXY(0, top, kMaskTile, top + 1.0f), lighten(kBrick, 0.35f));
    c.setCell(kCreatureX + 5, kCreatureY + 5, 32, 32);
    drawPlayerFrame(c, kCreatureFrame);
    c.setCell(0, 0, kMaskTile, kMaskTile);
}

// Straight-alpha RGBA of w x w pixels reduced to size x size with an area
// filter (premultiplied, so transparent pixels lend no colour).
std::vector<uint8_t> reduce(const std::vector<uint8_t>& src, int w, int size) {
    std::vector<double> acc(static_cast<size_t>(size) * size * 4, 0.0);
    const double step = static_cast<double>(w) / size;
    // Weight of source column/row s in target column/row t.
    auto weight = [&](int t, int s) {
        double lo = std::max(t * step, static_cast<double>(s));
        double hi = std::min((t + 1) * step, static_cast<double>(s + 1));
        return hi > lo ? hi - lo : 0.0;
    };
    for (int ty = 0; ty < size; ++ty)
        for (int tx = 0; tx < size; ++tx) {
            double* o = &acc[(static_cast<size_t>(ty) * size + tx) * 4];
            int sy0 = static_cast<int>(std::floor(ty * step)), sy1 = std::min(w, static_cast<int>(std::ceil((ty + 1) * step)));
            int sx0 = static_cast<int>(std::floor(tx * step)), sx1 = std::min(w, static_cast<int>(std::ceil((tx + 1) * step)));
            for (int sy = sy0; sy < sy1; ++sy) {
                double wy = weight(ty, sy);
                for (int sx = sx0; sx < sx1; ++sx) {
                    double k = wy * weight(tx, sx);
                    const uint8_t* p = &src[(static_cast<size_t>(sy) * w + sx) * 4];
                    double a = p[3] / 255.0;
                    for (int ch = 0; ch < 3; ++ch) o[ch] += k * a * p[ch];
                    o[3] += k * a;
                }
            }
        }
    std::vector<uint8_t> out(acc.size());
    const double area = step * step;
    for (size_t i = 0; i < acc.size(); i += 4) {
        double a = acc[i + 3] / area;
        uint8_t a8 = static_cast<uint8_t>(std::lround(std::min(1.0, a) * 255.0));
        out[i + 3] = a8;
        for (int ch = 0; ch < 3; ++ch)
            out[i + ch] = a8 ? static_cast<uint8_t>(std::lround(std::min(255.0, acc[i + ch] / acc[i + 3]))) : 0;
    }
    return out;
}

std::vector<uint8_t> renderIcon(int size) {
    int scale = std::max(1, static_cast<int>(std::ceil(2.0 * size / kTile)));
    Canvas c(kTile, kTile, scale, false);
    drawIcon(c);
    return reduce(c.rgba(), c.width(), size);
}

std::vector<uint8_t> renderMaskableIcon(int size) {
    int scale = std::max(1, static_cast<int>(std::ceil(2.0 * size / kMaskTile)));
    Canvas c(kMaskTile, kMaskTile, scale, false);
    drawMaskableIcon(c);
    return reduce(c.rgba(), c.width(), size);
}

void appendBytes(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    const uint8_t* p = static_cast<const uint8_t*>(data);
    out->insert(out->end(), p, p + size);
}

std::vector<uint8_t> encodePng(const std::vector<uint8_t>& rgba, int size) {
    std::vector<uint8_t> png;
    if (!stbi_write_png_to_func(appendBytes, &png, size, size, 4, rgba.data(), size * 4)) png.clear();
    return png;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

void put16(std::vector<uint8_t>& b, unsigned v) {
    b.push_back(static_cast<uint8_t>(v & 0xff));
    b.push_back(static_cast<uint8_t>((v >> 8) & 0xff));
}
void put32(std::vector<uint8_t>& b, uint32_t v) {
    put16(b, v & 0xffff);
    put16(b, v >> 16);
}

// A Windows icon file whose images are PNG streams (read by Windows Vista
// and later, and by every icon tool in use today).
std::vector<uint8_t> makeIco(const std::vector<std::pair<int, std::vector<uint8_t>>>& pngs) {
    std::vector<uint8_t> ico;
    put16(ico, 0);  // reserved
    put16(ico, 1);  // type: icon
    put16(ico, static_cast<unsigned>(pngs.size()));
    uint32_t offset = static_cast<uint32_t>(6 + 16 * pngs.size());
    for (const auto& [size, png] : pngs) {
        ico.push_back(static_cast<uint8_t>(size >= 256 ? 0 : size));  // 0 means 256
        ico.push_back(static_cast<uint8_t>(size >= 256 ? 0 : size));
        ico.push_back(0);  // no palette
        ico.push_back(0);  // reserved
        put16(ico, 1);     // colour planes
        put16(ico, 32);    // bits per pixel
        put32(ico, static_cast<uint32_t>(png.size()));
        put32(ico, offset);
        offset += static_cast<uint32_t>(png.size());
    }
    for (const auto& entry : pngs) ico.insert(ico.end(), entry.second.begin(), entry.second.end());
    return ico;
}

}  // namespace

const std::vector<int>& iconSizes() {
    static const std::vector<int> sizes = {16, 32, 48, 64, 128, 256};
    return sizes;
}

const std::vector<int>& webIconSizes() {
    static const std::vector<int> sizes = {192, 512};
    return sizes;
}

int maskableIconSize() { return 512; }

bool writeIcons(const std::string& outDir, const std::string& only) {
    if (!only.empty() && std::string("icons").find(only) == std::string::npos) return true;
    const std::string dir = outDir + "/icons";
    if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "cannot create %s\n", dir.c_str());
        return false;
    }
    bool ok = true;
    std::vector<std::pair<int, std::vector<uint8_t>>> pngs;
    for (int size : iconSizes()) {
        std::vector<uint8_t> png = encodePng(renderIcon(size), size);
        std::string path = dir + "/zelk-" + std::to_string(size) + ".png";
        if (png.empty() || !writeFile(path, png)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            ok = false;
        }
        pngs.emplace_back(size, std::move(png));
    }
    if (ok && !writeFile(dir + "/zelk.ico", makeIco(pngs))) {
        std::fprintf(stderr, "cannot write %s/zelk.ico\n", dir.c_str());
        ok = false;
    }
    // The browser game's own icons (its web app manifest).
    std::vector<std::pair<std::string, std::vector<uint8_t>>> web;
    for (int size : webIconSizes())
        web.emplace_back("/zelk-" + std::to_string(size) + ".png", encodePng(renderIcon(size), size));
    const int mask = maskableIconSize();
    web.emplace_back("/zelk-maskable-" + std::to_string(mask) + ".png", encodePng(renderMaskableIcon(mask), mask));
    for (const auto& [name, png] : web) {
        if (png.empty() || !writeFile(dir + name, png)) {
            std::fprintf(stderr, "cannot write %s%s\n", dir.c_str(), name.c_str());
            ok = false;
        }
    }
    return ok;
}

}  // namespace assetgen
