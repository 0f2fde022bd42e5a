// Sound effects (16-bit PCM WAV) and the music loop (Ogg Vorbis), all
// synthesised from fixed seeds.
#include "tools/assetgen/sound.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <vector>

namespace assetgen {

namespace {

constexpr double kTau = 6.283185307179586;
constexpr int kSfxRate = 22050;
constexpr int kMusicRate = 44100;

struct Rng {
    uint32_t s;
    explicit Rng(uint32_t seed) : s(seed ? seed : 1) {}
    float next() {  // -1 .. 1
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return static_cast<float>(s) / 2147483648.0f - 1.0f;
    }
};

double noteHz(double midi) { return 440.0 * std::pow(2.0, (midi - 69.0) / 12.0); }

// Attack / exponential decay envelope.
double env(double t, double attack, double decay) {
    if (t < 0) return 0;
    if (t < attack) return t / attack;
    return std::exp(-(t - attack) / decay);
}

// A band-limited square-ish tone (odd harmonics) and a soft saw.
double squareish(double ph, int harmonics) {
    double v = 0;
    for (int h = 1; h <= harmonics; h += 2) v += std::sin(ph * h) / h;
    return v * 0.9;
}
double sawish(double ph, int harmonics) {
    double v = 0;
    for (int h = 1; h <= harmonics; ++h) v += std::sin(ph * h) / h;
    return v * 0.6;
}

struct OnePole {
    double a, z = 0;
    explicit OnePole(double cutoffHz, int rate) : a(1.0 - std::exp(-kTau * cutoffHz / rate)) {}
    double operator()(double x) { return z += a * (x - z); }
};

// Second-order IIR section (direct form I).
struct Biquad {
    double b0, b1, b2, a1, a2;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    double operator()(double x) {
        double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
};

// The loudness meter's pre-filter (a +4 dB shelf above about 1.7 kHz and a
// high-pass near 38 Hz), designed for the given sample rate from its
// analogue prototype.
std::vector<Biquad> kWeighting(int rate) {
    std::vector<Biquad> f;
    {
        const double g = 3.999843853973347, f0 = 1681.974450955533, q = 0.7071752369554196;
        const double K = std::tan(kTau / 2 * f0 / rate), vh = std::pow(10.0, g / 20), vb = std::pow(vh, 0.4996667741545416);
        const double a0 = 1 + K / q + K * K;
        f.push_back({(vh + vb * K / q + K * K) / a0, 2 * (K * K - vh) / a0, (vh - vb * K / q + K * K) / a0,
                     2 * (K * K - 1) / a0, (1 - K / q + K * K) / a0});
    }
    {
        const double f0 = 38.13547087602444, q = 0.5003270373238773;
        const double K = std::tan(kTau / 2 * f0 / rate);
        const double a0 = 1 + K / q + K * K;
        f.push_back({1, -2, 1, 2 * (K * K - 1) / a0, (1 - K / q + K * K) / a0});
    }
    return f;
}

}  // namespace

std::vector<double> kWeighted(const std::vector<float>& x, int rate, int channels, int channel) {
    std::vector<Biquad> f = kWeighting(rate);
    std::vector<double> out;
    out.reserve(x.size() / channels);
    for (size_t i = static_cast<size_t>(channel); i < x.size(); i += static_cast<size_t>(channels)) {
        double y = x[i];
        for (Biquad& b : f) y = b(y);
        out.push_back(y);
    }
    return out;
}

double loudnessDb(const std::vector<float>& mono, int rate, double window) {
    std::vector<double> k = kWeighted(mono, rate, 1, 0);
    const size_t w = static_cast<size_t>(window * rate);
    const size_t hop = std::max<size_t>(1, w / 10);
    // A sound shorter than the window counts as if followed by silence.
    k.resize(std::max(k.size(), w), 0.0);
    std::vector<double> sq(k.size() + 1, 0.0);
    for (size_t i = 0; i < k.size(); ++i) sq[i + 1] = sq[i] + k[i] * k[i];
    double best = 0;
    for (size_t i = 0; i + w <= k.size(); i += hop) best = std::max(best, (sq[i + w] - sq[i]) / static_cast<double>(w));
    best = std::max(best, (sq[k.size()] - sq[k.size() - w]) / static_cast<double>(w));
    return best > 0 ? 10 * std::log10(best) : -200;
}

namespace {

std::vector<float> render(double seconds, const std::function<double(double, int)>& f) {
    int n = static_cast<int>(seconds * kSfxRate);
    std::vector<float> out(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) out[i] = static_cast<float>(f(static_cast<double>(i) / kSfxRate, i));
    // Short fade at both ends so nothing clicks.
    int fade = std::min(n / 4, kSfxRate / 400);
    for (int i = 0; i < fade; ++i) {
        float g = static_cast<float>(i) / fade;
        out[i] *= g;
        out[n - 1 - i] *= g;
    }
    return out;
}

void normalise(std::vector<float>& v, float peak) {
    float m = 0;
    for (float x : v) m = std::max(m, std::fabs(x));
    if (m > 0)
        for (float& x : v) x *= peak / m;
}

double dbToAmp(double db) { return std::pow(10.0, db / 20.0); }

// Brings an effect to a loudness (K-weighted, loudest 100 ms) with its
// peaks held under the ceiling by a soft knee: the drive is searched so
// that the softly limited sound reaches the target. Quiet, low-crest sounds
// need no limiting at all; percussive ones are rounded off at the top.
void master(std::vector<float>& v, int rate, double targetDb, double ceilingDb) {
    normalise(v, 1.0f);
    const double c = dbToAmp(ceilingDb);
    auto shaped = [&](double drive) {
        std::vector<float> out(v.size());
        for (size_t i = 0; i < v.size(); ++i) out[i] = static_cast<float>(c * std::tanh(drive * v[i] / c));
        return out;
    };
    double lo = -40, hi = 40;  // drive in dB
    for (int it = 0; it < 48; ++it) {
        double mid = 0.5 * (lo + hi);
        if (loudnessDb(shaped(dbToAmp(mid)), rate) < targetDb) lo = mid;
        else hi = mid;
    }
    v = shaped(dbToAmp(0.5 * (lo + hi)));
}

std::vector<float> makeSfx(int n) {
    Rng rng(1000u + static_cast<uint32_t>(n));
    std::vector<float> v;
    switch (n) {
    // The effects of one contact start in the same update (contact, hit,
    // last life; the player's flap and step may join them), so each puts
    // its loud part at its own moment: the hit's crunch first, then the
    // contact's bounce, the flap's whoosh, and the falling tail of a lost
    // last life. Together they read as one event and their peaks do not
    // stack up.
    case 1: {  // player loses the last life: a falling "wah-wah" after the hit
        double ph = 0;
        const double delay = 0.09;
        v = render(1.4, [&](double t, int) {
            t -= delay;
            if (t < 0) return 0.0;
            const double notes[4] = {67, 66, 65, 63};
            int k = std::min(3, static_cast<int>(t / 0.26));
            double lt = t - k * 0.26;
            double hz = noteHz(notes[k] - (k == 3 ? lt * 3 : 0)) * (1 + 0.012 * std::sin(kTau * 6 * t));
            ph += kTau * hz / kSfxRate;
            // Each note starts with an accent and settles, so the phrase
            // has a shape instead of a flat buzz.
            double accent = 0.45 + 0.55 * std::exp(-lt / 0.07);
            double e = std::min(1.0, lt / (k == 0 ? 0.03 : 0.01)) * accent *
                       (k == 3 ? std::exp(-lt / 0.35) : (lt < 0.22 ? 1.0 : std::max(0.0, 1 - (lt - 0.22) / 0.04)));
            return squareish(ph, 7) * e * 0.5;
        });
        break;
    }
    case 2: {  // baddie loses the last life: a puff and a falling whistle after the hit
        double ph = 0;
        OnePole lp(2500, kSfxRate), hp(600, kSfxRate);
        const double delay = 0.07;
        v = render(0.6, [&](double t, int) {
            double x = lp(rng.next());
            double puff = (x - hp(x)) * env(t - 0.03, 0.03, 0.05);
            t -= delay;
            if (t < 0) return puff;
            double hz = 900 * std::exp(-t * 4.5) + 90;
            ph += kTau * hz / kSfxRate;
            return std::sin(ph) * env(t, 0.012, 0.2) * 0.7 + std::sin(ph * 2) * env(t, 0.012, 0.1) * 0.2 + puff;
        });
        break;
    }
    case 3: {  // flap: an airy whoosh with a soft thump
        OnePole lp(1800, kSfxRate), hp(300, kSfxRate);
        double ph = 0;
        v = render(0.18, [&](double t, int) {
            double x = rng.next();
            double band = lp(x) - hp(lp.z);
            ph += kTau * (180 - 400 * t) / kSfxRate;
            return band * 2.2 * env(t - 0.008, 0.01, 0.018) + std::sin(ph) * env(t - 0.012, 0.006, 0.02) * 0.35;
        });
        break;
    }
    case 4: {  // contact: a short springy boing, just after the impact
        double ph = 0;
        v = render(0.24, [&](double t, int) {
            double hz = 260 + 380 * (1 - std::exp(-t * 30)) + 40 * std::sin(kTau * 28 * t) * std::exp(-t * 8);
            ph += kTau * hz / kSfxRate;
            return (std::sin(ph) * 0.8 + std::sin(ph * 2) * 0.15) * env(t - 0.035, 0.008, 0.05);
        });
        break;
    }
    case 5: {  // baddie hit: bright, short crunch
        double ph = 0;
        OnePole lp(5000, kSfxRate);
        v = render(0.2, [&](double t, int) {
            double hz = 520 * std::exp(-t * 9) + 140;
            ph += kTau * hz / kSfxRate;
            return squareish(ph, 9) * env(t, 0.002, 0.016) * 0.5 + lp(rng.next()) * env(t, 0.001, 0.01) * 0.8;
        });
        break;
    }
    case 6: {  // player hit: lower and rougher, with a short knock in front
        double ph = 0;
        OnePole lp(1600, kSfxRate);
        v = render(0.34, [&](double t, int) {
            double hz = 300 * std::exp(-t * 6) + 70;
            ph += kTau * hz / kSfxRate;
            return sawish(ph, 10) * env(t, 0.002, 0.02) * 0.6 + lp(rng.next()) * env(t, 0.001, 0.012) * 0.5;
        });
        break;
    }
    case 7: {  // footstep: a soft tick
        OnePole lp(1200, kSfxRate);
        double ph = 0;
        v = render(0.06, [&](double t, int) {
            ph += kTau * 140 / kSfxRate;
            return lp(rng.next()) * env(t, 0.001, 0.012) * 1.4 + std::sin(ph) * env(t, 0.001, 0.015) * 0.5;
        });
        break;
    }
    case 95: {  // rising swoosh
        OnePole lp(3000, kSfxRate);
        double ph = 0;
        v = render(0.6, [&](double t, int) {
            double hz = 220 * std::pow(4.0, t / 0.6);
            ph += kTau * hz / kSfxRate;
            double e = std::sin(std::min(1.0, t / 0.6) * 3.14159);
            return (std::sin(ph) * 0.4 + lp(rng.next()) * 0.5) * e;
        });
        break;
    }
    case 96: {  // start-up jingle: bell arpeggio into a chord
        const double notes[5] = {72, 76, 79, 84, 88};
        const double starts[5] = {0, 0.12, 0.24, 0.36, 0.56};
        v = render(1.9, [&](double t, int) {
            double s = 0;
            for (int k = 0; k < 5; ++k) {
                double lt = t - starts[k];
                if (lt < 0) continue;
                double hz = noteHz(notes[k]);
                double mod = std::sin(kTau * hz * 3.5 * lt) * 1.2 * std::exp(-lt * 6);
                s += std::sin(kTau * hz * lt + mod) * env(lt, 0.004, k == 4 ? 0.55 : 0.35) * 0.35;
            }
            for (double m : {60.0, 64.0, 67.0}) {
                double lt = t - 0.56;
                if (lt > 0) s += std::sin(kTau * noteHz(m) * lt) * env(lt, 0.03, 0.6) * 0.15;
            }
            return s;
        });
        break;
    }
    case 98: {  // pause / confirm: two quick rising tones
        v = render(0.2, [&](double t, int) {
            double hz = t < 0.07 ? noteHz(81) : noteHz(88);
            double lt = t < 0.07 ? t : t - 0.07;
            return (std::sin(kTau * hz * lt) * 0.8 + std::sin(kTau * hz * 2 * lt) * 0.1) * env(lt, 0.003, 0.05);
        });
        break;
    }
    case 99: {  // menu move: a tiny click-blip
        v = render(0.07, [&](double t, int) {
            return std::sin(kTau * 1320 * t) * env(t, 0.001, 0.018) * 0.9 + std::sin(kTau * 660 * t) * env(t, 0.001, 0.01) * 0.3;
        });
        break;
    }
    default:
        v = render(0.05, [](double, int) { return 0.0; });
        return v;
    }
    return v;
}

void put16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v & 255));
    b.push_back(static_cast<uint8_t>((v >> 8) & 255));
}
void put32(std::vector<uint8_t>& b, uint32_t v) {
    put16(b, v & 0xffff);
    put16(b, v >> 16);
}

