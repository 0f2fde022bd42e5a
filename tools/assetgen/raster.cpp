#include "tools/assetgen/raster.h"

#include <zlib.h>

#include <cstdlib>

// The PNG files are compressed with zlib at its best level, which makes them
// about a third smaller than stb_image_write's own compressor does (they
// are most of what a player downloads in the browser). zlib gives the same
// bytes for the same input on every run.
static unsigned char* ZlibCompress(unsigned char* data, int length, int* out_length, int) {
  uLongf size = compressBound(static_cast<uLong>(length));
  unsigned char* out = static_cast<unsigned char*>(std::malloc(size));
  if (!out) return nullptr;
  if (compress2(out, &size, data, static_cast<uLong>(length), Z_BEST_COMPRESSION) != Z_OK) {
    std::free(out);
    return nullptr;
  }
  *out_length = static_cast<int>(size);
  return out;
}
#define STBIW_ZLIB_COMPRESS ZlibCompress
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

namespace assetgen {

namespace {
float clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }
float len(float x, float y) { return std::sqrt(x * x + y * y); }
}  // namespace

Col hex(uint32_t rgb, float a) {
    return Col{((rgb >> 16) & 255) / 255.0f, ((rgb >> 8) & 255) / 255.0f, (rgb & 255) / 255.0f, a};
}
Col mix(Col a, Col b, float t) {
    return Col{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}
Col lighten(Col c, float t) { return mix(c, Col{1, 1, 1, c.a}, t); }
Col darken(Col c, float t) { return mix(c, Col{0, 0, 0, c.a}, t); }

Shape circle(float cx, float cy, float r) {
    return Shape{[=](float x, float y) { return len(x - cx, y - cy) - r; }, cx - r, cy - r, cx + r, cy + r};
}

Shape ellipse(float cx, float cy, float rx, float ry) {
    // Scaled-circle approximation, corrected by the gradient length.
    return Shape{[=](float x, float y) {
                     float u = (x - cx) / rx, v = (y - cy) / ry;
                     float k = len(u, v);
                     float gx = u / rx, gy = v / ry;
                     float g = len(gx, gy);
                     if (g < 1e-6f) return -std::min(rx, ry);
                     return (k - 1.0f) * k / g;
                 },
                 cx - rx, cy - ry, cx + rx, cy + ry};
}

Shape box(float cx, float cy, float hw, float hh, float round) {
    return Shape{[=](float x, float y) {
                     float qx = std::fabs(x - cx) - hw + round, qy = std::fabs(y - cy) - hh + round;
                     float o = len(std::max(qx, 0.0f), std::max(qy, 0.0f));
                     return o + std::min(std::max(qx, qy), 0.0f) - round;
                 },
                 cx - hw, cy - hh, cx + hw, cy + hh};
}

Shape rectXY(float x0, float y0, float x1, float y1, float round) {
    return box((x0 + x1) * 0.5f, (y0 + y1) * 0.5f, (x1 - x0) * 0.5f, (y1 - y0) * 0.5f, round);
}

Shape capsule(float ax, float ay, float bx, float by, float r) {
    return Shape{[=](float x, float y) {
                     float px = x - ax, py = y - ay, dx = bx - ax, dy = by - ay;
                     float dd = dx * dx + dy * dy;
                     float h = dd > 0 ? clamp01((px * dx + py * dy) / dd) : 0;
                     return len(px - dx * h, py - dy * h) - r;
                 },
                 std::min(ax, bx) - r, std::min(ay, by) - r, std::max(ax, bx) + r, std::max(ay, by) + r};
}

Shape polygon(std::vector<float> p) {
    float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
    for (size_t i = 0; i + 1 < p.size(); i += 2) {
        x0 = std::min(x0, p[i]);
        x1 = std::max(x1, p[i]);
        y0 = std::min(y0, p[i + 1]);
        y1 = std::max(y1, p[i + 1]);
    }
    return Shape{[p](float x, float y) {
                     size_t n = p.size() / 2;
                     float best = 1e9f;
                     bool inside = false;
                     for (size_t i = 0, j = n - 1; i < n; j = i++) {
                         float ax = p[2 * j], ay = p[2 * j + 1], bx = p[2 * i], by = p[2 * i + 1];
                         float ex = bx - ax, ey = by - ay, wx = x - ax, wy = y - ay;
                         float ee = ex * ex + ey * ey;
                         float h = ee > 0 ? clamp01((wx * ex + wy * ey) / ee) : 0;
                         best = std::min(best, len(wx - ex * h, wy - ey * h));
                         if ((ay > y) != (by > y) && x < ax + (y - ay) * ex / ey) inside = !inside;
                     }
                     return inside ? -best : best;
                 },
                 x0, y0, x1, y1};
}

Shape ring(float cx, float cy, float r, float hw) {
    return Shape{[=](float x, float y) { return std::fabs(len(x - cx, y - cy) - r) - hw; }, cx - r - hw, cy - r - hw,
                 cx + r + hw, cy + r + hw};
}

Shape starShape(float cx, float cy, float rOut, float rIn, int points, float rotDeg) {
    std::vector<float> p;
    for (int i = 0; i < points * 2; ++i) {
        float a = (rotDeg + i * 180.0f / points) * kPi / 180.0f;
        float r = (i % 2) ? rIn : rOut;
        p.push_back(cx + std::sin(a) * r);
        p.push_back(cy - std::cos(a) * r);
    }
    return polygon(p);
}

Shape gearShape(float cx, float cy, float rRoot, float rTip, int teeth, float toothFrac) {
    return Shape{[=](float x, float y) {
                     float dx = x - cx, dy = y - cy;
                     float rho = len(dx, dy);
                     float a = std::atan2(dy, dx) / (2 * kPi) * teeth;
                     float f = a - std::floor(a);  // 0..1 within one tooth period
                     float t = std::fabs(f - 0.5f) * 2;  // 0 at tooth centre, 1 between teeth
                     float edge = 0.12f;
                     float h = clamp01((toothFrac - t) / edge + 0.5f);
                     float r = rRoot + (rTip - rRoot) * h;
                     return (rho - r) * 0.8f;
                 },
                 cx - rTip, cy - rTip, cx + rTip, cy + rTip};
}

Shape unite(const Shape& a, const Shape& b) {
    return Shape{[a, b](float x, float y) { return std::min(a.d(x, y), b.d(x, y)); }, std::min(a.x0, b.x0),
                 std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)};
}

