// Resolution-independent drawing for the asset generator.
//
// Every picture is described in design pixels with signed-distance shapes;
// a Canvas evaluates them once per output pixel at its own scale (1, 2 or 4),
// so the larger sheets get real detail instead of enlarged pixels. At scale 1
// the canvas can run "crisp": edges are thresholded for clean pixel art.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace assetgen {

constexpr float kPi = 3.14159265358979f;

struct Col {
    float r = 0, g = 0, b = 0, a = 1;
};

Col hex(uint32_t rgb, float a = 1.0f);
Col mix(Col a, Col b, float t);
Col lighten(Col c, float t);  // toward white
Col darken(Col c, float t);   // toward black

// A signed distance field in design pixels (negative inside) with a
// conservative bounding box.
struct Shape {
    std::function<float(float, float)> d;
    float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    float operator()(float x, float y) const { return d(x, y); }
};

Shape circle(float cx, float cy, float r);
Shape ellipse(float cx, float cy, float rx, float ry);
Shape box(float cx, float cy, float hw, float hh, float round = 0);
Shape rectXY(float x0, float y0, float x1, float y1, float round = 0);
Shape capsule(float ax, float ay, float bx, float by, float r);
Shape polygon(std::vector<float> pts);  // convex, x y pairs, any winding
Shape ring(float cx, float cy, float r, float halfWidth);
Shape starShape(float cx, float cy, float rOut, float rIn, int points, float rotDeg);
Shape gearShape(float cx, float cy, float rRoot, float rTip, int teeth, float toothFrac);

Shape unite(const Shape& a, const Shape& b);
Shape uniteSmooth(const Shape& a, const Shape& b, float k);
Shape intersect(const Shape& a, const Shape& b);
Shape subtract(const Shape& a, const Shape& b);
Shape grow(const Shape& a, float r);
Shape move(const Shape& a, float dx, float dy);
Shape rotate(const Shape& a, float cx, float cy, float deg);
Shape scaleAbout(const Shape& a, float cx, float cy, float k);
Shape flipX(const Shape& a, float cx);

// Pixel-grid shape: rows of '#' (set) and anything else (clear). Diagonal
// steps are smoothed (a continuous form of the EPX rule), so the same grid
// gives soft diagonals when drawn at higher scales. cell = size of one grid
// cell in design pixels; (x, y) = top-left corner.
struct Grid {
    int w = 0, h = 0;
    std::vector<uint8_t> bits;
    bool at(int x, int y) const {
        return x >= 0 && y >= 0 && x < w && y < h && bits[y * w + x];
    }
};
Grid parseGrid(const std::vector<std::string>& rows);
// Inside test in grid units, smoothing diagonals.
bool gridInside(const Grid& g, float gx, float gy, bool smooth);

using ColFn = std::function<Col(float, float)>;

class Canvas {
public:
    // w, h in design pixels; scale = output pixels per design pixel.
    Canvas(int w, int h, int scale, bool crisp);

    int scale() const { return scale_; }
    int width() const { return w_ * scale_; }
    int height() const { return h_ * scale_; }

    // Drawing goes to the frame cell whose top-left is (ox, oy) and size
    // (cw, ch) in design pixels; nothing leaves the cell.
    void setCell(float ox, float oy, float cw, float ch);

    void fill(const Shape& s, Col c);
    void fill(const Shape& s, const ColFn& c);
    void fillGrid(const Grid& g, float x, float y, float cell, Col c, bool smooth = true);
    // Soft radial glow: alpha = peak * (1 - d/r)^power.
    void glow(float cx, float cy, float r, Col c, float power);

    // 8-bit RGBA, straight alpha.
    std::vector<uint8_t> rgba() const;

    // Outline width in design pixels used by the sprite helpers (slightly
    // thinner at higher scales so the extra resolution shows).
    float outline() const;

private:
    void blend(int px, int py, Col c, float cov);
    int w_, h_, scale_;
    bool crisp_;
    float cx0_ = 0, cy0_ = 0, cx1_ = 0, cy1_ = 0;
    std::vector<float> px_;  // premultiplied rgba
};

bool writePng(const std::string& path, const Canvas& c);

}  // namespace assetgen