bool writeWav(const std::string& path, const std::vector<float>& s, int rate) {
    std::vector<uint8_t> b;
    uint32_t dataBytes = static_cast<uint32_t>(s.size() * 2);
    for (char ch : std::string("RIFF")) b.push_back(static_cast<uint8_t>(ch));
    put32(b, 36 + dataBytes);
    for (char ch : std::string("WAVEfmt ")) b.push_back(static_cast<uint8_t>(ch));
    put32(b, 16);
    put16(b, 1);  // PCM
    put16(b, 1);  // mono
    put32(b, static_cast<uint32_t>(rate));
    put32(b, static_cast<uint32_t>(rate * 2));
    put16(b, 2);
    put16(b, 16);
    for (char ch : std::string("data")) b.push_back(static_cast<uint8_t>(ch));
    put32(b, dataBytes);
    for (float x : s) {
        int v = static_cast<int>(std::lround(std::max(-1.0f, std::min(1.0f, x)) * 32767.0f));
        put16(b, static_cast<uint32_t>(static_cast<uint16_t>(static_cast<int16_t>(v))));
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
    return std::fclose(f) == 0 && ok;
}

// ---------------------------------------------------------------- music
// "floating": 24 bars at 96 beats per minute, exactly 60 seconds, written
// into a circular buffer so that every tail wraps round to the start and
// the loop point is seamless.
struct Loop {
    int n;
    std::vector<float> l, r;
    explicit Loop(int frames) : n(frames), l(static_cast<size_t>(frames)), r(static_cast<size_t>(frames)) {}
    void add(long i, double v, double pan) {  // pan -1 .. 1
        size_t k = static_cast<size_t>(((i % n) + n) % n);
        l[k] += static_cast<float>(v * std::sqrt(0.5 * (1 - pan)));
        r[k] += static_cast<float>(v * std::sqrt(0.5 * (1 + pan)));
    }
};

void padNote(Loop& L, double start, double len, double midi, double amp, double pan) {
    const double hz = noteHz(midi);
    const long i0 = static_cast<long>(start * kMusicRate);
    const long n = static_cast<long>((len + 1.2) * kMusicRate);
    for (long i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / kMusicRate;
        double e = std::min(1.0, t / 0.5) * (t < len ? 1.0 : std::exp(-(t - len) / 0.35));
        double trem = 1 + 0.08 * std::sin(kTau * 0.5 * t + midi);
        double ph1 = kTau * hz * t, ph2 = kTau * hz * 1.004 * t;
        double v = (sawish(ph1, 5) + sawish(ph2, 5)) * 0.5;
        L.add(i0 + i, v * e * amp * trem, pan);
    }
}

void bellNote(Loop& L, double start, double midi, double amp, double pan, double decay) {
    const double hz = noteHz(midi);
    const long i0 = static_cast<long>(start * kMusicRate);
    const long n = static_cast<long>(decay * 6 * kMusicRate);
    for (long i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / kMusicRate;
        double mod = std::sin(kTau * hz * 2 * t) * 0.9 * std::exp(-t * 5);
        double v = std::sin(kTau * hz * t + mod) * env(t, 0.012, decay);
        L.add(i0 + i, v * amp, pan);
    }
}

void bassNote(Loop& L, double start, double len, double midi, double amp) {
    const double hz = noteHz(midi);
    const long i0 = static_cast<long>(start * kMusicRate);
    const long n = static_cast<long>((len + 0.3) * kMusicRate);
    for (long i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / kMusicRate;
        double e = std::min(1.0, t / 0.02) * (t < len ? std::exp(-t / 2.5) : std::exp(-len / 2.5) * std::exp(-(t - len) / 0.08));
        double v = std::sin(kTau * hz * t) + 0.25 * std::sin(kTau * hz * 2 * t);
        L.add(i0 + i, v * e * amp, 0);
    }
}

void softKick(Loop& L, double start, double amp) {
    const long i0 = static_cast<long>(start * kMusicRate);
    double ph = 0;
    for (long i = 0; i < kMusicRate / 4; ++i) {
        double t = static_cast<double>(i) / kMusicRate;
        ph += kTau * (45 + 90 * std::exp(-t * 30)) / kMusicRate;
        L.add(i0 + i, std::sin(ph) * env(t, 0.002, 0.09) * amp, 0);
    }
}

void shaker(Loop& L, double start, double amp, double pan, Rng& rng) {
    const long i0 = static_cast<long>(start * kMusicRate);
    OnePole lp(9000, kMusicRate), hp(4000, kMusicRate);
    for (long i = 0; i < kMusicRate / 12; ++i) {
        double t = static_cast<double>(i) / kMusicRate;
        double x = lp(rng.next());
        L.add(i0 + i, (x - hp(x)) * env(t, 0.003, 0.02) * amp, pan);
    }
}

// The music sits under the effects: its level over the whole loop, and a
// ceiling for its loudest moments (bell attacks), so that it leaves room
// for several effects at once.
constexpr double kMusicRmsDb = -22.0;
constexpr double kMusicCeilingDb = -14.0;

// Peak limiter for a stereo loop: the gain follows the loudest sample of
// the next few milliseconds (so it is down before a peak arrives) and
// recovers slowly. It runs round the loop twice and keeps the second pass,
// so the gain at the loop point is the steady state and the loop stays
// seamless.
void limitLoop(std::vector<float>& inter, int frames, double ceiling) {
    const int look = kMusicRate / 200;  // 5 ms
    const double release = 1.0 - std::exp(-1.0 / (0.12 * kMusicRate));
    std::vector<double> need(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i) {
        double a = std::max(std::fabs(inter[2 * i]), std::fabs(inter[2 * i + 1]));
        need[i] = a > ceiling ? ceiling / a : 1.0;
    }
    auto at = [&](long i) { return need[static_cast<size_t>(((i % frames) + frames) % frames)]; };
    // Lowest gain needed within the look-ahead, then averaged over the same
    // span: the average of minima over a window that covers the peak is
    // never above what the peak needs, and it ramps down smoothly.
    std::vector<double> lowest(static_cast<size_t>(frames));
    {
        std::vector<long> q;  // monotonic queue of indices over [i, i + look]
        size_t head = 0;
        for (long j = 0; j < frames + look; ++j) {
            while (q.size() > head && at(q.back()) >= at(j)) q.pop_back();
            q.push_back(j);
            long i = j - look;
            if (i >= 0) {
                while (q[head] < i) ++head;
                lowest[static_cast<size_t>(i)] = at(q[head]);
            }
        }
    }
    std::vector<double> gain(static_cast<size_t>(frames));
    double acc = 0;
    for (long i = -look; i < 0; ++i) acc += lowest[static_cast<size_t>(i + frames)];
    for (int i = 0; i < frames; ++i) {
        acc += lowest[i] - lowest[static_cast<size_t>((i - look + frames) % frames)];
        gain[i] = acc / look;
    }
    double g = 1.0;
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; i < frames; ++i) {
            g = std::min(gain[i], g + (1.0 - g) * release);
            if (pass == 1) {
                inter[2 * i] = static_cast<float>(inter[2 * i] * g);
                inter[2 * i + 1] = static_cast<float>(inter[2 * i + 1] * g);
            }
        }
}

