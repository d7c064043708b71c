// Draws the plug-in's icon, res/vela_icon.tif: a sail boat (white main sail, orange jib and hull)
// on a dark rounded square, 64 x 64 pixels, RGBA with unassociated alpha.
//
// Every pixel is the average of an 8 x 8 grid of samples, so edges are anti-aliased. The output
// depends on nothing but this file: running it again gives the same bytes.
//
//     make_vela_icon OUTPUT.tif
#include <tiffio.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int kSize = 64;
constexpr int kSamples = 8;  // per axis and pixel

struct Colour {
    double r, g, b;
};

constexpr Colour kBackground{0.118, 0.161, 0.231};  // deep navy
constexpr Colour kSail{0.965, 0.969, 0.976};        // off-white
constexpr Colour kOrange{1.0, 0.541, 0.078};
constexpr Colour kWater{0.184, 0.373, 0.565};

struct Point {
    double x, y;
};

// Signed distance from `p` to a rounded square spanning [lo, hi] on both axes; negative inside.
double RoundedSquareDistance(Point p, double lo, double hi, double radius) {
    double centre = (lo + hi) / 2;
    double half = (hi - lo) / 2 - radius;
    double dx = std::max(std::abs(p.x - centre) - half, 0.0);
    double dy = std::max(std::abs(p.y - centre) - half, 0.0);
    double outside = std::hypot(dx, dy);
    double inside = std::min(std::max(std::abs(p.x - centre), std::abs(p.y - centre)) - half, 0.0);
    return outside + inside - radius;
}

bool InTriangle(Point p, Point a, Point b, Point c) {
    auto side = [](Point p0, Point p1, Point q) {
        return (p1.x - p0.x) * (q.y - p0.y) - (p1.y - p0.y) * (q.x - p0.x);
    };
    double d1 = side(a, b, p);
    double d2 = side(b, c, p);
    double d3 = side(c, a, p);
    bool negative = d1 < 0 || d2 < 0 || d3 < 0;
    bool positive = d1 > 0 || d2 > 0 || d3 > 0;
    return !(negative && positive);
}

// The main sail: right of the mast, its trailing edge bowed outwards like a sail in the wind.
bool InMainSail(Point p) {
    constexpr double kTop = 9, kFoot = 45, kMast = 33.5, kBoom = 53, kBulge = 5;
    if (p.y < kTop || p.y > kFoot || p.x < kMast) return false;
    double t = (p.y - kTop) / (kFoot - kTop);
    double edge = kMast + (kBoom - kMast) * t + kBulge * std::sin(t * 3.14159265358979);
    return p.x <= edge;
}

bool InJib(Point p) { return InTriangle(p, {30.5, 15}, {30.5, 45}, {13, 45}); }

bool InMast(Point p) { return p.x >= 31.2 && p.x <= 32.8 && p.y >= 7 && p.y <= 47.5; }

// The hull: a trapezoid, wider at the deck than at the keel.
bool InHull(Point p) {
    constexpr double kDeck = 47.5, kKeel = 53.5;
    if (p.y < kDeck || p.y > kKeel) return false;
    double t = (p.y - kDeck) / (kKeel - kDeck);
    double left = 11 + 6 * t;
    double right = 55 - 8 * t;
    return p.x >= left && p.x <= right;
}

// A wave line under the hull.
bool InWater(Point p) {
    double wave = 56.5 + 1.2 * std::sin(p.x * 0.45);
    return p.y >= wave && p.y <= wave + 1.8 && p.x >= 9 && p.x <= 55;
}

struct Sample {
    Colour colour;
    double alpha;
};

// The colour and coverage of the icon at one point; later shapes lie on top of earlier ones.
Sample Shade(Point p) {
    if (RoundedSquareDistance(p, 1, 63, 12) > 0) return {{0, 0, 0}, 0};
    Colour c = kBackground;
    if (InWater(p)) c = kWater;
    if (InJib(p)) c = kOrange;
    if (InMainSail(p)) c = kSail;
    if (InMast(p)) c = kSail;
    if (InHull(p)) c = kOrange;
    return {c, 1};
}

std::vector<std::uint8_t> Draw() {
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(kSize) * kSize * 4);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            // Colour is averaged weighted by coverage, so transparent samples do not darken edges.
            double r = 0, g = 0, b = 0, a = 0;
            for (int sy = 0; sy < kSamples; ++sy) {
                for (int sx = 0; sx < kSamples; ++sx) {
                    Point p{x + (sx + 0.5) / kSamples, y + (sy + 0.5) / kSamples};
                    Sample s = Shade(p);
                    r += s.colour.r * s.alpha;
                    g += s.colour.g * s.alpha;
                    b += s.colour.b * s.alpha;
                    a += s.alpha;
                }
            }
            auto byte = [](double v) {
                return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
            };
            std::size_t at =
                (static_cast<std::size_t>(y) * kSize + static_cast<std::size_t>(x)) * 4;
            if (a > 0) {
                rgba[at + 0] = byte(r / a);
                rgba[at + 1] = byte(g / a);
                rgba[at + 2] = byte(b / a);
            }
            rgba[at + 3] = byte(a / (kSamples * kSamples));
        }
    }
    return rgba;
}

bool Write(const char* path, std::vector<std::uint8_t>& rgba) {
    TIFF* tif = TIFFOpen(path, "w");
    if (tif == nullptr) return false;
    std::array<std::uint16_t, 1> extra{EXTRASAMPLE_UNASSALPHA};
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(kSize));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(kSize));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 4);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra.data());
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, static_cast<std::uint32_t>(kSize));
    TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, "Vela Button");
    bool ok = true;
    for (int y = 0; y < kSize && ok; ++y) {
        std::uint8_t* row = rgba.data() + static_cast<std::size_t>(y) * kSize * 4;
        ok = TIFFWriteScanline(tif, row, static_cast<std::uint32_t>(y), 0) == 1;
    }
    TIFFClose(tif);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_vela_icon OUTPUT.tif\n");
        return 2;
    }
    std::vector<std::uint8_t> rgba = Draw();
    if (!Write(argv[1], rgba)) {
        std::fprintf(stderr, "make_vela_icon: %s: could not be written\n", argv[1]);
        return 1;
    }
    return 0;
}
