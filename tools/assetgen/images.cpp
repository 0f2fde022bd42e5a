// Every image sheet of the game, drawn in design pixels.
#include "tools/assetgen/images.h"

#include <algorithm>
#include <cstdint>
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
    bool bat = false;  // pointed membrane wings and a barbed tail (baddies)
    float rx = 9.2f, ry = 8.6f;  // body radii
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
    Shape body = ellipse(15, by, L.rx, L.ry * p.squash);
    Shape tail = L.bat ? unite(capsule(8.5f, by + 1, 3.5f, by + 3.5f, 0.8f), polygon({4.8f, by + 1.2f, 0.8f, by + 4.6f, 4.4f, by + 5.6f}))
                       : polygon({8, by - 1, 3, by - 5, 4.5f, by + 1.5f, 8, by + 3});
    // Face and head follow the body's front and top.
    const float front = L.rx - 9.2f, head = 8.6f - L.ry;
    Shape beak = grow(polygon({22.5f, by - 2.2f, 28.5f, by + 0.2f, 22.5f, by + 2.8f}), 0.4f);
    if (p.dazed) beak = unite(beak, grow(polygon({22.5f, by + 2, 27, by + 4.5f, 22, by + 4.5f}), 0.3f));
    beak = move(beak, front, 0);
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
        decoCol = hex(0xc8bca0);
        break;
    case 2:
        deco = unite(polygon({9, by - 5, 7.5f, by - 14, 13.5f, by - 7}), polygon({16, by - 7.5f, 20, by - 14.5f, 20.5f, by - 5}));
        break;
    case 3:
        deco = unite(capsule(15, by - 7, 17, by - 12.5f, 0.7f), circle(17.5f, by - 13, 1.9f));
        decoCol = hex(0xc09040);
        break;
    case 4:
        deco = unite(intersect(ellipse(15, by - 2, 10, 8.5f), rectXY(4, by - 12, 26, by - 3.5f)), polygon({13, by - 9, 15, by - 15, 17, by - 9}));
        decoCol = hex(0x8a90a8);
        break;
    case 5:
        deco = unite(unite(ellipse(11.5f, by - 9, 2.2f, 3.4f), ellipse(15, by - 10.5f, 2.2f, 3.8f)), ellipse(18.5f, by - 9, 2, 3));
        decoCol = P::orange;
        break;
    }
    deco = move(deco, front * 0.5f, head);
    // Wings: far wing behind the body, near wing on top.
    const float sx = 12.5f, sy = by + 0.5f;
    Shape wingShape = uniteSmooth(ellipse(sx - 5.5f, sy, 6.8f, 3.4f), ellipse(sx - 9, sy + 1.5f, 3.5f, 2), 1.0f);
    if (L.bat) {
        // A pointed membrane with a scalloped trailing edge.
        Shape membrane = polygon({sx + 1, sy - 2.2f, sx - 13, sy - 3.6f, sx - 11, sy + 4.2f, sx - 1, sy + 3.8f});
        wingShape = subtract(subtract(subtract(membrane, circle(sx - 9.2f, sy + 5.8f, 2.4f)), circle(sx - 4.8f, sy + 5.6f, 2.2f)),
                             circle(sx - 13.4f, sy + 1.6f, 1.6f));
    }
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
    float ex = (L.cyclops ? 18.5f : 19.3f) + front * 0.7f, ey = by - 3.0f + head * 0.6f;
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
    // Feather line, or the membrane's finger bones.
    if (L.bat) {
        Shape bones = unite(capsule(sx, sy - 1.2f, sx - 11.5f, sy - 2.6f, 0.35f), capsule(sx - 1, sy - 0.8f, sx - 7, sy + 3.2f, 0.35f));
        c.fill(T(intersect(rotate(bones, sx, sy, p.wing), nearWing)), darken(L.wing, 0.45f));
    } else {
        c.fill(T(intersect(rotate(capsule(sx - 9, sy + 0.8f, sx - 3, sy + 0.8f, 0.35f), sx, sy, p.wing), nearWing)), darken(L.wing, 0.3f));
    }
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
    // Player one is the brightest, most saturated figure on the field.
    case 0: L = {hex(0x1ee0cc), hex(0xfff4b0), hex(0xa6f0ff), hex(0xff9a2a), hex(0xff9a2a), 0, false, false}; break;
    case 1: L = {P::lime, P::cream, P::green, P::orange, P::orange, 5, false, false}; break;
    case 2: L = {P::pink, P::cream, hex(0xffc0d4), P::yellow, P::orange, 5, false, false}; break;
    default: L = {P::violet, P::cream, hex(0xc8a0ff), P::yellow, P::orange, 0, false, false}; break;
    }
    return L;
}