double rmsDb(const std::vector<float>& v) {
    double s = 0;
    for (float x : v) s += static_cast<double>(x) * x;
    return 10 * std::log10(s / static_cast<double>(v.size()));
}

// Brings the loop to its level with its peaks under the ceiling; limiting
// lowers the level a little, so level and limiter are settled in turns.
void masterLoop(std::vector<float>& inter, int frames, double rmsTargetDb, double ceilingDb) {
    const std::vector<float> dry(std::move(inter));
    double gainDb = rmsTargetDb - rmsDb(dry);
    for (int it = 0; it < 4; ++it) {
        const float g = static_cast<float>(dbToAmp(gainDb));
        std::vector<float> wet(dry.size());
        for (size_t i = 0; i < dry.size(); ++i) wet[i] = dry[i] * g;
        limitLoop(wet, frames, dbToAmp(ceilingDb));
        gainDb += rmsTargetDb - rmsDb(wet);
        inter.swap(wet);
    }
}

std::vector<float> makeMusic(int& frames) {
    const double beat = 60.0 / 96.0;
    const double bar = beat * 4;
    frames = static_cast<int>(std::lround(24 * bar * kMusicRate));
    Loop L(frames);
    Rng rng(4242);
    // Chords as MIDI notes; two bars each.
    const int chords[12][4] = {
        {48, 55, 59, 64}, {45, 52, 55, 60}, {41, 48, 52, 57}, {43, 50, 53, 59},  // Cmaj7 Am7 Fmaj7 G7
        {50, 57, 60, 65}, {52, 55, 59, 62}, {41, 48, 52, 57}, {43, 50, 55, 62},  // Dm7 Em7 Fmaj7 G
        {48, 55, 59, 64}, {45, 52, 55, 60}, {41, 48, 52, 57}, {43, 50, 53, 59},
    };
    const int melody[24][8] = {
        // one row per bar, eighth notes, 0 = rest
        {0}, {0}, {0}, {0},
        {76, 0, 79, 0, 83, 0, 79, 0}, {81, 0, 0, 0, 79, 0, 76, 0},
        {77, 0, 76, 0, 72, 0, 0, 0}, {74, 0, 0, 76, 74, 0, 71, 0},
        {77, 0, 81, 0, 84, 0, 81, 0}, {79, 0, 0, 0, 76, 0, 74, 0},
        {72, 0, 76, 0, 79, 0, 77, 0}, {74, 0, 0, 0, 0, 0, 0, 0},
        {0}, {0}, {0}, {0},
        {79, 0, 83, 0, 84, 0, 86, 0}, {88, 0, 0, 0, 86, 0, 84, 0},
        {81, 0, 79, 0, 76, 0, 79, 0}, {81, 0, 0, 0, 0, 0, 0, 0},
        {77, 0, 76, 0, 74, 0, 72, 0}, {74, 0, 76, 0, 77, 0, 79, 0},
        {79, 0, 0, 0, 77, 0, 74, 0}, {71, 0, 0, 0, 74, 0, 0, 0},
    };
    for (int b = 0; b < 24; ++b) {
        const int* ch = chords[b / 2];
        const double t0 = b * bar;
        if (b % 2 == 0)
            for (int k = 1; k < 4; ++k) padNote(L, t0, bar * 2 - 0.2, ch[k], 0.055, (k - 2) * 0.5);
        bassNote(L, t0, beat * 1.8, ch[0] - 12, 0.22);
        bassNote(L, t0 + beat * 2, beat * 1.5, ch[0] - 12 + ((b % 2) ? 7 : 0), 0.18);
        // Arpeggio in sixteenths-ish pattern over the chord, two octaves up.
        const int pat[8] = {1, 2, 3, 2, 1, 3, 2, 3};
        for (int k = 0; k < 8; ++k) {
            double amp = (k % 2 ? 0.045 : 0.065) * (b < 2 ? 0.5 + 0.25 * b : 1.0);
            bellNote(L, t0 + k * beat * 0.5, ch[pat[k]] + 12, amp, k % 2 ? 0.45 : -0.45, 0.35);
        }
        for (int k = 0; k < 8; ++k)
            if (melody[b][k]) bellNote(L, t0 + k * beat * 0.5, melody[b][k], 0.10, 0.1, 0.7);
        if (b >= 4) {
            softKick(L, t0, 0.28);
            softKick(L, t0 + beat * 2.5, 0.18);
            for (int k = 0; k < 4; ++k) shaker(L, t0 + (k + 0.5) * beat, 0.06, 0.3, rng);
        }
    }
    // Ping-pong echo, run three times round the loop so the tail that
    // crosses the loop point is the steady state.
    const int d = static_cast<int>(beat * 0.75 * kMusicRate);
    std::vector<float> el(static_cast<size_t>(d), 0), er(static_cast<size_t>(d), 0);
    std::vector<float> outL(frames), outR(frames);
    int w = 0;
    for (int pass = 0; pass < 3; ++pass)
        for (int i = 0; i < frames; ++i) {
            float dl = el[w], dr = er[w];
            float il = L.l[i], ir = L.r[i];
            el[w] = il * 0.3f + dr * 0.38f;
            er[w] = ir * 0.3f + dl * 0.38f;
            w = (w + 1) % d;
            if (pass == 2) {
                outL[i] = il + dl;
                outR[i] = ir + dr;
            }
        }
    std::vector<float> inter(static_cast<size_t>(frames) * 2);
    for (int i = 0; i < frames; ++i) {
        inter[2 * i] = outL[i];
        inter[2 * i + 1] = outR[i];
    }
    masterLoop(inter, frames, kMusicRmsDb, kMusicCeilingDb);
    return inter;
}