Shape uniteSmooth(const Shape& a, const Shape& b, float k) {
    return Shape{[a, b, k](float x, float y) {
                     float da = a.d(x, y), db = b.d(x, y);
                     float h = clamp01(0.5f + 0.5f * (db - da) / k);
                     return db + (da - db) * h - k * h * (1 - h);
                 },
                 std::min(a.x0, b.x0) - k, std::min(a.y0, b.y0) - k, std::max(a.x1, b.x1) + k,
                 std::max(a.y1, b.y1) + k};
}

Shape intersect(const Shape& a, const Shape& b) {
    return Shape{[a, b](float x, float y) { return std::max(a.d(x, y), b.d(x, y)); }, std::max(a.x0, b.x0),
                 std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)};
}

Shape subtract(const Shape& a, const Shape& b) {
    return Shape{[a, b](float x, float y) { return std::max(a.d(x, y), -b.d(x, y)); }, a.x0, a.y0, a.x1, a.y1};
}

Shape grow(const Shape& a, float r) {
    return Shape{[a, r](float x, float y) { return a.d(x, y) - r; }, a.x0 - r, a.y0 - r, a.x1 + r, a.y1 + r};
}

Shape move(const Shape& a, float dx, float dy) {
    return Shape{[a, dx, dy](float x, float y) { return a.d(x - dx, y - dy); }, a.x0 + dx, a.y0 + dy, a.x1 + dx,
                 a.y1 + dy};
}

