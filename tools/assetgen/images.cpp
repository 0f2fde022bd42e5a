// Every image sheet of the game, drawn in design pixels.
#include "tools/assetgen/images.h"

#include <cstdio>

#include "tools/assetgen/glyphs.h"
#include "tools/assetgen/raster.h"

namespace assetgen {

namespace {

// One palette for everything.
namespace P {
const Col ink = hex(0x1b1430);
const Col white = hex(0xf6f4ee);
const Col pale = hex(0xd8dcea);
const Col grey = hex(0x9aa0bc);
const Col slate = hex(0x5c6288);
const Col night = hex(0x2c2a52);
const Col red = hex(0xe8424a);
const Col wine = hex(0x9c2a44);
const Col pink = hex(0xff86a8);
const Col orange = hex(0xf6922e);
const Col rust = hex(0xb4561e);
const Col yellow = hex(0xffd84a);
const Col cream = hex(0xfff2a6);
const Col lime = hex(0xb6ee5a);
const Col green = hex(0x5cc44a);
const Col forest = hex(0x2c7c46);
const Col teal = hex(0x34c4b8);
const Col sea = hex(0x1c7880);
const Col sky = hex(0x8cd2ff);
const Col blue = hex(0x3c86ee);
const Col navy = hex(0x2a44a0);
const Col violet = hex(0x9c5ae2);
const Col plum = hex(0x5a2e8e);
const Col tan = hex(0xdca472);
const Col brown = hex(0x9c6038);
const Col soil = hex(0x5a3424);
}  // namespace P

Col withA(Col c, float a) {
    c.a = a;
    return c;
}

// Pixel-art style shading: a darker rim to the lower right, a lighter rim
// to the upper left.
void shaded(Canvas& c, const Shape& s, Col base, float k = 1.5f, bool rimLight = true) {
    c.fill(s, darken(base, 0.28f));
    c.fill(intersect(s, move(s, -k, -k)), base);
    if (rimLight) c.fill(subtract(intersect(s, move(s, -k, -k)), move(s, k * 0.7f, k * 0.7f)), lighten(base, 0.4f));
}

// ---------------------------------------------------------------- symbols
enum Sym {
    kPause, kCross, kBack, kPlay, kHome, kSpeaker, kNote, kStar, kCup, kRestart, kGear, kPlus, kMinus, kCheck, kInfo,
    kHeart, kBolt, kCrown, kUpChevron, kArrowR, kArrowD, kArrowL, kArrowU, kWing, kFlag, kEye, kDiamond, kMoon,
    kSymCount
};

Shape heartShape(float cx, float cy, float k) {
    Shape a = circle(cx - 4.2f * k, cy - 2.2f * k, 4.6f * k);
    Shape b = circle(cx + 4.2f * k, cy - 2.2f * k, 4.6f * k);
    Shape t = polygon({cx - 8.4f * k, cy - 0.6f * k, cx + 8.4f * k, cy - 0.6f * k, cx, cy + 8.6f * k});
    return uniteSmooth(unite(a, b), t, 1.2f * k);
}

Shape arrow(float cx, float cy, float k, float deg) {
    Shape s = unite(capsule(cx - 6 * k, cy, cx + 4 * k, cy, 1.7f * k),
                    polygon({cx + 7.5f * k, cy, cx + 1 * k, cy - 6 * k, cx + 1 * k, cy + 6 * k}));
    return rotate(s, cx, cy, deg);
}

// Symbols fit a circle of radius about 8 * k around (cx, cy).
Shape symbol(int id, float cx, float cy, float k) {
    switch (id) {
    case kPause:
        return unite(box(cx - 3.3f * k, cy, 1.9f * k, 6.5f * k, 1 * k), box(cx + 3.3f * k, cy, 1.9f * k, 6.5f * k, 1 * k));
    case kCross:
        return unite(capsule(cx - 5.5f * k, cy - 5.5f * k, cx + 5.5f * k, cy + 5.5f * k, 2 * k),
                     capsule(cx + 5.5f * k, cy - 5.5f * k, cx - 5.5f * k, cy + 5.5f * k, 2 * k));
    case kBack:
        return arrow(cx, cy, k, 180);
    case kPlay:
        return grow(polygon({cx - 4.5f * k, cy - 7 * k, cx - 4.5f * k, cy + 7 * k, cx + 7 * k, cy}), 0.8f * k);
    case kHome:
        return unite(polygon({cx - 8 * k, cy - 0.5f * k, cx, cy - 8 * k, cx + 8 * k, cy - 0.5f * k}),
                     subtract(rectXY(cx - 5.5f * k, cy - 2 * k, cx + 5.5f * k, cy + 7 * k, 0.5f * k),
                              rectXY(cx - 1.7f * k, cy + 2 * k, cx + 1.7f * k, cy + 8 * k)));
    case kSpeaker:
        return unite(unite(rectXY(cx - 7 * k, cy - 2.5f * k, cx - 3 * k, cy + 2.5f * k),
                           polygon({cx - 4 * k, cy - 2.5f * k, cx + 1 * k, cy - 7 * k, cx + 1 * k, cy + 7 * k,
                                    cx - 4 * k, cy + 2.5f * k})),
                     intersect(ring(cx + 1 * k, cy, 5.5f * k, 1.1f * k), rectXY(cx + 3.5f * k, cy - 8 * k, cx + 9 * k, cy + 8 * k)));
    case kNote:
        return unite(unite(ellipse(cx - 3 * k, cy + 5 * k, 3.2f * k, 2.5f * k), rectXY(cx - 0.6f * k, cy - 7 * k, cx + 1.2f * k, cy + 5 * k)),
                     polygon({cx - 0.6f * k, cy - 7.5f * k, cx + 6 * k, cy - 4.5f * k, cx + 6 * k, cy - 1.5f * k, cx - 0.6f * k, cy - 4 * k}));
    case kStar:
        return grow(starShape(cx, cy + 0.5f * k, 8 * k, 3.6f * k, 5, 0), 0.6f * k);
    case kCup: {
        Shape bowl = intersect(circle(cx, cy - 5 * k, 6.5f * k), rectXY(cx - 7 * k, cy - 6 * k, cx + 7 * k, cy + 2 * k));
        Shape stem = rectXY(cx - 1.3f * k, cy, cx + 1.3f * k, cy + 5 * k);
        Shape foot = rectXY(cx - 4.5f * k, cy + 4.5f * k, cx + 4.5f * k, cy + 7.5f * k, 0.8f * k);
        Shape handles = unite(ring(cx - 6.5f * k, cy - 3.5f * k, 2.4f * k, 0.9f * k), ring(cx + 6.5f * k, cy - 3.5f * k, 2.4f * k, 0.9f * k));
        return unite(unite(bowl, stem), unite(foot, handles));
    }
    case kRestart:
        return unite(subtract(ring(cx, cy, 6 * k, 1.8f * k), polygon({cx, cy, cx + 9 * k, cy - 9 * k, cx + 9 * k, cy - 1 * k})),
                     polygon({cx + 2 * k, cy - 10 * k, cx + 8.5f * k, cy - 5.5f * k, cx + 2 * k, cy - 1 * k}));
    case kGear:
        return subtract(gearShape(cx, cy, 5.2f * k, 8 * k, 8, 0.5f), circle(cx, cy, 2.6f * k));
    case kPlus:
        return unite(box(cx, cy, 7 * k, 2 * k, 0.8f * k), box(cx, cy, 2 * k, 7 * k, 0.8f * k));
    case kMinus:
        return box(cx, cy, 7 * k, 2 * k, 0.8f * k);
    case kCheck:
        return unite(capsule(cx - 6 * k, cy, cx - 2 * k, cy + 5 * k, 2 * k), capsule(cx - 2 * k, cy + 5 * k, cx + 6.5f * k, cy - 6 * k, 2 * k));
    case kInfo:
        return unite(circle(cx, cy - 5.5f * k, 2 * k), box(cx, cy + 2.5f * k, 1.9f * k, 5 * k, 0.8f * k));
    case kHeart:
        return heartShape(cx, cy, 0.9f * k);
    case kBolt:
        return polygon({cx + 2 * k, cy - 9 * k, cx - 6 * k, cy + 1.5f * k, cx - 0.5f * k, cy + 1.5f * k, cx - 2 * k, cy + 9 * k,
                        cx + 6 * k, cy - 1.5f * k, cx + 0.5f * k, cy - 1.5f * k});
    case kCrown:
        return grow(polygon({cx - 8 * k, cy + 6 * k, cx - 8 * k, cy - 5 * k, cx - 4 * k, cy, cx, cy - 7 * k, cx + 4 * k, cy,
                             cx + 8 * k, cy - 5 * k, cx + 8 * k, cy + 6 * k}),
                    0.5f * k);
    case kUpChevron:
        return unite(polygon({cx, cy - 9 * k, cx + 8 * k, cy - 1 * k, cx + 4 * k, cy - 1 * k, cx, cy - 5 * k, cx - 4 * k, cy - 1 * k, cx - 8 * k, cy - 1 * k}),
                     polygon({cx, cy - 1 * k, cx + 8 * k, cy + 7 * k, cx + 4 * k, cy + 7 * k, cx, cy + 3 * k, cx - 4 * k, cy + 7 * k, cx - 8 * k, cy + 7 * k}));
    case kArrowR:
        return arrow(cx, cy, k, 0);
    case kArrowD:
        return arrow(cx, cy, k, 90);
    case kArrowL:
        return arrow(cx, cy, k, 180);
    case kArrowU:
        return arrow(cx, cy, k, 270);
    case kWing:
        return unite(unite(ellipse(cx, cy - 3 * k, 8 * k, 3 * k), move(ellipse(cx, cy, 7 * k, 2.5f * k), 1 * k, 1 * k)),
                     move(ellipse(cx, cy + 3 * k, 5.5f * k, 2.2f * k), 2 * k, 1.5f * k));
    case kFlag:
        return unite(rectXY(cx - 6 * k, cy - 8 * k, cx - 4 * k, cy + 8 * k),
                     polygon({cx - 4 * k, cy - 8 * k, cx + 7 * k, cy - 4.5f * k, cx - 4 * k, cy - 1 * k}));
    case kEye:
        return subtract(intersect(circle(cx, cy + 6 * k, 11 * k), circle(cx, cy - 6 * k, 11 * k)), ring(cx, cy, 3.5f * k, 1.2f * k));
    case kDiamond:
        return polygon({cx, cy - 8 * k, cx + 7 * k, cy - 1 * k, cx, cy + 8 * k, cx - 7 * k, cy - 1 * k});
    case kMoon:
    default:
        return subtract(circle(cx, cy, 7.5f * k), circle(cx + 4 * k, cy - 3 * k, 6 * k));
    }
}

// ---------------------------------------------------------------- creatures
struct Look {
    Col body, belly, wing, beak, feet;
    int head = 0;  // 0 plain tuft, 1 horns, 2 ears, 3 antenna, 4 helmet, 5 crest
    bool angry = false;
    bool cyclops = false;
};

struct Pose {
    float bob = 0;
    float wing = 25;       // degrees; negative lifts the wing
    float frontX = 0, backX = 0, frontLift = 0, backLift = 0;
    bool tucked = false;   // legs drawn up in flight
    bool dazed = false;
    bool blink = false;
    float squash = 1;
};

// Draws one creature, facing right, into the 32 x 32 frame scaled by k
// around the frame centre and offset by (ox, oy).
void creature(Canvas& c, const Look& L, const Pose& p, float k = 1, float ox = 0, float oy = 0) {
    auto T = [&](const Shape& s) { return move(scaleAbout(s, 16, 16, k), ox, oy); };
    const float ol = c.outline() * (k > 1.5f ? 1.6f : 1.0f);
    const float by = 16 + p.bob;
    Shape body = ellipse(15, by, 9.2f, 8.6f * p.squash);
    Shape tail = polygon({8, by - 1, 3, by - 5, 4.5f, by + 1.5f, 8, by + 3});
    Shape beak = grow(polygon({22.5f, by - 2.2f, 28.5f, by + 0.2f, 22.5f, by + 2.8f}), 0.4f);
    if (p.dazed) beak = unite(beak, grow(polygon({22.5f, by + 2, 27, by + 4.5f, 22, by + 4.5f}), 0.3f));
    // Legs and feet.
    Shape legs = circle(-100, -100, 0.1f);
    Shape feet = legs;
    struct Leg { float hx, fx, lift; };
    Leg ls[2] = {{12.5f, 12.5f + p.backX, p.backLift}, {17.5f, 17.5f + p.frontX, p.frontLift}};
    for (const Leg& l : ls) {
        float fy = p.tucked ? by + 9.5f : 29.3f - l.lift;
        if (p.dazed) fy = by - 11;
        legs = unite(legs, capsule(l.hx, by + 6, l.fx, fy, 0.9f));
        feet = unite(feet, capsule(l.fx - 0.8f, fy, l.fx + 2.6f, fy, 1.1f));
    }
    // Head decoration.
    Shape deco = circle(-100, -100, 0.1f);
    Col decoCol = L.body;
    switch (L.head) {
    case 0: deco = unite(ellipse(14, by - 9.5f, 1.6f, 3), rotate(ellipse(17, by - 9, 1.3f, 2.6f), 17, by - 7, 30)); break;
    case 1:
        deco = unite(polygon({10, by - 6, 8, by - 13.5f, 13.5f, by - 7.5f}), polygon({17, by - 7.5f, 21, by - 13.5f, 20.5f, by - 5.5f}));
        decoCol = P::cream;
        break;
    case 2:
        deco = unite(polygon({9, by - 5, 7.5f, by - 14, 13.5f, by - 7}), polygon({16, by - 7.5f, 20, by - 14.5f, 20.5f, by - 5}));
        break;
    case 3:
        deco = unite(capsule(15, by - 7, 17, by - 12.5f, 0.7f), circle(17.5f, by - 13, 1.9f));
        decoCol = P::yellow;
        break;
    case 4:
        deco = unite(intersect(ellipse(15, by - 2, 10, 8.5f), rectXY(4, by - 12, 26, by - 3.5f)), polygon({13, by - 9, 15, by - 15, 17, by - 9}));
        decoCol = P::grey;
        break;
    case 5:
        deco = unite(unite(ellipse(11.5f, by - 9, 2.2f, 3.4f), ellipse(15, by - 10.5f, 2.2f, 3.8f)), ellipse(18.5f, by - 9, 2, 3));
        decoCol = P::orange;
        break;
    }
    // Wings: far wing behind the body, near wing on top.
    const float sx = 12.5f, sy = by + 0.5f;
    Shape wingShape = uniteSmooth(ellipse(sx - 5.5f, sy, 6.8f, 3.4f), ellipse(sx - 9, sy + 1.5f, 3.5f, 2), 1.0f);
    Shape nearWing = rotate(wingShape, sx, sy, p.wing);
    Shape farWing = move(rotate(wingShape, sx, sy, p.wing + 12), 2.5f, -1.5f);
    bool showFar = p.tucked && p.wing >= 45;

    // Silhouette outline.
    Shape sil = unite(unite(body, tail), unite(beak, unite(legs, feet)));
    sil = unite(sil, deco);
    if (showFar) sil = unite(sil, farWing);
    c.fill(T(grow(sil, ol / k)), P::ink);
    if (showFar) c.fill(T(farWing), darken(L.wing, 0.35f));
    c.fill(T(legs), darken(L.feet, 0.15f));
    c.fill(T(feet), L.feet);
    c.fill(T(tail), darken(L.body, 0.2f));
    if (L.head == 4) {
        shaded(c, T(body), L.body, 1.4f);
        shaded(c, T(deco), decoCol, 1.0f);
    } else {
        shaded(c, T(deco), decoCol, 1.0f, false);
        shaded(c, T(body), L.body, 1.6f);
    }
    c.fill(T(intersect(ellipse(17.5f, by + 4.8f, 5.2f, 3.6f), body)), L.belly);
    c.fill(T(beak), L.beak);
    c.fill(T(intersect(beak, rectXY(20, by + 0.4f, 30, by + 6))), darken(L.beak, 0.25f));
    // Eye.
    float ex = L.cyclops ? 18.5f : 19.3f, ey = by - 3.0f;
    float er = L.cyclops ? 3.6f : 2.9f;
    if (p.dazed) {
        c.fill(T(unite(capsule(ex - 1.8f, ey - 1.8f, ex + 1.8f, ey + 1.8f, 0.6f), capsule(ex + 1.8f, ey - 1.8f, ex - 1.8f, ey + 1.8f, 0.6f))), P::ink);
    } else if (p.blink) {
        c.fill(T(capsule(ex - 2, ey + 0.5f, ex + 2, ey + 0.5f, 0.6f)), P::ink);
    } else {
        c.fill(T(grow(circle(ex, ey, er), ol / k * 0.8f)), P::ink);
        c.fill(T(circle(ex, ey, er)), P::white);
        c.fill(T(circle(ex + (L.cyclops ? 0.8f : 1.0f), ey + 0.3f, er * 0.52f)), L.angry ? P::wine : P::ink);
        c.fill(T(circle(ex - er * 0.35f, ey - er * 0.4f, er * 0.22f)), P::white);
        if (L.angry)
            c.fill(T(capsule(ex - er - 0.8f, ey - er - 0.8f, ex + er + 0.4f, ey - er + 1.3f, 0.8f)), P::ink);
    }
    // Near wing with its own outline so it reads against the body.
    c.fill(T(grow(nearWing, ol / k)), P::ink);
    shaded(c, T(nearWing), L.wing, 1.0f);
    // Feather line.
    c.fill(T(intersect(rotate(capsule(sx - 9, sy + 0.8f, sx - 3, sy + 0.8f, 0.35f), sx, sy, p.wing), nearWing)), darken(L.wing, 0.3f));
}

Pose walkPose(int i) {
    Pose p;
    const float fx[4] = {3, 0, -3, 0}, lift[4] = {0, 1.5f, 0, 0};
    p.frontX = fx[i];
    p.backX = -fx[i];
    p.frontLift = lift[i];
    p.backLift = i == 3 ? 1.5f : 0;
    p.bob = (i % 2) ? -1 : 0;
    p.wing = (i % 2) ? 8 : 12;
    return p;
}

Pose flyPose(int i) {
    Pose p;
    const float w[4] = {64, 18, -40, 6}, b[4] = {0.5f, 0, -0.5f, 0};
    p.wing = w[i];
    p.bob = b[i];
    p.tucked = true;
    p.frontX = 1;
    p.backX = -1;
    return p;
}

// One 16-frame block of a creature sheet.
void creatureFrame(Canvas& c, const Look& L, int f) {
    if (f <= 3) return creature(c, L, walkPose(f));
    if (f >= 8 && f <= 11) return creature(c, L, flyPose(f - 8));
    Pose p;
    switch (f) {
    case 4:
        p.dazed = true;
        p.wing = 75;
        p.tucked = true;
        return creature(c, L, p);
    case 5: p.blink = true; return creature(c, L, p);
    case 6: p.squash = 0.85f; p.bob = 1; return creature(c, L, p);
    case 7: p.wing = 40; p.frontLift = 2; p.backLift = 1; return creature(c, L, p);
    case 12: case 13: case 14: {
        p = flyPose(1);
        p.wing = 30 - (f - 12) * 20.0f;
        return creature(c, L, p);
    }
    case 15:
        c.glow(16, 16, 15.5f, lighten(L.body, 0.55f), 1.3f);
        c.glow(16, 16, 9, withA(P::white, 0.7f), 1.5f);
        return;
    }
}

Look playerLook(int block) {
    Look L;
    switch (block) {
    case 0: L = {P::teal, P::cream, P::sky, P::orange, P::orange, 0, false, false}; break;
    case 1: L = {P::lime, P::cream, P::green, P::orange, P::orange, 5, false, false}; break;
    case 2: L = {P::pink, P::cream, hex(0xffc0d4), P::yellow, P::orange, 5, false, false}; break;
    default: L = {P::violet, P::cream, hex(0xc8a0ff), P::yellow, P::orange, 0, false, false}; break;
    }
    return L;
}

Look baddieLook(int kind) {
    Look L;
    switch (kind) {
    case 0: L = {P::red, hex(0xffb08a), P::wine, P::yellow, P::yellow, 1, true, false}; break;
    case 1: L = {P::plum, hex(0xc8a0ff), P::violet, P::pink, P::pink, 2, true, false}; break;
    case 2: L = {P::green, P::lime, P::forest, P::orange, P::orange, 3, false, true}; break;
    default: L = {hex(0x46507e), P::pale, hex(0x8c96c8), P::orange, P::grey, 4, true, false}; break;
    }
    return L;
}

// ---------------------------------------------------------------- sheets
struct Sheet {
    std::string name;
    int fw, fh, frames, cols;
    bool crisp;
    std::function<void(Canvas&, int)> draw;
};

void drawGfx(Canvas& c, int i) { creatureFrame(c, playerLook(i / 16), i % 16); }
void drawGfx2(Canvas& c, int i) { creatureFrame(c, baddieLook(i / 16), i % 16); }

void drawHeart(Canvas& c, int) {
    Shape h = heartShape(16, 16.5f, 1.45f);
    c.fill(grow(h, 1.6f), P::ink);
    shaded(c, h, P::red, 2.0f, false);
    c.fill(ellipse(10.5f, 11.5f, 3, 2.2f), lighten(P::red, 0.55f));
    c.fill(circle(9.3f, 10.8f, 1.1f), P::white);
}

// Bricks: a floating slab filling x 4..124, y 5..27 of each 128 x 32 frame.
struct BrickStyle {
    Col top, body;
    int pattern;  // 0 pebbles 1 bricks 2 planks 3 rivets 4 facets 5 cracks 6 stripes 7 lights 8 puffs 9 checker
    bool drip;
};

void drawBrick(Canvas& c, int i) {
    const BrickStyle styles[16] = {
        {P::green, P::brown, 0, true},   {P::pale, P::grey, 1, false},      {hex(0xf08a6a), P::rust, 1, false},
        {P::white, P::sky, 5, true},     {P::tan, P::brown, 2, false},      {P::pale, P::slate, 3, false},
        {P::cream, P::yellow, 1, false}, {hex(0xd8b0ff), P::violet, 4, false}, {P::white, P::slate, 1, true},
        {P::orange, hex(0x4a2a3a), 5, false}, {P::lime, P::sea, 0, true}, {P::white, P::pink, 6, false},
        {P::cream, P::tan, 0, false},    {P::teal, P::night, 7, false},     {P::white, P::pale, 8, false},
        {P::white, P::blue, 9, false},
    };
    const BrickStyle& st = styles[i];
    Shape slab = rectXY(4, 6, 124, 26, 3.5f);
    if (st.pattern == 8) {
        slab = circle(-50, -50, 1);
        for (int k = 0; k < 7; ++k) slab = unite(slab, circle(14.0f + k * 16.7f, 16.5f + ((k % 2) ? 1.2f : -1.2f), 9 - (k % 3) * 0.8f));
        slab = intersect(slab, rectXY(3, 4, 125, 28));
    }
    c.fill(grow(slab, c.outline() * 1.2f), P::ink);
    shaded(c, slab, st.body, 2.0f, false);
    Shape inner = grow(intersect(slab, move(slab, -2, -2)), -0.5f);
    Col line = darken(st.body, 0.35f);
    switch (st.pattern) {
    case 0:
        for (int k = 0; k < 16; ++k) {
            float x = 10 + k * 7.3f + (k % 3) * 1.3f, y = 15 + ((k * 7) % 5) * 2.0f;
            c.fill(intersect(ellipse(x, y, 2.2f, 1.5f), inner), (k % 2) ? line : lighten(st.body, 0.2f));
        }
        break;
    case 1:
        for (int row = 0; row < 2; ++row) {
            float y0 = 12 + row * 7.0f;
            c.fill(intersect(rectXY(4, y0, 124, y0 + 1), slab), line);
            for (int k = 0; k < 9; ++k) {
                float x = 8 + k * 15.0f + (row ? 7.5f : 0);
                c.fill(intersect(rectXY(x, y0 + 1, x + 1, y0 + 7), slab), line);
            }
        }
        break;
    case 2:
        for (int k = 1; k < 6; ++k) c.fill(intersect(rectXY(4 + k * 20.0f, 6, 5 + k * 20.0f, 26), slab), line);
        for (int k = 0; k < 6; ++k) {
            c.fill(circle(10 + k * 20.0f, 13, 0.9f), line);
            c.fill(circle(10 + k * 20.0f, 21, 0.9f), line);
        }
        break;
    case 3:
        for (int k = 0; k < 8; ++k) {
            float x = 10 + k * 15.4f;
            c.fill(circle(x, 16, 1.6f), lighten(st.body, 0.5f));
            c.fill(circle(x + 0.5f, 16.5f, 0.8f), line);
        }
        c.fill(intersect(rectXY(4, 21, 124, 22), slab), line);
        break;
    case 4:
        for (int k = 0; k < 8; ++k) {
            float x = 12 + k * 15;
            c.fill(intersect(polygon({x, 11, x + 6, 17, x, 24, x - 6, 17}), inner), (k % 2) ? lighten(st.body, 0.35f) : line);
        }
        break;
    case 5:
        for (int k = 0; k < 6; ++k) {
            float x = 12 + k * 20;
            Col cc = st.pattern == 5 && i == 9 ? P::orange : lighten(st.body, 0.5f);
            float j = (k % 2) ? -1.0f : 1.0f;
            c.fill(intersect(unite(unite(capsule(x, 11, x + 3 * j, 15, 0.5f), capsule(x + 3 * j, 15, x + 1 * j, 19, 0.5f)), unite(capsule(x + 1 * j, 19, x + 4 * j, 24, 0.5f), capsule(x + 3 * j, 15, x + 7 * j, 16, 0.45f))), inner), cc);
        }
        break;
    case 6:
        for (int k = 0; k < 14; ++k) {
            float x = 2 + k * 10.0f;
            c.fill(intersect(polygon({x, 26, x + 4, 26, x + 12, 6, x + 8, 6}), inner), P::white);
        }
        break;
    case 7:
        c.fill(intersect(rectXY(4, 19, 124, 20), slab), P::ink);
        for (int k = 0; k < 10; ++k) {
            float x = 11 + k * 11.8f;
            c.fill(box(x, 15, 2.5f, 1.3f, 0.6f), (k % 3) ? P::teal : P::yellow);
        }
        break;
    case 8:
        break;
    case 9:
        for (int k = 0; k < 15; ++k)
            for (int r = 0; r < 2; ++r)
                if ((k + r) % 2) c.fill(intersect(rectXY(4 + k * 8.0f, 10 + r * 8.0f, 12 + k * 8.0f, 18 + r * 8.0f), inner), P::white);
        break;
    }
    // Top surface.
    if (st.pattern != 8) {
        Shape top = intersect(rectXY(4, 6, 124, 10.5f, 0), slab);
        if (st.drip) {
            for (int k = 0; k < 12; ++k) {
                float x = 9 + k * 10.3f + (k % 3);
                top = unite(top, intersect(ellipse(x, 10.5f, 2.6f, 1.8f + (k % 2) * 1.2f), slab));
            }
        }
        c.fill(top, st.top);
        c.fill(intersect(rectXY(6, 6.6f, 122, 7.6f), slab), lighten(st.top, 0.5f));
    } else {
        c.fill(intersect(slab, move(slab, 0, 3)), P::white);
    }
}

void drawParts(Canvas& c, int i) {
    int t = i % 16, v = i / 16;
    float k = 0.55f + 0.45f * (v % 4) / 3.0f;
    float rot = v * 23.0f;
    Col col = P::white;
    if (v >= 12) col = hex(0xdce8ff);
    else if (v >= 8) col = hex(0xfff4d8);
    const float cx = 4, cy = 4;
    switch (t) {
    case 0: c.fill(circle(cx, cy, 0.8f + 0.4f * k), col); break;
    case 1: c.fill(circle(cx, cy, 1.2f + 1.2f * k), col); break;
    case 2: c.glow(cx, cy, 2.5f + 1.4f * k, col, 1.2f); c.fill(circle(cx, cy, 0.8f), col); break;
    case 3: c.fill(starShape(cx, cy, 3.9f * k + 0.3f, 0.8f, 4, rot * 0.2f), col); break;
    case 4: c.fill(starShape(cx, cy + 0.3f, 3.8f * k + 0.2f, 1.6f * k + 0.2f, 5, rot), col); break;
    case 5: c.fill(rotate(polygon({cx, cy - 3.5f * k, cx + 2.2f * k, cy, cx, cy + 3.5f * k, cx - 2.2f * k, cy}), cx, cy, rot), col); break;
    case 6: c.fill(ring(cx, cy, 2.4f * k + 0.4f, 0.6f), col); break;
    case 7: c.fill(starShape(cx, cy, 3.8f * k + 0.2f, 0.9f, 4, 45 + rot * 0.1f), col); break;
    case 8: c.fill(unite(box(cx, cy, 2.2f * k + 0.3f, 0.5f), box(cx, cy, 0.5f, 2.2f * k + 0.3f)), col); break;
    case 9: c.fill(unite(circle(cx - 1.6f, cy - 1, 0.9f), circle(cx + 1.6f, cy + 1.2f, 0.7f + 0.4f * k)), col); break;
    case 10: c.fill(rotate(subtract(circle(cx, cy, 3 * k + 0.5f), circle(cx + 1.6f, cy - 1, 2.6f * k + 0.3f)), cx, cy, rot), col); break;
    case 11: c.fill(rotate(capsule(cx - 2.8f * k, cy, cx + 2.8f * k, cy, 0.6f), cx, cy, rot), col); break;
    case 12: c.fill(rotate(polygon({cx - 3 * k, cy - 1.2f, cx, cy - 3 * k, cx + 3 * k, cy - 1.2f, cx + 3 * k, cy + 1.2f, cx, cy + 3 * k, cx - 3 * k, cy + 1.2f}), cx, cy, rot), col); break;
    case 13: c.fill(heartShape(cx, cy, 0.25f + 0.15f * k), col); break;
    case 14: c.fill(rotate(polygon({cx, cy - 3.4f * k, cx + 2.6f * k, cy + 2.4f * k, cx - 2.2f * k, cy + 1.8f * k}), cx, cy, rot), col); break;
    default: c.fill(rotate(box(cx, cy, 1.6f * k + 0.4f, 1.0f * k + 0.4f), cx, cy, rot), col); break;
    }
}

// Round light button; the symbol is dark so that tinting keeps contrast.
void roundButton(Canvas& c, float cx, float cy, float r, Col face, int sym, float symK, Col symCol) {
    Shape d = circle(cx, cy, r);
    c.fill(grow(d, c.outline() * r / 12), P::ink);
    shaded(c, d, face, r * 0.12f, false);
    c.fill(ellipse(cx - r * 0.35f, cy - r * 0.45f, r * 0.4f, r * 0.22f), lighten(face, 0.6f));
    if (sym >= 0) {
        Shape s = symbol(sym, cx, cy, symK);
        c.fill(move(s, r * 0.05f, r * 0.07f), darken(face, 0.35f));
        c.fill(s, symCol);
    }
}

void drawIcons(Canvas& c, int i) {
    const int syms[16] = {kPause, kCross, kBack, kPlay, kHome, kSpeaker, -1, kNote, kStar, kCup, kRestart, kGear, kPlus, kMinus, kCheck, kInfo};
    if (i == 6) {
        c.glow(16, 16, 16, withA(P::white, 0.6f), 2.0f);
        Shape r = ring(16, 16, 13.2f, 1.7f);
        c.fill(grow(r, c.outline() * 0.8f), withA(P::ink, 0.8f));
        c.fill(r, P::white);
        return;
    }
    roundButton(c, 16, 16, 13.5f, P::white, syms[i], 0.95f, P::night);
}

void drawButtons(Canvas& c, int i) {
    const float cx = 32, cy = 32;
    switch (i) {
    case 0:
        roundButton(c, cx, cy, 28, P::green, kPlay, 2.2f, P::white);
        return;
    case 8: {
        Shape g = subtract(gearShape(cx, cy, 22.5f, 29.5f, 12, 0.42f), circle(cx, cy, 14.5f));
        c.fill(grow(g, c.outline() * 1.3f), P::ink);
        shaded(c, g, P::grey, 2.0f);
        for (int k = 0; k < 6; ++k) {
            float a = k * kPi / 3;
            c.fill(circle(cx + std::cos(a) * 18.5f, cy + std::sin(a) * 18.5f, 1.5f), P::slate);
        }
        return;
    }
    case 9: {
        Shape g = subtract(gearShape(cx, cy, 11.5f, 16, 8, 0.45f), circle(cx, cy, 7));
        c.fill(grow(g, c.outline() * 1.3f), P::ink);
        shaded(c, g, P::orange, 1.6f);
        return;
    }
    case 10: {
        Shape hub = circle(cx, cy, 6.5f);
        c.fill(grow(hub, c.outline() * 1.3f), P::ink);
        shaded(c, hub, P::yellow, 1.2f);
        c.fill(box(cx, cy, 4.5f, 1.1f, 0.5f), P::rust);
        c.fill(circle(cx - 2.5f, cy - 3, 1), P::white);
        return;
    }
    case 12: {
        Shape s = grow(starShape(cx, cy + 1.5f, 26, 12, 5, 0), 1.5f);
        c.fill(grow(s, c.outline() * 1.4f), P::ink);
        shaded(c, s, P::yellow, 2.5f);
        c.fill(circle(cx - 4, cy - 1, 2.4f), P::ink);
        c.fill(circle(cx + 4, cy - 1, 2.4f), P::ink);
        c.fill(intersect(ring(cx, cy + 3, 6, 1.2f), rectXY(cx - 8, cy + 4, cx + 8, cy + 12)), P::ink);
        return;
    }
    default: {
        const Col faces[16] = {P::green, P::blue, P::yellow, P::teal, P::orange, P::violet, P::pink, P::sky,
                               P::grey, P::orange, P::yellow, P::lime, P::yellow, P::red, P::blue, P::teal};
        const int syms[16] = {kPlay, kCup, kStar, kNote, kSpeaker, kInfo, kHeart, kBack, 0, 0, 0, kRestart, 0, kCross, kHome, kCheck};
        roundButton(c, cx, cy, 27, faces[i], syms[i], 2.0f, P::white);
        return;
    }
    }
}

void drawDpad(Canvas& c, int i) {
    switch (i) {
    case 0:
        c.fill(grow(circle(16, 16, 13.5f), c.outline()), P::ink);
        shaded(c, circle(16, 16, 13.5f), P::blue, 1.6f, false);
        c.fill(ring(16, 16, 11.5f, 0.6f), lighten(P::blue, 0.35f));
        c.fill(move(symbol(kUpChevron, 16, 16.5f, 0.9f), 0.6f, 0.8f), P::navy);
        c.fill(symbol(kUpChevron, 16, 16.5f, 0.9f), P::white);
        return;
    case 1: case 2: case 3: case 4: {
        const int a[4] = {kArrowU, kArrowR, kArrowD, kArrowL};
        roundButton(c, 16, 16, 13.5f, P::pale, a[i - 1], 0.95f, P::night);
        return;
    }
    case 5: {
        Shape cross = unite(box(16, 16, 13.5f, 5, 1.5f), box(16, 16, 5, 13.5f, 1.5f));
        c.fill(grow(cross, c.outline()), P::ink);
        shaded(c, cross, P::slate, 1.4f);
        c.fill(circle(16, 16, 2.2f), darken(P::slate, 0.3f));
        return;
    }
    case 6:
        c.fill(grow(circle(16, 16, 14), c.outline()), P::ink);
        c.fill(circle(16, 16, 14), withA(P::night, 0.8f));
        c.fill(ring(16, 16, 11, 0.7f), P::slate);
        return;
    case 7:
        c.fill(grow(circle(16, 16, 9), c.outline()), P::ink);
        shaded(c, circle(16, 16, 9), P::pale, 1.4f);
        return;
    case 8: case 9: case 10: case 11: {
        const Col f[4] = {P::green, P::red, P::blue, P::yellow};
        roundButton(c, 16, 16, 13.5f, f[i - 8], -1, 1, P::white);
        return;
    }
    default:
        return;
    }
}

// Grid text, cell = size of one font pixel; returns the width drawn.
float gridText(Canvas& c, const std::string& s, float x, float y, float cell, Col col, bool smooth = true) {
    float pen = x;
    for (char ch : s) {
        std::vector<std::string> rows = glyphRows(static_cast<unsigned char>(ch));
        if (ch == ' ') {
            pen += 4 * cell;
            continue;
        }
        Grid g = parseGrid(rows);
        c.fillGrid(g, pen, y, cell, col, smooth);
        pen += (g.w + 1) * cell;
    }
    return pen - x - cell;
}

float gridTextWidth(const std::string& s, float cell) {
    float w = 0;
    for (char ch : s) w += ch == ' ' ? 4 : static_cast<float>(parseGrid(glyphRows(static_cast<unsigned char>(ch))).w + 1);
    return (w - 1) * cell;
}

// Icon glyphs of the font: console style (frames 96..108) and keyboard
// style (frames 112..124), in the order J K L I U O Q E F W S A D.
void drawIconGlyph(Canvas& c, int idx, bool keyboard) {
    const float cx = 8, cy = 8;
    const float ol = c.outline() * 0.7f;
    const bool wide = idx == 4 || idx == 5;  // U and O get the wider advance
    if (keyboard) {
        const char* labels = "ZXCVBN";
        float hw = wide ? 6.5f : 5.5f;
        Shape cap = box(cx, cy, hw, 6.2f, 1.6f);
        c.fill(grow(cap, ol), P::ink);
        c.fill(cap, P::grey);
        c.fill(box(cx, cy - 0.8f, hw - 1.0f, 5.2f, 1.2f), P::white);
        if (idx < 6 || idx == 7 || idx == 8) {
            char ch = idx < 6 ? labels[idx] : (idx == 7 ? 'E' : 'F');
            Grid g = parseGrid(glyphRows(ch));
            c.fillGrid(g, std::floor(cx - g.w / 2.0f), cy - 4.8f, 1, P::night, true);
        } else if (idx == 6) {
            c.fill(symbol(kBack, cx, cy - 0.8f, 0.42f), P::night);
        } else {
            const int a[4] = {kArrowU, kArrowD, kArrowL, kArrowR};
            c.fill(symbol(a[idx - 9], cx, cy - 0.8f, 0.42f), P::night);
        }
        return;
    }
    if (idx < 4) {
        const Col f[4] = {P::green, P::red, P::blue, P::yellow};
        Shape d = circle(cx, cy, 5.4f);
        c.fill(grow(d, ol), P::ink);
        shaded(c, d, f[idx], 0.8f, false);
        c.fill(circle(cx - 1.8f, cy - 2, 1.2f), lighten(f[idx], 0.7f));
    } else if (wide) {
        Shape sh = box(cx, cy, 6.4f, 4, 2.5f);
        c.fill(grow(sh, ol), P::ink);
        shaded(c, sh, P::pale, 0.8f, false);
        Grid g = parseGrid(idx == 4 ? std::vector<std::string>{"#..", "#..", "#..", "#..", "###"}
                                    : std::vector<std::string>{"##.", "#.#", "##.", "#.#", "#.#"});
        c.fillGrid(g, cx - 1.5f, cy - 2.5f, 1, P::night, true);
    } else if (idx < 9) {
        Shape sh = box(cx, cy, 5.5f, 3, 3);
        c.fill(grow(sh, ol), P::ink);
        c.fill(sh, P::slate);
        if (idx == 6) c.fill(symbol(kBack, cx, cy, 0.3f), P::white);
        if (idx == 7) c.fill(box(cx, cy, 2.5f, 0.8f), P::white);
        if (idx == 8) c.fill(symbol(kPlay, cx, cy, 0.3f), P::white);
    } else {
        Shape cross = unite(box(cx, cy, 5.5f, 2, 0.6f), box(cx, cy, 2, 5.5f, 0.6f));
        c.fill(grow(cross, ol), P::ink);
        c.fill(cross, P::slate);
        const float dx[4] = {0, 0, -3.5f, 3.5f}, dy[4] = {-3.5f, 3.5f, 0, 0};
        c.fill(box(cx + dx[idx - 9], cy + dy[idx - 9], 1.6f, 1.6f, 0.4f), P::yellow);
    }
}

void drawFont(Canvas& c, int frame) {
    if (frame >= 96) {
        int rel = frame - 96;
        if (rel < 13) drawIconGlyph(c, rel, false);
        else if (rel >= 16 && rel < 29) drawIconGlyph(c, rel - 16, true);
        return;
    }
    Grid g = parseGrid(glyphRows(frame + 32));
    if (g.w == 0) return;
    c.fillGrid(g, 6, 4, 1, withA(P::ink, 0.85f), true);
    c.fillGrid(g, 5, 3, 1, P::white, true);
}

void drawBrio(Canvas& c, int frame) {
    Grid g = parseGrid(glyphRows(frame + 32));
    if (g.w == 0) return;
    c.fillGrid(g, 1 + (8 - g.w) / 2, 4, 1, P::white, false);
}

// Big "Zelk" letters.
Shape logoLetters() {
    const float r = 8;
    Shape z = unite(unite(capsule(40, 30, 88, 30, r), capsule(88, 30, 40, 92, r)), capsule(40, 92, 90, 92, r));
    Shape e = unite(subtract(ring(120, 72, 16.5f, 7), polygon({120, 72, 145, 72, 145, 84, 120, 78})), capsule(104, 71, 136, 71, 5));
    Shape l = capsule(156, 26, 156, 92, r);
    Shape k = unite(unite(capsule(176, 26, 176, 92, r), capsule(178, 76, 200, 54, r * 0.85f)), capsule(184, 72, 202, 92, r * 0.85f));
    return unite(unite(z, e), unite(l, k));
}

void drawLogo(Canvas& c, int) {
    Shape s = logoLetters();
    c.fill(move(grow(s, 5), 3, 5), withA(P::ink, 0.55f));
    c.fill(grow(s, 5), P::ink);
    c.fill(grow(s, 2.5f), P::white);
    c.fill(s, [](float, float y) { return mix(P::yellow, P::orange, std::min(1.0f, std::max(0.0f, (y - 30) / 62))); });
    c.fill(intersect(s, rectXY(0, 0, 256, 44)), P::cream);
    c.fill(intersect(grow(s, -4), move(rectXY(0, 80, 256, 128), 0, 0)), withA(P::rust, 0.6f));
    // Little wings on the Z and a few sparkles.
    Shape wing = unite(unite(ellipse(22, 40, 14, 5), ellipse(24, 48, 11, 4)), ellipse(27, 55, 7, 3));
    wing = rotate(wing, 34, 46, -18);
    c.fill(grow(wing, 2.5f), P::ink);
    shaded(c, wing, P::sky, 2);
    for (int k = 0; k < 4; ++k) {
        const float px[4] = {222, 232, 100, 212}, py[4] = {24, 44, 18, 100}, pr[4] = {8, 5, 6, 5};
        c.fill(grow(starShape(px[k], py[k], pr[k], pr[k] * 0.3f, 4, 0), 1.2f), P::ink);
        c.fill(starShape(px[k], py[k], pr[k], pr[k] * 0.3f, 4, 0), P::cream);
    }
}

void drawStudio(Canvas& c, int) {
    const float cx = 128, cy = 112;
    Shape disc = circle(cx, cy, 84);
    c.fill(grow(disc, 4), P::ink);
    c.fill(disc, P::night);
    c.fill(ring(cx, cy, 78, 3), P::teal);
    c.fill(ring(cx, cy, 70, 1), withA(P::teal, 0.5f));
    // Star field inside the emblem.
    for (int k = 0; k < 14; ++k) {
        float a = k * 2.4f, rr = 30 + (k * 37 % 36);
        c.fill(circle(cx + std::cos(a) * rr, cy + std::sin(a) * rr - 10, 0.9f + (k % 3) * 0.5f), withA(P::white, 0.8f));
    }
    Pose p = flyPose(0);
    creature(c, playerLook(0), p, 3.6f, cx - 16 + 4, cy - 16 - 6);
    // Name plate.
    Shape plate = rectXY(28, 180, 228, 228, 10);
    c.fill(grow(plate, 4), P::ink);
    shaded(c, plate, P::blue, 3, false);
    const std::string name = "ZELK TEAM";
    float cell = 3.2f;
    float w = gridTextWidth(name, cell);
    gridText(c, name, cx - w / 2 + cell * 0.8f, 191 + cell * 0.8f, cell, P::ink);
    gridText(c, name, cx - w / 2, 191, cell, P::white);
}

void drawTestcard(Canvas& c, int) {
    const float cx = 128, cy = 128, R = 120;
    Shape disc = circle(cx, cy, R);
    c.fill(grow(disc, 4), P::ink);
    c.fill(disc, P::slate);
    // Grid.
    for (int k = -7; k <= 7; ++k) {
        c.fill(intersect(rectXY(cx + k * 16 - 0.7f, 0, cx + k * 16 + 0.7f, 256), disc), P::pale);
        c.fill(intersect(rectXY(0, cy + k * 16 - 0.7f, 256, cy + k * 16 + 0.7f), disc), P::pale);
    }
    // Colour bars and grey steps.
    const Col bars[8] = {P::white, P::yellow, P::teal, P::green, P::pink, P::red, P::blue, P::ink};
    for (int k = 0; k < 8; ++k)
        c.fill(intersect(rectXY(16 + k * 28.0f, 72, 16 + (k + 1) * 28.0f, 112), disc), bars[k]);
    for (int k = 0; k < 6; ++k)
        c.fill(intersect(rectXY(16 + k * 37.4f, 150, 16 + (k + 1) * 37.4f, 176), disc), mix(P::ink, P::white, k / 5.0f));
    for (int k = 0; k < 12; ++k)
        c.fill(intersect(rectXY(76 + k * 9.0f, 184, 76 + k * 9.0f + 4.5f, 206), disc), P::white);
    c.fill(intersect(rectXY(0, 40, 256, 46), disc), P::orange);
    // Centre circle with our hero.
    c.fill(grow(circle(cx, cy + 2, 34), 3), P::ink);
    c.fill(circle(cx, cy + 2, 34), P::night);
    c.fill(ring(cx, cy + 2, 34, 1.5f), P::white);
    creature(c, playerLook(0), walkPose(0), 1.9f, cx - 16, cy - 16 + 2);
    c.fill(ring(cx, cy, R - 6, 2), P::white);
    c.fill(intersect(rectXY(cx - 0.8f, 8, cx + 0.8f, 248), subtract(disc, circle(cx, cy + 2, 37))), withA(P::white, 0.7f));
    c.fill(intersect(rectXY(8, cy - 0.8f, 248, cy + 0.8f), subtract(disc, circle(cx, cy + 2, 37))), withA(P::white, 0.7f));
    const std::string t = "ZELK";
    float w = gridTextWidth(t, 2.5f);
    Shape plate = rectXY(cx - w / 2 - 6, 10, cx + w / 2 + 6, 38, 4);
    c.fill(grow(plate, 2), P::ink);
    c.fill(plate, P::night);
    gridText(c, t, cx - w / 2, 14, 2.5f, P::white);
}

// A ridge line y = f(x); everything below it is inside.
Shape ridge(std::function<float(float)> f, float top, float bottom) {
    return Shape{[f](float x, float y) { return (f(x) - y) * 0.85f; }, 0, top, 256, bottom};
}

void drawMenu(Canvas& c, int frame) {
    if (frame == 1) {  // a cloud
        Shape cl = unite(unite(circle(100, 140, 30), circle(140, 125, 38)), unite(circle(180, 145, 26), rectXY(80, 140, 200, 170, 14)));
        c.fill(grow(cl, 2.5f), P::ink);
        shaded(c, cl, P::white, 5, false);
        return;
    }
    if (frame == 2 || frame == 0) {
        float mx = frame == 0 ? 36 : 128, my = frame == 0 ? 82 : 128, mr = frame == 0 ? 22 : 80;
        c.glow(mx, my, mr * 1.8f, withA(P::cream, 0.35f), 2);
        Shape moon = circle(mx, my, mr);
        c.fill(grow(moon, 1.5f), P::ink);
        shaded(c, moon, P::cream, mr * 0.12f, false);
        const float cxs[3] = {-0.3f, 0.35f, 0.1f}, cys[3] = {-0.2f, 0.1f, 0.5f}, crs[3] = {0.25f, 0.18f, 0.13f};
        for (int k = 0; k < 3; ++k) {
            Shape cr = circle(mx + cxs[k] * mr, my + cys[k] * mr, crs[k] * mr);
            c.fill(cr, darken(P::cream, 0.15f));
            c.fill(intersect(cr, move(cr, mr * 0.05f, mr * 0.05f)), darken(P::cream, 0.25f));
        }
        if (frame == 2) return;
    }
    if (frame == 3) {  // floating island
        Shape top = rectXY(40, 110, 216, 130, 8);
        Shape rock = polygon({44, 124, 212, 124, 170, 180, 128, 210, 90, 180});
        c.fill(grow(unite(top, rock), 2.5f), P::ink);
        shaded(c, rock, P::brown, 5, false);
        shaded(c, top, P::green, 3);
        return;
    }
    // Title scene: mountains, hills, ground, trees and our hero.
    Shape mountains = ridge([](float x) { return 112 + 10 * std::sin(x * 0.045f + 0.5f) + 7 * std::sin(x * 0.12f + 2); }, 88, 256);
    c.fill(grow(mountains, 1.5f), P::ink);
    c.fill(mountains, [](float, float y) { return mix(hex(0x5a4a9a), P::night, std::min(1.0f, (y - 98) / 60)); });
    Shape snow = intersect(mountains, ridge([](float x) { return 120 + 10 * std::sin(x * 0.045f + 0.5f) + 7 * std::sin(x * 0.12f + 2) - 4 * std::sin(x * 0.7f); }, 88, 256));
    c.fill(subtract(mountains, snow), hex(0x8a7ac8));
    Shape hills = ridge([](float x) { return 138 + 7 * std::sin(x * 0.03f + 3) + 4 * std::sin(x * 0.09f); }, 118, 256);
    c.fill(grow(hills, 1.5f), P::ink);
    c.fill(hills, [](float, float y) { return mix(P::sea, hex(0x123a44), std::min(1.0f, (y - 128) / 40)); });
    for (int k = 0; k < 9; ++k) {
        float x = 12 + k * 29.0f + (k % 2) * 7, y = 134 + 7 * std::sin(x * 0.03f + 3) + 4 * std::sin(x * 0.09f);
        Shape tree = unite(circle(x, y - 6, 6 + (k % 3)), rectXY(x - 1.2f, y - 4, x + 1.2f, y + 3));
        c.fill(grow(tree, 1.2f), P::ink);
        shaded(c, tree, P::forest, 2);
    }
    Shape ground = ridge([](float x) { return 156 + 3 * std::sin(x * 0.05f + 1); }, 146, 256);
    c.fill(grow(ground, 1.5f), P::ink);
    c.fill(ground, P::soil);
    Shape grass = intersect(ground, ridge([](float x) { return 164 + 3 * std::sin(x * 0.05f + 1) + 1.5f * std::sin(x * 0.9f); }, 146, 256));
    c.fill(subtract(ground, grass), P::green);
    c.fill(intersect(ground, subtract(ridge([](float x) { return 157.5f + 3 * std::sin(x * 0.05f + 1); }, 146, 256),
                                      ridge([](float x) { return 159.2f + 3 * std::sin(x * 0.05f + 1); }, 146, 256))),
           P::lime);
    for (int k = 0; k < 12; ++k) {
        float x = 10 + k * 21.0f, y = 176 + (k * 7 % 60);
        c.fill(ellipse(x, y, 2.5f, 1.5f), darken(P::soil, 0.3f));
    }
    float gy = 156 + 3 * std::sin(52 * 0.05f + 1);
    creature(c, playerLook(0), walkPose(0), 1, 52 - 16, gy - 29.6f);
    // A floating brick with a baddie far to the right.
    Shape plat = rectXY(150, 104, 198, 111, 2.5f);
    c.fill(grow(plat, 1.2f), P::ink);
    shaded(c, plat, P::grey, 1.5f, false);
    c.fill(rectXY(150.5f, 104.5f, 197.5f, 106.5f, 1), P::green);
    creature(c, baddieLook(0), walkPose(0), 1, 174 - 16 + 0.5f, 104 - 29.6f);
}

void drawBadge(Canvas& c, int i) {
    const Col metals[6] = {P::yellow, P::pale, hex(0xe0904c), P::teal, P::pink, P::sky};
    const Col ribbons[5] = {P::blue, P::red, P::green, P::violet, P::orange};
    const int syms[16] = {kStar, kHeart, kWing, kBolt, kCrown, kCup, kDiamond, kMoon, kEye, kFlag, kNote, kCheck, kPlay, kGear, kPlus, kUpChevron};
    Col metal = metals[i % 6];
    Col rib = ribbons[(i / 6 + i) % 5];
    int sym = i == 0 ? kStar : syms[(i * 7) % 16];
    Shape r1 = polygon({20, 4, 30, 4, 34, 30, 26, 28});
    Shape r2 = polygon({44, 4, 34, 4, 30, 30, 38, 28});
    c.fill(grow(unite(r1, r2), c.outline() * 1.2f), P::ink);
    c.fill(r1, rib);
    c.fill(r2, darken(rib, 0.25f));
    c.fill(intersect(r1, rectXY(23, 4, 26, 30)), lighten(rib, 0.35f));
    Shape medal = (i % 3 == 1) ? grow(starShape(32, 40, 20, 15, 12, 0), 0.5f)
                               : ((i % 3 == 2) ? box(32, 40, 16, 16, 4) : circle(32, 40, 18.5f));
    if (i % 3 == 2) medal = rotate(medal, 32, 40, 45);
    c.fill(grow(medal, c.outline() * 1.3f), P::ink);
    shaded(c, medal, metal, 2.2f);
    Shape inner = circle(32, 40, 12.5f);
    c.fill(inner, darken(metal, 0.2f));
    c.fill(intersect(inner, move(inner, 1.2f, 1.2f)), darken(metal, 0.32f));
    Shape s = symbol(sym, 32, 40, 1.15f);
    c.fill(move(s, 0.8f, 1), darken(metal, 0.55f));
    c.fill(s, lighten(metal, 0.65f));
}

std::vector<Sheet> sheets() {
    return {
        {"common/icons", 32, 32, 16, 4, true, drawIcons},
        {"common/Buttons", 64, 64, 16, 4, false, drawButtons},
        {"common/dpad", 32, 32, 16, 4, true, drawDpad},
        {"common/VELDLogo", 256, 256, 1, 1, false, drawStudio},
        {"common/Testcard_Circle", 256, 256, 1, 1, false, drawTestcard},
        {"fonts/editundo", 16, 16, 128, 16, true, drawFont},
        {"menu", 256, 256, 4, 2, false, drawMenu},
        {"logo", 256, 128, 1, 1, false, drawLogo},
        {"parts", 8, 8, 256, 16, false, drawParts},
        {"BadgesA", 64, 64, 64, 8, false, drawBadge},
        {"gfx", 32, 32, 64, 8, true, drawGfx},
        {"bricks", 128, 32, 16, 4, true, drawBrick},
        {"gfx2", 32, 32, 64, 8, true, drawGfx2},
        {"heart", 32, 32, 1, 1, true, drawHeart},
    };
}

bool renderSheet(const Sheet& sh, int scale, const std::string& path) {
    int rows = (sh.frames + sh.cols - 1) / sh.cols;
    Canvas c(sh.fw * sh.cols, sh.fh * rows, scale, sh.crisp && scale == 1);
    for (int i = 0; i < sh.frames; ++i) {
        c.setCell(static_cast<float>((i % sh.cols) * sh.fw), static_cast<float>((i / sh.cols) * sh.fh),
                  static_cast<float>(sh.fw), static_cast<float>(sh.fh));
        sh.draw(c, i);
    }
    return writePng(path, c);
}

}  // namespace

std::vector<ImageEntry> imageTable() {
    std::vector<ImageEntry> out;
    for (const Sheet& s : sheets()) out.push_back({s.name, s.fw, s.fh, s.frames, s.cols});
    return out;
}

void drawPlayerFrame(Canvas& c, int frame) {
    for (const Sheet& s : sheets())
        if (s.name == "gfx") s.draw(c, frame);
}

bool writeImages(const std::string& outDir, const std::string& only) {
    bool ok = true;
    const char* suffix[3] = {"", "-hd", "-hd2"};
    const int scales[3] = {1, 2, 4};
    for (const Sheet& s : sheets()) {
        if (!only.empty() && s.name.find(only) == std::string::npos) continue;
        for (int k = 0; k < 3; ++k) {
            std::string path = outDir + "/" + s.name + suffix[k] + ".png";
            if (!renderSheet(s, scales[k], path)) {
                std::fprintf(stderr, "cannot write %s\n", path.c_str());
                ok = false;
            }
        }
    }
    if (only.empty() || std::string("brio_font").find(only) != std::string::npos) {
        Sheet brio{"brio_font", 10, 16, 96, 96, true, drawBrio};
        ok = renderSheet(brio, 1, outDir + "/brio_font.png") && ok;
    }
    return ok;
}

}  // namespace assetgen