bool writeOgg(const std::string& path, const std::vector<float>& inter, int frames, int channels, int rate) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, channels, rate, 0.1f) != 0) {
        std::fclose(f);
        return false;
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_comment_add_tag(&vc, "TITLE", "floating");
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 0x5a454c4b);  // fixed serial: reproducible files
    ogg_packet hdr, hdrComm, hdrCode;
    vorbis_analysis_headerout(&vd, &vc, &hdr, &hdrComm, &hdrCode);
    ogg_stream_packetin(&os, &hdr);
    ogg_stream_packetin(&os, &hdrComm);
    ogg_stream_packetin(&os, &hdrCode);
    ogg_page og;
    bool ok = true;
    while (ogg_stream_flush(&os, &og)) {
        ok = ok && std::fwrite(og.header, 1, og.header_len, f) == static_cast<size_t>(og.header_len);
        ok = ok && std::fwrite(og.body, 1, og.body_len, f) == static_cast<size_t>(og.body_len);
    }
    const int chunk = 4096;
    int pos = 0;
    bool eos = false;
    while (!eos) {
        int n = std::min(chunk, frames - pos);
        if (n > 0) {
            float** buf = vorbis_analysis_buffer(&vd, n);
            for (int i = 0; i < n; ++i)
                for (int c = 0; c < channels; ++c) buf[c][i] = inter[static_cast<size_t>(pos + i) * channels + c];
            vorbis_analysis_wrote(&vd, n);
            pos += n;
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
                    ok = ok && std::fwrite(og.header, 1, og.header_len, f) == static_cast<size_t>(og.header_len);
                    ok = ok && std::fwrite(og.body, 1, og.body_len, f) == static_cast<size_t>(og.body_len);
                    if (ogg_page_eos(&og)) eos = true;
                }
            }
        }
    }
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return std::fclose(f) == 0 && ok;
}