Shape rotate(const Shape& a, float cx, float cy, float deg) {
    float r = deg * kPi / 180.0f, c = std::cos(r), s = std::sin(r);
    float bx0 = 1e9f, by0 = 1e9f, bx1 = -1e9f, by1 = -1e9f;
    float xs[2] = {a.x0, a.x1}, ys[2] = {a.y0, a.y1};
    for (float px : xs)
        for (float py : ys) {
            float qx = cx + (px - cx) * c - (py - cy) * s, qy = cy + (px - cx) * s + (py - cy) * c;
            bx0 = std::min(bx0, qx);
            by0 = std::min(by0, qy);
            bx1 = std::max(bx1, qx);
            by1 = std::max(by1, qy);
        }
    return Shape{[a, cx, cy, c, s](float x, float y) {
                     float dx = x - cx, dy = y - cy;
                     return a.d(cx + dx * c + dy * s, cy - dx * s + dy * c);
                 },
                 bx0, by0, bx1, by1};
}

Shape scaleAbout(const Shape& a, float cx, float cy, float k) {
    return Shape{[a, cx, cy, k](float x, float y) { return a.d(cx + (x - cx) / k, cy + (y - cy) / k) * k; },
                 cx + (a.x0 - cx) * k, cy + (a.y0 - cy) * k, cx + (a.x1 - cx) * k, cy + (a.y1 - cy) * k};
}

Shape flipX(const Shape& a, float cx) {
    return Shape{[a, cx](float x, float y) { return a.d(2 * cx - x, y); }, 2 * cx - a.x1, a.y0, 2 * cx - a.x0, a.y1};
}

Grid parseGrid(const std::vector<std::string>& rows) {
    Grid g;
    g.h = static_cast<int>(rows.size());
    for (const auto& r : rows) g.w = std::max(g.w, static_cast<int>(r.size()));
    g.bits.assign(static_cast<size_t>(g.w * g.h), 0);
    for (int y = 0; y < g.h; ++y)
        for (int x = 0; x < static_cast<int>(rows[y].size()); ++x) g.bits[y * g.w + x] = rows[y][x] == '#';
    return g;
}

bool gridInside(const Grid& g, float gx, float gy, bool smooth) {
    int ix = static_cast<int>(std::floor(gx)), iy = static_cast<int>(std::floor(gy));
    if (g.at(ix, iy)) return true;
    if (!smooth) return false;
    float fx = gx - ix, fy = gy - iy;
    int sx = fx < 0.5f ? -1 : 1, sy = fy < 0.5f ? -1 : 1;
    if (g.at(ix + sx, iy) && g.at(ix, iy + sy) && !g.at(ix - sx, iy) && !g.at(ix, iy - sy)) {
        float cx = sx < 0 ? 0.0f : 1.0f, cy = sy < 0 ? 0.0f : 1.0f;
        return std::fabs(fx - cx) + std::fabs(fy - cy) < 0.5f;
    }
    return false;
}

Canvas::Canvas(int w, int h, int scale, bool crisp)
    : w_(w), h_(h), scale_(scale), crisp_(crisp), px_(static_cast<size_t>(w * scale) * (h * scale) * 4, 0.0f) {
    setCell(0, 0, static_cast<float>(w), static_cast<float>(h));
}

void Canvas::setCell(float ox, float oy, float cw, float ch) {
    cx0_ = ox;
    cy0_ = oy;
    cx1_ = ox + cw;
    cy1_ = oy + ch;
}

float Canvas::outline() const { return scale_ == 1 ? 1.0f : (scale_ == 2 ? 0.9f : 0.8f); }

void Canvas::blend(int px, int py, Col c, float cov) {
    float a = c.a * cov;
    if (a <= 0) return;
    float* p = &px_[(static_cast<size_t>(py) * width() + px) * 4];
    p[0] = c.r * a + p[0] * (1 - a);
    p[1] = c.g * a + p[1] * (1 - a);
    p[2] = c.b * a + p[2] * (1 - a);
    p[3] = a + p[3] * (1 - a);
}

void Canvas::fill(const Shape& s, Col c) {
    fill(s, [c](float, float) { return c; });
}