Look baddieLook(int kind) {
    Look L;
    switch (kind) {
    // Baddies are darker and duller than the player, with bat wings, barbed
    // tails and their own head shapes, so they differ from the player in
    // outline, colour and lightness (a grey screenshot still tells them
    // apart).
    case 0: L = {hex(0x8e2a3a), hex(0xb87a78), hex(0x5c1c2a), hex(0xc8a040), hex(0x8a6a40), 1, true, false, true, 10.6f, 7.4f}; break;
    case 1: L = {hex(0x5a4886), hex(0x8e82ae), hex(0x3a2e62), hex(0xa87890), hex(0x7a6a8a), 2, true, false, true, 8.0f, 9.4f}; break;
    case 2: L = {hex(0x86582e), hex(0xb08e64), hex(0x55381c), hex(0xa89060), hex(0x6a5036), 3, false, true, true, 10.4f, 9.6f}; break;
    default: L = {hex(0x4a5068), hex(0x8a8ea0), hex(0x30354a), hex(0xa08a60), hex(0x6a6c7a), 4, true, false, true, 10.2f, 8.0f}; break;
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

// Bricks: a floating slab filling x 4..124, y 6..26 of each 128 x 32 frame.
// Play draws them with the floor's red still set, so only the red channel
// of these pictures reaches the screen: every material is a light, nearly
// neutral grey whose detail lives in its lightness (a bright top edge, a
// darker underside, mortar, seams, grain and highlights), and the sixteen
// differ in pattern and outline rather than in hue.
namespace B {
const Col top = hex(0xfcfaf6);     // lit top edge
const Col light = hex(0xd6d2ca);   // lit faces
const Col mid = hex(0xa8a49c);     // plain faces
const Col dim = hex(0x7c7872);     // shaded faces
const Col dark = hex(0x52504c);    // mortar, seams
const Col deep = hex(0x2c2a28);    // gaps, holes
Col warm(Col c) { return Col{std::min(1.0f, c.r * 1.02f), c.g * 0.99f, c.b * 0.95f, c.a}; }
Col cool(Col c) { return Col{c.r * 0.97f, c.g * 0.99f, std::min(1.0f, c.b * 1.04f), c.a}; }
}  // namespace B

// Small deterministic hash in 0..1 for per-stone variation.
float hash01(int a, int b) {
    uint32_t h = static_cast<uint32_t>(a) * 374761393u + static_cast<uint32_t>(b) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return static_cast<float>((h ^ (h >> 16)) & 0xffff) / 65535.0f;
}

// A lit face: light from above, so the top of the face is brighter.
ColFn faceShade(Col hi, Col lo, float y0, float y1) {
    return [=](float, float y) { return mix(hi, lo, std::min(1.0f, std::max(0.0f, (y - y0) / (y1 - y0)))); };
}

// A bevelled block: light upper-left edge, dark lower-right edge.
void bevelBlock(Canvas& c, const Shape& s, Col face, float k = 1.2f) {
    c.fill(s, darken(face, 0.38f));
    c.fill(intersect(s, move(s, -k, -k)), lighten(face, 0.45f));
    c.fill(intersect(intersect(s, move(s, -k, -k)), move(s, k, k)), face);
}

void drawBrick(Canvas& c, int i) {
    const float ol = c.outline() * 1.2f;
    Shape slab = rectXY(4, 6, 124, 26, 3.5f);
    Shape body = intersect(slab, rectXY(0, 9, 128, 32));     // below the top edge
    auto outlineAndBase = [&](const Shape& sil, Col face) {
        c.fill(grow(sil, ol), P::ink);
        c.fill(sil, faceShade(face, darken(face, 0.2f), 9, 26));
    };
    // Lit from above: a bright lip on top with a seam under it, and the
    // underside in shadow.
    auto topAndUnder = [&](const Shape& sil, Col topCol) {
        c.fill(intersect(sil, rectXY(0, 0, 128, 9.5f)), topCol);
        c.fill(intersect(sil, rectXY(0, 6, 128, 7.4f)), P::white);
        c.fill(intersect(sil, rectXY(0, 9.5f, 128, 10.5f)), withA(B::deep, 0.7f));
        c.fill(intersect(sil, rectXY(0, 23, 128, 32)), withA(B::deep, 0.55f));
    };
    switch (i) {
    case 0: {  // fieldstone: rough stones of different sizes in dark mortar
        outlineAndBase(slab, B::dark);
        float x = 5.4f;
        for (int k = 0; x < 122; ++k) {
            float w = 10 + 8 * hash01(k, 3);
            float x1 = std::min(122.6f, x + w);
            float top = 10.2f + 1.6f * hash01(k, 4), bottom = 24.8f - 1.6f * hash01(k, 5);
            Shape st = intersect(rectXY(x, top, x1, bottom, 2.8f), slab);
            Col face = mix(B::dim, B::top, hash01(k + 7, 1));
            c.fill(st, darken(face, 0.3f));
            c.fill(intersect(st, move(st, -1.1f, -1.1f)), face);
            c.fill(intersect(st, rectXY(x, top, x1, top + 1.6f)), lighten(face, 0.4f));
            for (int d = 0; d < 3; ++d)
                c.fill(intersect(circle(x + w * hash01(k, d + 10), top + 3 + (bottom - top - 5) * hash01(d, k + 20), 0.7f), st),
                       darken(face, 0.45f));
            x = x1 + 1.3f;
        }
        topAndUnder(slab, B::light);
        break;
    }
    case 1: {  // bricks: running bond with deep mortar
        outlineAndBase(slab, B::dark);
        for (int row = 0; row < 3; ++row)
            for (int k = -1; k < 12; ++k) {
                float x0 = 4 + k * 11.0f + (row % 2 ? 5.5f : 0), y0 = 9.6f + row * 4.8f;
                Shape br = intersect(rectXY(x0 + 0.7f, y0 + 0.7f, x0 + 10.3f, y0 + 4.3f, 0.5f), body);
                bevelBlock(c, br, mix(B::mid, B::light, 0.4f + 0.6f * hash01(k + 3, row + 5)), 0.8f);
            }
        topAndUnder(slab, B::light);
        break;
    }
    case 2: {  // boards: upright planks with grain, nails top and bottom
        outlineAndBase(slab, B::deep);
        for (int k = 0; k < 10; ++k) {
            float x0 = 4.6f + k * 12.0f;
            Shape bd = intersect(rectXY(x0, 6.6f, x0 + 11.2f, 25.4f, 0.8f), slab);
            Col face = (k % 2) ? B::warm(B::mid) : B::warm(B::light);
            c.fill(bd, [=](float x, float y) {
                float g = 0.5f + 0.5f * std::sin(x * 1.9f + 0.9f * std::sin(y * 0.35f + k));
                return mix(face, B::warm(B::dim), g * 0.5f);
            });
            c.fill(intersect(rectXY(x0, 6.6f, x0 + 11.2f, 8.2f), bd), B::warm(B::top));
            c.fill(circle(x0 + 5.6f, 10.5f, 0.8f), B::deep);
            c.fill(circle(x0 + 5.6f, 22, 0.8f), B::deep);
        }
        c.fill(intersect(slab, rectXY(0, 23.5f, 128, 32)), withA(B::deep, 0.5f));
        break;
    }
    case 3: {  // riveted steel plates
        outlineAndBase(slab, B::cool(B::mid));
        for (int k = 0; k < 3; ++k) {
            Shape pl = intersect(rectXY(5 + k * 40.0f, 9.5f, 43 + k * 40.0f, 25.5f, 1.2f), slab);
            bevelBlock(c, pl, B::cool(B::dim), 1.3f);
            float sx = 14 + k * 40.0f;
            c.fill(intersect(polygon({sx - 2, 24, sx + 7, 24, sx + 14, 11, sx + 5, 11}), grow(pl, -1.3f)), P::white);
            c.fill(intersect(polygon({sx + 9, 24, sx + 11.5f, 24, sx + 18.5f, 11, sx + 16, 11}), grow(pl, -1.3f)), B::cool(B::light));
            for (float rx : {9.5f + k * 40.0f, 38.5f + k * 40.0f})
                for (float ry : {13.0f, 22.0f}) {
                    c.fill(circle(rx + 0.5f, ry + 0.5f, 1.8f), B::deep);
                    c.fill(circle(rx, ry, 1.6f), B::light);
                    c.fill(circle(rx - 0.5f, ry - 0.5f, 0.7f), P::white);
                }
        }
        topAndUnder(slab, B::cool(B::top));
        break;
    }
    case 4: {  // tread plate: raised diagonal ridges
        outlineAndBase(slab, B::cool(B::dark));
        for (int r = 0; r < 3; ++r)
            for (int k = 0; k < 15; ++k) {
                float x = 9 + k * 8.0f + (r % 2) * 4, y = 12.5f + r * 4.6f;
                float d = ((k + r) % 2) ? 1.6f : -1.6f;
                Shape rid = intersect(capsule(x - 2, y - d, x + 2, y + d, 0.9f), grow(body, -0.8f));
                c.fill(move(rid, 0.5f, 0.6f), B::deep);
                c.fill(rid, B::top);
            }
        topAndUnder(slab, B::cool(B::light));
        break;
    }
    case 5: {  // cracked stone slab with chipped corners
        Shape chipped = subtract(subtract(slab, circle(122, 25, 4)), circle(6, 26, 2.5f));
        outlineAndBase(chipped, B::light);
        c.fill(intersect(chipped, rectXY(0, 18, 128, 32)), B::dim);
        for (int k = 0; k < 3; ++k) {
            float x = 22 + k * 40.0f, j = (k % 2) ? -1.0f : 1.0f;
            Shape cr = unite(unite(capsule(x, 9.5f, x + 3 * j, 14, 0.8f), capsule(x + 3 * j, 14, x + 1 * j, 19, 0.8f)),
                             unite(capsule(x + 1 * j, 19, x + 5 * j, 25, 0.7f), capsule(x + 3 * j, 14, x + 8 * j, 15.5f, 0.6f)));
            c.fill(intersect(move(cr, 0.6f, 0.6f), chipped), P::white);
            c.fill(intersect(cr, chipped), B::deep);
        }
        for (int k = 0; k < 18; ++k)
            c.fill(intersect(circle(8 + hash01(k, 1) * 112, 11 + hash01(k, 2) * 13, 0.7f), chipped), B::dark);
        topAndUnder(chipped, B::top);
        break;
    }
    case 6: {  // ashlar: dressed blocks of different lengths
        outlineAndBase(slab, B::dark);
        const float edges[5] = {4.6f, 38, 62, 98, 123.4f};
        for (int k = 0; k < 4; ++k) {
            Shape bl = intersect(rectXY(edges[k] + 0.6f, 6.6f, edges[k + 1] - 0.6f, 25.4f, 2), slab);
            bevelBlock(c, bl, mix(B::light, B::top, 0.3f * hash01(k, 9)), 2.6f);
            c.fill(intersect(rectXY(edges[k] + 5, 15.5f, edges[k + 1] - 5, 16.5f), bl), withA(B::dim, 0.6f));
        }
        break;
    }
    case 7: {  // tech panel: vents, a seam and a lit strip
        outlineAndBase(slab, B::cool(B::dim));
        for (int k = 0; k < 4; ++k) {
            Shape pn = intersect(rectXY(5 + k * 30.0f, 10, 33 + k * 30.0f, 25, 1), slab);
            bevelBlock(c, pn, B::cool(B::dark), 1.0f);
            for (int v = 0; v < 3; ++v) {
                float x = 11 + k * 30.0f + v * 5.5f;
                c.fill(box(x, 17.5f, 1.3f, 4.2f, 0.6f), B::deep);
                c.fill(box(x + 0.4f, 18.5f, 0.5f, 3.2f, 0.3f), B::dim);
            }
            c.fill(box(28 + k * 30.0f, 14, 2, 1.6f, 0.5f), (k % 2) ? P::white : B::deep);
            c.fill(box(28 + k * 30.0f, 20.5f, 2, 1.6f, 0.5f), (k % 2) ? B::deep : P::white);
        }
        topAndUnder(slab, B::cool(B::top));
        break;
    }
    case 8: {  // marble: a polished slab with dark veins
        outlineAndBase(slab, mix(B::light, B::top, 0.5f));
        for (int k = 0; k < 5; ++k) {
            float x0 = 6 + k * 26.0f, ph = k * 1.7f;
            Shape vein = Shape{[=](float x, float y) {
                                   float cx = x0 + (y - 9) * 1.1f + 2.2f * std::sin(y * 0.7f + ph);
                                   return std::fabs(x - cx) - (1.1f + 0.45f * std::sin(y * 1.3f + ph));
                               },
                               x0 - 4, 9, x0 + 24, 26};
            c.fill(intersect(vein, slab), (k % 2) ? B::dim : B::dark);
        }
        c.fill(intersect(slab, rectXY(0, 10, 128, 12)), withA(P::white, 0.5f));
        topAndUnder(slab, B::top);
        break;
    }
    case 9: {  // tiles: two rows of alternating squares in grout
        outlineAndBase(slab, B::dark);
        for (int k = 0; k < 15; ++k)
            for (int r = 0; r < 2; ++r) {
                Shape t = intersect(rectXY(4.7f + k * 8.0f, 9.7f + r * 8.0f, 11.3f + k * 8.0f, 16.3f + r * 8.0f, 0.6f), body);
                bevelBlock(c, t, ((k + r) % 2) ? B::top : B::dark, 0.7f);
            }
        topAndUnder(slab, B::light);
        break;
    }
    case 10: {  // log: bark and cut ends
        Shape lg = capsule(12, 16, 116, 16, 10);
        outlineAndBase(lg, B::warm(B::dim));
        c.fill(lg, [](float x, float y) {
            float g = 0.5f + 0.5f * std::sin(y * 1.9f + 0.8f * std::sin(x * 0.17f));
            return mix(B::warm(B::mid), B::warm(B::dark), g * 0.7f);
        });
        c.fill(intersect(lg, rectXY(0, 6, 128, 9.5f)), B::warm(B::light));
        for (float ex : {12.0f, 116.0f}) {
            Shape end = circle(ex, 16, 8.6f);
            c.fill(end, B::warm(B::light));
            c.fill(ring(ex, 16, 5.6f, 0.55f), B::warm(B::dim));
            c.fill(ring(ex, 16, 2.8f, 0.5f), B::warm(B::dim));
            c.fill(circle(ex, 16, 0.9f), B::warm(B::dark));
        }
        break;
    }
    case 11: {  // turf: tufted top over dark earth with pebbles
        Shape turf = slab;
        for (int k = 0; k < 15; ++k) turf = unite(turf, ellipse(8.0f + k * 8.0f, 6.5f, 3.6f, 2.4f + (k % 3) * 0.5f));
        turf = intersect(turf, rectXY(3, 2, 125, 28));
        outlineAndBase(turf, B::dim);
        c.fill(intersect(turf, rectXY(0, 0, 128, 11.5f)), B::mid);
        c.fill(intersect(turf, rectXY(0, 0, 128, 7)), B::light);
        c.fill(intersect(turf, rectXY(0, 11.5f, 128, 12.5f)), B::dark);
        for (int k = 0; k < 22; ++k) {
            float x = 8 + hash01(k, 4) * 112, y = 15 + hash01(k, 5) * 8;
            Shape pb = intersect(ellipse(x, y, 1.6f + hash01(k, 6), 1.1f), slab);
            c.fill(pb, B::deep);
            c.fill(intersect(pb, move(pb, 0, 0.8f)), B::dark);
        }
        c.fill(intersect(turf, rectXY(0, 23, 128, 32)), withA(B::deep, 0.5f));
        break;
    }
    case 12: {  // ice: a cold block with broad glints and short icicles
        Shape ice = slab;
        for (int k = 0; k < 9; ++k) {
            float x = 12 + k * 13.0f + (k % 2) * 2, len = 1.6f + (k % 3) * 0.9f;
            ice = unite(ice, capsule(x, 24, x, 25 + len, 2.0f));
        }
        outlineAndBase(ice, B::cool(B::mid));
        c.fill(intersect(ice, rectXY(0, 21, 128, 32)), B::cool(B::dim));
        for (int k = 0; k < 4; ++k) {
            float x = 10 + k * 30.0f;
            c.fill(intersect(polygon({x, 23, x + 7, 23, x + 15, 9, x + 8, 9}), slab), P::white);
            c.fill(intersect(polygon({x + 9, 23, x + 10.5f, 23, x + 18.5f, 9, x + 17, 9}), slab), B::cool(B::light));
        }
        topAndUnder(slab, P::white);
        break;
    }
    case 13: {  // girder: flanges and a truss with open triangles
        Shape g = slab;
        for (int k = 0; k < 7; ++k) {
            float x = 8 + k * 16.5f;
            g = subtract(g, grow(polygon({x + 1.8f, 11.5f, x + 14.5f, 11.5f, x + 8.15f, 20.5f}), 0.4f));
            if (k < 6) g = subtract(g, grow(polygon({x + 9.9f, 20.5f, x + 22.6f, 20.5f, x + 16.25f, 11.5f}), 0.4f));
        }
        outlineAndBase(g, B::cool(B::mid));
        c.fill(intersect(g, rectXY(0, 6, 128, 10.6f)), B::cool(B::light));
        c.fill(intersect(g, rectXY(0, 21.4f, 128, 26)), B::cool(B::dim));
        for (int k = 0; k < 8; ++k) c.fill(circle(8.2f + k * 16.5f, 8.4f, 0.8f), B::deep);
        topAndUnder(g, B::cool(B::top));
        break;
    }
    case 14: {  // crates: four braced boxes
        outlineAndBase(slab, B::deep);
        for (int k = 0; k < 4; ++k) {
            float x0 = 4.8f + k * 30.0f, x1 = x0 + 28.4f;
            Shape bx = intersect(rectXY(x0, 6.6f, x1, 25.4f, 1.2f), slab);
            c.fill(bx, B::warm(B::mid));
            Shape inner = rectXY(x0 + 2.4f, 9, x1 - 2.4f, 23);
            c.fill(inner, B::warm(B::dark));
            c.fill(intersect(unite(capsule(x0 + 2.4f, 23, x1 - 2.4f, 9, 1.4f), capsule(x0 + 2.4f, 9, x1 - 2.4f, 23, 1.4f)), inner),
                   B::warm(B::light));
            c.fill(intersect(rectXY(x0, 6.6f, x1, 8), bx), B::warm(B::top));
            c.fill(intersect(rectXY(x0 + 2.4f, 9, x1 - 2.4f, 9.8f), inner), B::warm(B::dark));
            for (float nx : {x0 + 1.2f, x1 - 1.2f})
                for (float ny : {8.0f, 24.0f}) c.fill(circle(nx, ny, 0.6f), B::deep);
        }
        break;
    }
    default: {  // sandstone: wavy layers with an eroded underside
        Shape ss = slab;
        for (int k = 0; k < 8; ++k) ss = subtract(ss, ellipse(10 + k * 15.5f, 28.5f, 5 + (k % 3), 3 + (k % 2)));
        outlineAndBase(ss, B::warm(B::light));
        for (int k = 0; k < 4; ++k) {
            float y = 11 + k * 3.8f;
            Col band = (k % 2) ? B::warm(B::dark) : B::warm(B::light);
            Shape layer = Shape{[=](float x, float yy) { return std::fabs(yy - (y + 0.9f * std::sin(x * 0.11f + k))) - 1.9f; },
                                0, y - 3, 128, y + 3};
            c.fill(intersect(layer, ss), band);
            Shape line = Shape{[=](float x, float yy) { return std::fabs(yy - (y + 1.6f + 0.9f * std::sin(x * 0.11f + k))) - 0.35f; },
                               0, y - 3, 128, y + 4};
            c.fill(intersect(line, ss), B::warm(B::dim));
        }
        topAndUnder(ss, B::warm(B::top));
        break;
    }
    }
}

// Particles and stars: 16 shapes (column) in 16 sizes, turns and tints
// (row), all white or nearly so, so that the palette tints them. Star field
// and bursts use every frame, so they hold only what reads as stars,
// sparkles, dust and debris: nothing shaped like a pickup (no hearts,
// moons, gems, coins or bold five-pointed stars).
void drawParts(Canvas& c, int i) {
    int t = i % 16, v = i / 16;
    float k = 0.55f + 0.45f * (v % 4) / 3.0f;
    float rot = v * 23.0f;
    Col col = P::white;
    if (v >= 12) col = hex(0xdce8ff);
    else if (v >= 8) col = hex(0xfff4d8);
    const float cx = 4, cy = 4;
    // A thin four-pointed twinkle.
    auto twinkle = [&](float r, float w, float deg) {
        return rotate(unite(capsule(cx - r, cy, cx + r, cy, w), capsule(cx, cy - r, cx, cy + r, w)), cx, cy, deg);
    };
    switch (t) {
    case 0: c.fill(circle(cx, cy, 0.6f + 0.3f * k), col); break;  // point star
    case 1: c.fill(circle(cx, cy, 0.9f + 0.6f * k), col); break;  // bright star
    case 2: c.glow(cx, cy, 2.4f + 1.4f * k, withA(col, 0.8f), 1.6f); c.fill(circle(cx, cy, 0.7f), col); break;  // hazy star
    case 3: c.fill(twinkle(2.2f + 1.6f * k, 0.32f, 0), col); c.fill(circle(cx, cy, 0.7f), col); break;
    case 4: c.fill(twinkle(2.0f + 1.4f * k, 0.3f, 45), col); c.fill(circle(cx, cy, 0.6f), col); break;
    case 5:  // twinkle with a soft core
        c.glow(cx, cy, 2.2f + k, withA(col, 0.6f), 1.5f);
        c.fill(twinkle(2.4f + 1.4f * k, 0.28f, rot * 0.1f), col);
        break;
    case 6:  // eight-rayed glint
        c.fill(twinkle(1.6f + 1.0f * k, 0.25f, 45), withA(col, 0.7f));
        c.fill(twinkle(2.6f + 1.2f * k, 0.3f, 0), col);
        break;
    case 7:  // dust: two specks
        c.fill(circle(cx - 1.5f, cy - 0.8f, 0.55f + 0.2f * k), col);
        c.fill(circle(cx + 1.4f, cy + 1.1f, 0.45f + 0.2f * k), withA(col, 0.8f));
        break;
    case 8:  // dust: three specks
        c.fill(circle(cx - 1.8f, cy + 0.9f, 0.5f), col);
        c.fill(circle(cx + 0.4f, cy - 1.6f, 0.45f + 0.2f * k), col);
        c.fill(circle(cx + 1.9f, cy + 1.3f, 0.4f), withA(col, 0.75f));
        break;
    case 9:  // a soft puff of dust
        c.glow(cx, cy, 2.6f + 1.2f * k, withA(col, 0.55f), 1.2f);
        break;
    case 10:  // streak
        c.fill(rotate(capsule(cx - 2.6f * k, cy, cx + 2.6f * k, cy, 0.45f), cx, cy, rot), col);
        break;
    case 11:  // splinter
        c.fill(rotate(polygon({cx - 3 * k, cy + 0.3f, cx + 2.8f * k, cy - 0.6f, cx + 3 * k, cy + 0.2f}), cx, cy, rot), col);
        break;
    case 12:  // chip: a small irregular shard
        c.fill(rotate(polygon({cx - 1.8f * k, cy - 1.2f * k, cx + 1.6f * k, cy - 1.6f * k, cx + 1.2f * k, cy + 1.4f * k,
                               cx - 1.4f * k, cy + 0.8f * k}),
                      cx, cy, rot),
               col);
        break;
    case 13:  // grit: a thin sliver
        c.fill(rotate(polygon({cx, cy - 2.8f * k, cx + 0.9f, cy + 1.6f * k, cx - 0.7f, cy + 2.0f * k}), cx, cy, rot), col);
        break;
    case 14:  // chunk of debris
        c.fill(rotate(box(cx, cy, 1.2f * k + 0.4f, 0.8f * k + 0.4f, 0.3f), cx, cy, rot), col);
        break;
    default:  // flake: a tiny bent pair of strokes
        c.fill(rotate(unite(capsule(cx - 2 * k, cy + 1, cx, cy - 1, 0.35f), capsule(cx, cy - 1, cx + 2 * k, cy + 0.5f, 0.35f)), cx, cy, rot), col);
        break;
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

// The same shape narrowed horizontally by k about x = cx.
Shape squeezeX(const Shape& a, float cx, float k) {
    return Shape{[a, cx, k](float x, float y) { return a(cx + (x - cx) / k, y) * k; }, cx + (a.x0 - cx) * k, a.y0,
                 cx + (a.x1 - cx) * k, a.y1};
}

// The title logo. The menu draws it at scale 1.5 at 0.4 of the width, so on
// a portrait screen its right end comes close to the score list: letters,
// outline, shadow and sparkles all end by x = 195.
void drawLogo(Canvas& c, int) {
    auto N = [](const Shape& sh) { return squeezeX(sh, 20, 0.88f); };
    Shape s = N(logoLetters());
    c.fill(move(grow(s, 5), 3, 5), withA(P::ink, 0.55f));
    c.fill(grow(s, 5), P::ink);
    c.fill(grow(s, 2.5f), P::white);
    c.fill(s, [](float, float y) { return mix(P::yellow, P::orange, std::min(1.0f, std::max(0.0f, (y - 30) / 62))); });
    c.fill(intersect(s, rectXY(0, 0, 256, 44)), P::cream);
    c.fill(intersect(grow(s, -4), move(rectXY(0, 80, 256, 128), 0, 0)), withA(P::rust, 0.6f));
    // Little wings on the Z and a few sparkles.
    Shape wing = unite(unite(ellipse(22, 40, 14, 5), ellipse(24, 48, 11, 4)), ellipse(27, 55, 7, 3));
    wing = N(rotate(wing, 34, 46, -18));
    c.fill(grow(wing, 2.5f), P::ink);
    shaded(c, wing, P::sky, 2);
    for (int k = 0; k < 4; ++k) {
        const float px[4] = {184, 152, 96, 184}, py[4] = {22, 10, 16, 104}, pr[4] = {8, 5, 6, 5};
        c.fill(grow(starShape(px[k], py[k], pr[k], pr[k] * 0.3f, 4, 0), 1.2f), P::ink);
        c.fill(starShape(px[k], py[k], pr[k], pr[k] * 0.3f, 4, 0), P::cream);
    }
}

// The studio badge. It is the loading screen's centrepiece, where the
// spinner's dots circle it at a quarter of the screen's smaller side (at
// least 90 virtual pixels, centred 0.02 of the height below the badge), and
// the title menu's credits button at scale 0.35 just above the top score
// list (y = 60): so everything it draws stays within kStudioRadius of the
// centre, name plate included.
constexpr float kStudioRadius = 66;

void drawStudio(Canvas& c, int) {
    const float cx = 128, cy = 128;
    const float r = kStudioRadius - 4;  // the outline takes the rest
    Shape disc = circle(cx, cy, r);
    c.fill(grow(disc, 4), P::ink);
    c.fill(disc, [=](float, float y) { return mix(hex(0x343a78), P::night, std::min(1.0f, std::max(0.0f, (y - 70) / 110))); });
    c.fill(ring(cx, cy, r - 4.5f, 2.2f), P::teal);
    c.fill(ring(cx, cy, r - 10, 0.8f), withA(P::teal, 0.45f));
    // Star field inside the emblem.
    for (int k = 0; k < 12; ++k) {
        float a = k * 2.4f + 0.3f, rr = 18 + (k * 37 % 30);
        float sx = cx + std::cos(a) * rr, sy = cy - 12 + std::sin(a) * rr * 0.7f;
        if (sy > 132) continue;
        c.fill(circle(sx, sy, 0.8f + (k % 3) * 0.45f), withA(P::white, 0.8f));
    }
    Pose p = flyPose(0);
    creature(c, playerLook(0), p, 2.5f, cx - 16 + 2, cy - 16 - 16);
    // Name plate across the lower part of the disc.
    Shape plate = rectXY(cx - 50, cy + 14, cx + 50, cy + 33, 6);
    c.fill(grow(plate, 2.5f), P::ink);
    shaded(c, plate, P::blue, 2, false);
    const std::string name = "ZELK TEAM";
    float cell = std::min(1.7f, 88 / gridTextWidth(name, 1));
    float w = gridTextWidth(name, cell);
    float ty = cy + 23.5f - 3.5f * cell;
    gridText(c, name, cx - w / 2 + cell * 0.6f, ty + cell * 0.6f, cell, P::ink);
    gridText(c, name, cx - w / 2, ty, cell, P::white);
}

// The credits' picture. The credit lines scroll across its middle (from
// about 45 pixels left of the centre to past the right edge, 60 above to 60
// below the centre), so that band is one calm, dark, low-contrast field;
// the test-card furniture (name plate, colour bars, grey steps, a grating)
// stays in the caps above and below it.
constexpr float kCardCalmTop = 62, kCardCalmBottom = 194;

void drawTestcard(Canvas& c, int) {
    const float cx = 128, cy = 128, R = 120;
    Shape disc = circle(cx, cy, R);
    c.fill(grow(disc, 4), P::ink);
    c.fill(disc, P::slate);
    // The calm band: a dark field with a faint grid and centre cross.
    Shape calm = intersect(rectXY(0, kCardCalmTop, 256, kCardCalmBottom), disc);
    const Col field = hex(0x262848);
    c.fill(calm, field);
    const Col faint = hex(0x30335a);
    for (int k = -7; k <= 7; ++k) {
        c.fill(intersect(rectXY(cx + k * 16 - 0.5f, 0, cx + k * 16 + 0.5f, 256), calm), faint);
        if (cy + k * 16 > kCardCalmTop + 2 && cy + k * 16 < kCardCalmBottom - 2)
            c.fill(intersect(rectXY(0, cy + k * 16 - 0.5f, 256, cy + k * 16 + 0.5f), calm), faint);
    }
    c.fill(ring(cx, cy, 52, 0.6f), faint);
    // Caps: grid on the mid grey.
    Shape caps = subtract(disc, calm);
    for (int k = -7; k <= 7; ++k) {
        c.fill(intersect(rectXY(cx + k * 16 - 0.7f, 0, cx + k * 16 + 0.7f, 256), caps), P::pale);
        c.fill(intersect(rectXY(0, cy + k * 16 - 0.7f, 256, cy + k * 16 + 0.7f), caps), P::pale);
    }
    // Upper cap: colour bars under the name plate.
    const Col bars[8] = {P::white, P::yellow, P::teal, P::green, P::pink, P::red, P::blue, P::ink};
    for (int k = 0; k < 8; ++k)
        c.fill(intersect(rectXY(24 + k * 26.0f, 42, 24 + (k + 1) * 26.0f, 58), disc), bars[k]);
    c.fill(intersect(rectXY(0, 58, 256, kCardCalmTop), disc), P::orange);
    // Lower cap: grey steps and a fine grating.
    c.fill(intersect(rectXY(0, kCardCalmBottom, 256, kCardCalmBottom + 4), disc), P::orange);
    for (int k = 0; k < 6; ++k)
        c.fill(intersect(rectXY(24 + k * 34.7f, 198, 24 + (k + 1) * 34.7f, 214), disc), mix(P::ink, P::white, k / 5.0f));
    for (int k = 0; k < 12; ++k)
        c.fill(intersect(rectXY(74 + k * 9.0f, 218, 74 + k * 9.0f + 4.5f, 234), disc), P::white);
    c.fill(subtract(ring(cx, cy, R - 6, 2), calm), P::white);
    c.fill(intersect(ring(cx, cy, R - 6, 2), calm), faint);
    // Name plate at the top.
    const std::string t = "ZELK";
    float w = gridTextWidth(t, 2.5f);
    Shape plate = rectXY(cx - w / 2 - 6, 12, cx + w / 2 + 6, 38, 4);
    c.fill(grow(plate, 2), P::ink);
    c.fill(plate, P::night);
    gridText(c, t, cx - w / 2, 15, 2.5f, P::white);
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
    // Title scene, drawn at scale 3 centred on the menu. Its right part
    // lies under the score panel (design x from about 140 on, y 50 to 180
    // at every aspect ratio), so it is a calm, dark lakeside at night: low
    // mountains in shadow and still water, where the lists' colours read.
    // The lively part (moon, peaks, trees, meadow, our hero) is on the left.
    const float shore = 134;  // where the meadow meets the lake
    auto calmAt = [=](float x) { return std::min(1.0f, std::max(0.0f, (x - (shore - 12)) / 24)); };
    // A night haze over the sky on the right hides most of the star field
    // behind the lists.
    c.fill(rectXY(0, 0, 256, 131), [=](float x, float y) {
        return withA(hex(0x000000), 0.75f * calmAt(x) * std::min(1.0f, std::max(0.0f, 1.2f - y / 160)));
    });
    Shape mountains = ridge([=](float x) { return 112 + 10 * std::sin(x * 0.045f + 0.5f) + 7 * std::sin(x * 0.12f + 2) + 14 * calmAt(x); }, 88, 256);
    c.fill(grow(mountains, 1.5f), P::ink);
    c.fill(mountains, [=](float x, float y) {
        Col lit = mix(hex(0x5a4a9a), P::night, std::min(1.0f, (y - 98) / 60));
        return mix(lit, hex(0x1c1c3c), calmAt(x));
    });
    Shape snow = intersect(mountains, ridge([](float x) { return 120 + 10 * std::sin(x * 0.045f + 0.5f) + 7 * std::sin(x * 0.12f + 2) - 4 * std::sin(x * 0.7f); }, 88, 256));
    c.fill(intersect(subtract(mountains, snow), rectXY(0, 0, shore - 10, 256)), hex(0x8a7ac8));
    // The lake: still, dark water from the far shore to the bottom; the
    // hills in front of it on the left.
    Shape lake = rectXY(-4, 131, 260, 260);
    c.fill(lake, [](float, float y) { return mix(hex(0x1a2250), hex(0x0e1230), std::min(1.0f, (y - 131) / 90)); });
    c.fill(rectXY(-4, 131, 260, 132.2f), hex(0x2a3468));
    for (int k = 0; k < 9; ++k) {
        float y = 140 + k * 11.0f + (k % 3) * 2, x0 = 150 + (k * 37) % 60;
        c.fill(capsule(x0, y, x0 + 16 + (k % 4) * 6, y, 0.6f), hex(0x222c5c));
    }
    Shape hills = ridge([=](float x) {
        return 138 + 7 * std::sin(x * 0.03f + 3) + 4 * std::sin(x * 0.09f) + 160 * std::max(0.0f, (x - shore + 34) / 48);
    }, 118, 256);
    c.fill(grow(hills, 1.5f), P::ink);
    c.fill(hills, [](float, float y) { return mix(P::sea, hex(0x123a44), std::min(1.0f, (y - 128) / 40)); });
    for (int k = 0; k < 5; ++k) {
        float x = 12 + k * 26.0f + (k % 2) * 7, y = 134 + 7 * std::sin(x * 0.03f + 3) + 4 * std::sin(x * 0.09f);
        Shape tree = unite(circle(x, y - 6, 6 + (k % 3)), rectXY(x - 1.2f, y - 4, x + 1.2f, y + 3));
        c.fill(grow(tree, 1.2f), P::ink);
        shaded(c, tree, P::forest, 2);
    }
    // Meadow and earth on the left, sloping down into the lake.
    Shape ground = ridge([=](float x) { return 156 + 3 * std::sin(x * 0.05f + 1) + 140 * std::max(0.0f, (x - shore) / 60); }, 146, 256);
    c.fill(grow(ground, 1.5f), P::ink);
    c.fill(ground, P::soil);
    Shape grass = intersect(ground, ridge([](float x) { return 164 + 3 * std::sin(x * 0.05f + 1) + 1.5f * std::sin(x * 0.9f); }, 146, 256));
    c.fill(subtract(ground, grass), P::green);
    c.fill(intersect(ground, subtract(ridge([](float x) { return 157.5f + 3 * std::sin(x * 0.05f + 1); }, 146, 256),
                                      ridge([](float x) { return 159.2f + 3 * std::sin(x * 0.05f + 1); }, 146, 256))),
           P::lime);
    for (int k = 0; k < 7; ++k) {
        float x = 10 + k * 17.0f, y = 176 + (k * 7 % 60);
        c.fill(intersect(ellipse(x, y, 2.5f, 1.5f), ground), darken(P::soil, 0.3f));
    }
    // Reeds at the water's edge.
    for (int k = 0; k < 4; ++k) {
        float x = shore - 4 + k * 3.2f, y = 160 + k * 3.0f;
        c.fill(capsule(x, y, x + 0.8f, y - 9 + (k % 2) * 3, 0.6f), hex(0x1e4a3a));
    }
    float gy = 156 + 3 * std::sin(52 * 0.05f + 1);
    creature(c, playerLook(0), walkPose(0), 1, 52 - 16, gy - 29.6f);
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