// How loud each effect is written (loudnessDb over 100 ms) and the peak it
// may not pass. The events of play (contact, hits, lost lives) and the menu
// confirm sit together, about 8 dB over the music; the flap and the
// footstep, which repeat all through play, and the menu tick, which fires
// on every carousel move, sit under them. The ceilings leave headroom for
// the effects one update can start together (see the asset mix test).
struct EffectLevel {
    double loudnessDb, ceilingDb;
};
EffectLevel effectLevel(int n) {
    switch (n) {
    case 3: return {-20.0, -12.0};
    case 7: return {-23.0, -15.0};
    case 99: return {-19.0, -9.0};
    default: return {-16.0, -9.0};
    }
}

std::string sfxName(int n) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "sfx/%03d.wav", n);
    return buf;
}

}  // namespace

std::vector<int> soundNumbers() { return {1, 2, 3, 4, 5, 6, 7, 95, 96, 98, 99}; }

std::string soundPath(int n) { return sfxName(n); }

std::vector<float> effectSamples(int n) {
    std::vector<float> v = makeSfx(n);
    const EffectLevel level = effectLevel(n);
    master(v, kSfxRate, level.loudnessDb, level.ceilingDb);
    return v;
}

bool writeSounds(const std::string& outDir, bool music) {
    bool ok = true;
    for (int n : soundNumbers()) {
        std::string path = outDir + "/" + sfxName(n);
        if (!writeWav(path, effectSamples(n), kSfxRate)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            ok = false;
        }
    }
    if (music) {
        int frames = 0;
        std::vector<float> m = makeMusic(frames);
        std::string path = outDir + "/sfx/floating.ogg";
        if (!writeOgg(path, m, frames, 2, kMusicRate)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            ok = false;
        }
    }
    return ok;
}

}  // namespace assetgen