void Canvas::fill(const Shape& s, const ColFn& c) {
    const float k = static_cast<float>(scale_);
    float gx0 = std::max(cx0_, cx0_ + s.x0 - 1), gy0 = std::max(cy0_, cy0_ + s.y0 - 1);
    float gx1 = std::min(cx1_, cx0_ + s.x1 + 1), gy1 = std::min(cy1_, cy0_ + s.y1 + 1);
    if (gx0 >= gx1 || gy0 >= gy1) return;
    int px0 = static_cast<int>(std::floor(gx0 * k)), py0 = static_cast<int>(std::floor(gy0 * k));
    int px1 = static_cast<int>(std::ceil(gx1 * k)), py1 = static_cast<int>(std::ceil(gy1 * k));
    px1 = std::min(px1, static_cast<int>(std::lround(cx1_ * k)));
    py1 = std::min(py1, static_cast<int>(std::lround(cy1_ * k)));
    for (int py = py0; py < py1; ++py) {
        float y = (py + 0.5f) / k - cy0_;
        for (int px = px0; px < px1; ++px) {
            float x = (px + 0.5f) / k - cx0_;
            float d = s.d(x, y);
            float cov = crisp_ ? (d < 0 ? 1.0f : 0.0f) : clamp01(0.5f - d * k);
            if (cov > 0) blend(px, py, c(x, y), cov);
        }
    }
}

void Canvas::fillGrid(const Grid& g, float gx, float gy, float cell, Col c, bool smooth) {
    const float k = static_cast<float>(scale_);
    float gx0 = std::max(cx0_, cx0_ + gx), gy0 = std::max(cy0_, cy0_ + gy);
    float gx1 = std::min(cx1_, cx0_ + gx + g.w * cell), gy1 = std::min(cy1_, cy0_ + gy + g.h * cell);
    if (gx0 >= gx1 || gy0 >= gy1) return;
    int px0 = static_cast<int>(std::floor(gx0 * k)), py0 = static_cast<int>(std::floor(gy0 * k));
    int px1 = static_cast<int>(std::ceil(gx1 * k)), py1 = static_cast<int>(std::ceil(gy1 * k));
    const int n = crisp_ ? 1 : 4;
    for (int py = py0; py < py1; ++py)
        for (int px = px0; px < px1; ++px) {
            int hits = 0;
            for (int j = 0; j < n; ++j)
                for (int i = 0; i < n; ++i) {
                    float x = (px + (i + 0.5f) / n) / k - cx0_, y = (py + (j + 0.5f) / n) / k - cy0_;
                    hits += gridInside(g, (x - gx) / cell, (y - gy) / cell, smooth && !crisp_);
                }
            if (hits) blend(px, py, c, static_cast<float>(hits) / (n * n));
        }
}

void Canvas::glow(float cx, float cy, float r, Col c, float power) {
    Shape s = circle(cx, cy, r);
    fill(s, [=](float x, float y) {
        float t = 1.0f - std::min(1.0f, len(x - cx, y - cy) / r);
        Col o = c;
        o.a = c.a * std::pow(t, power);
        return o;
    });
}

std::vector<uint8_t> Canvas::rgba() const {
    std::vector<uint8_t> out(px_.size());
    for (size_t i = 0; i < px_.size(); i += 4) {
        float a = px_[i + 3];
        for (int ch = 0; ch < 3; ++ch) {
            float v = a > 0 ? px_[i + ch] / a : 0;
            out[i + ch] = static_cast<uint8_t>(std::lround(clamp01(v) * 255.0f));
        }
        uint8_t a8 = static_cast<uint8_t>(std::lround(clamp01(a) * 255.0f));
        out[i + 3] = a8;
        if (a8 == 0) out[i] = out[i + 1] = out[i + 2] = 0;
    }
    return out;
}

bool writePng(const std::string& path, const Canvas& c) {
    std::vector<uint8_t> px = c.rgba();
    return stbi_write_png(path.c_str(), c.width(), c.height(), 4, px.data(), c.width() * 4) != 0;
}

}  // namespace assetgen
