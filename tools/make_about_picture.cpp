// Draws the about window's picture and writes it with giflib as a GIF89a: a symmetric blue
// ornament of two swung bands that meet in the middle under a sphere, with a smaller sphere on
// each band. One frame, not interlaced, a 256-entry global colour table, index 0 transparent.
//
//     make_about_picture ui/about.gif
//
// The bands and spheres are shaded as lit solids and sampled 4 x 4 times per pixel; the result
// is reduced to a ramp of 24 blues plus a transparent colour. Only the left half is computed
// and the right half is its mirror image, so the picture is exactly symmetric. The output
// depends on nothing but this file, so it can be made again at any time.

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int Width = 404;
constexpr int Height = 78;
constexpr double Middle = Width / 2.0; // the mirror line
constexpr int Samples = 4;             // per pixel and direction
constexpr int Shades = 24;             // colour indices 1 to 24; 0 is transparent

struct Point {
    double x, y;
};
Point operator+(Point a, Point b) {
    return {a.x + b.x, a.y + b.y};
}
Point operator-(Point a, Point b) {
    return {a.x - b.x, a.y - b.y};
}
Point operator*(double k, Point a) {
    return {k * a.x, k * a.y};
}
double dot(Point a, Point b) {
    return a.x * b.x + a.y * b.y;
}
double length(Point a) {
    return std::sqrt(dot(a, a));
}

struct Normal {
    double x, y, z;
};

// One light from above and in front, on the mirror line, so that shading stays symmetric.
double shade(const Normal& n) {
    const Normal light{0.0, -0.62, 0.78};
    const double facing = n.x * light.x + n.y * light.y + n.z * light.z;
    const double diffuse = std::max(0.0, (facing + 0.25) / 1.25);
    // Mirror direction's agreement with the viewer, for the highlight.
    const double mirrored = 2.0 * facing * n.z - light.z;
    const double highlight = std::pow(std::max(0.0, mirrored), 24.0);
    return std::clamp(0.80 * diffuse * diffuse + 0.55 * highlight, 0.0, 1.0);
}

struct Sphere {
    Point centre;
    double radius;

    std::optional<double> brightness(Point p) const {
        const Point d = (1.0 / radius) * (p - centre);
        const double r2 = dot(d, d);
        if (r2 >= 1.0)
            return std::nullopt;
        return shade({d.x, d.y, std::sqrt(1.0 - r2)});
    }
};

// A band along a smooth curve, thick where it starts and tapering to a point; shaded across
// its width like a rounded rod.
class Band {
public:
    Band(const std::vector<Point>& through, double startHalfWidth, double endHalfWidth)
        : m_start(startHalfWidth), m_end(endHalfWidth) {
        // Catmull-Rom through the given points, ends repeated.
        constexpr int Steps = 60;
        for (std::size_t i = 0; i + 1 < through.size(); ++i) {
            const Point p0 = through[i == 0 ? 0 : i - 1];
            const Point p1 = through[i];
            const Point p2 = through[i + 1];
            const Point p3 = through[std::min(i + 2, through.size() - 1)];
            for (int s = 0; s < Steps; ++s) {
                const double t = double(s) / Steps;
                const double t2 = t * t, t3 = t2 * t;
                m_path.push_back(0.5 * ((2.0 * p1) + t * (p2 - p0) +
                                        t2 * (2.0 * p0 - 5.0 * p1 + 4.0 * p2 - p3) +
                                        t3 * (3.0 * p1 - p0 - 3.0 * p2 + p3)));
            }
        }
        m_path.push_back(through.back());
        m_along.push_back(0.0);
        for (std::size_t i = 1; i < m_path.size(); ++i)
            m_along.push_back(m_along.back() + length(m_path[i] - m_path[i - 1]));
        for (double& a : m_along)
            a /= m_along.back();
    }

    double halfWidth(double along) const {
        return m_end + (m_start - m_end) * std::pow(1.0 - along, 0.9);
    }

    std::optional<double> brightness(Point p) const {
        double best = 1e9;
        std::size_t bestSegment = 0;
        double bestT = 0.0;
        for (std::size_t i = 0; i + 1 < m_path.size(); ++i) {
            const Point a = m_path[i], b = m_path[i + 1];
            const Point ab = b - a;
            const double t = std::clamp(dot(p - a, ab) / dot(ab, ab), 0.0, 1.0);
            const double d = length(p - (a + t * ab));
            if (d < best) {
                best = d;
                bestSegment = i;
                bestT = t;
            }
        }
        const double along =
            m_along[bestSegment] + bestT * (m_along[bestSegment + 1] - m_along[bestSegment]);
        const double half = halfWidth(along);
        if (best >= half)
            return std::nullopt;
        const Point a = m_path[bestSegment], b = m_path[bestSegment + 1];
        const Point tangent = (1.0 / length(b - a)) * (b - a);
        const Point across{-tangent.y, tangent.x};
        const Point closest = a + bestT * (b - a);
        const double u = std::clamp(dot(p - closest, across) / half, -1.0, 1.0);
        return shade({across.x * u, across.y * u, std::sqrt(1.0 - u * u)});
    }

private:
    std::vector<Point> m_path;
    std::vector<double> m_along;
    double m_start, m_end;
};

// The left half of the ornament, front to back; the right half is mirrored.
struct Ornament {
    Sphere top{{Middle, 22.0}, 19.0};
    Sphere small{{98.0, 32.0}, 9.0};
    Band band{{{Middle, 44.0},
               {182.0, 58.0},
               {146.0, 64.0},
               {114.0, 50.0},
               {84.0, 40.0},
               {52.0, 40.0},
               {28.0, 48.0},
               {14.0, 58.0},
               {14.0, 68.0},
               {23.0, 71.0},
               {28.0, 64.0}},
              6.5,
              1.1};

    std::optional<double> brightness(Point p) const {
        if (auto b = top.brightness(p))
            return b;
        if (auto b = small.brightness(p))
            return b;
        return band.brightness(p);
    }
};

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
};

// The ramp from deep navy through royal blue to the near-white of a highlight.
Rgb rampColour(double t) {
    struct Stop {
        double at;
        double r, g, b;
    };
    const Stop stops[] = {{0.0, 4, 12, 70},
                          {0.35, 16, 52, 168},
                          {0.6, 44, 104, 226},
                          {0.82, 130, 176, 250},
                          {1.0, 248, 251, 255}};
    for (std::size_t i = 1; i < std::size(stops); ++i) {
        if (t <= stops[i].at) {
            const Stop& a = stops[i - 1];
            const Stop& b = stops[i];
            const double k = (t - a.at) / (b.at - a.at);
            auto mix = [k](double x, double y) {
                return std::uint8_t(std::lround(x + (y - x) * k));
            };
            return {mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b)};
        }
    }
    return {248, 251, 255};
}

struct Picture {
    std::array<Rgb, 256> colours{};
    std::vector<std::uint8_t> pixels; // row by row from the top, one colour index each
};

Picture draw() {
    Picture picture;
    picture.colours[0] = {192, 192, 192}; // transparent; shown as button face where ignored
    for (int i = 1; i <= Shades; ++i)
        picture.colours[std::size_t(i)] = rampColour(double(i - 1) / (Shades - 1));
    picture.pixels.assign(std::size_t(Width) * Height, 0);

    // Edges fade towards a light blue, which sits well on a light window background.
    constexpr double EdgeBrightness = 0.8;
    const Ornament ornament;
    for (int y = 0; y < Height; ++y) {
        for (int x = 0; x < Width / 2; ++x) {
            int covered = 0;
            double sum = 0.0;
            for (int sy = 0; sy < Samples; ++sy) {
                for (int sx = 0; sx < Samples; ++sx) {
                    const Point p{x + (sx + 0.5) / Samples, y + (sy + 0.5) / Samples};
                    if (auto b = ornament.brightness(p)) {
                        ++covered;
                        sum += *b;
                    }
                }
            }
            const double coverage = double(covered) / (Samples * Samples);
            if (coverage < 0.3)
                continue;
            const double brightness =
                (sum / covered) * coverage + EdgeBrightness * (1.0 - coverage);
            const auto index = std::uint8_t(1 + std::lround(brightness * (Shades - 1)));
            picture.pixels[std::size_t(y) * Width + std::size_t(x)] = index;
            picture.pixels[std::size_t(y) * Width + std::size_t(Width - 1 - x)] = index;
        }
    }
    return picture;
}

// Writes the picture: the comment, then the graphics control extension naming the transparent
// index, which must come right before the image it applies to.
bool writeGif(const Picture& picture, const char* path) {
    int error = 0;
    GifFileType* gif = EGifOpenFileName(path, false, &error);
    if (!gif) {
        std::fprintf(stderr, "%s: %s\n", path, GifErrorString(error));
        return false;
    }
    EGifSetGifVersion(gif, true);

    std::array<GifColorType, 256> colours{};
    for (std::size_t i = 0; i < colours.size(); ++i)
        colours[i] = {picture.colours[i].r, picture.colours[i].g, picture.colours[i].b};
    ColorMapObject* map = GifMakeMapObject(int(colours.size()), colours.data());

    GraphicsControlBlock control{};
    control.DisposalMode = DISPOSAL_UNSPECIFIED;
    control.DelayTime = 0;
    control.TransparentColor = 0;
    GifByteType controlBytes[4];
    const std::size_t controlLength = EGifGCBToExtension(&control, controlBytes);
    static const char comment[] = "Trovan - about picture, drawn by tools/make_about_picture.cpp";

    bool ok =
        map && EGifPutScreenDesc(gif, Width, Height, 8, 0, map) == GIF_OK &&
        EGifPutComment(gif, comment) == GIF_OK &&
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(controlLength), controlBytes) == GIF_OK &&
        EGifPutImageDesc(gif, 0, 0, Width, Height, false, nullptr) == GIF_OK;
    std::vector<GifPixelType> row(Width);
    for (int y = 0; ok && y < Height; ++y) {
        std::copy_n(picture.pixels.begin() + std::ptrdiff_t(y) * Width, Width, row.begin());
        ok = EGifPutLine(gif, row.data(), Width) == GIF_OK;
    }
    if (!ok)
        std::fprintf(stderr, "%s: %s\n", path, GifErrorString(gif->Error));
    GifFreeMapObject(map);
    if (EGifCloseFile(gif, &error) != GIF_OK) {
        if (ok)
            std::fprintf(stderr, "%s: %s\n", path, GifErrorString(error));
        ok = false;
    }
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s output.gif\n", argv[0]);
        return 2;
    }
    const Picture picture = draw();
    const std::set<std::uint8_t> used(picture.pixels.begin(), picture.pixels.end());
    if (used.size() != Shades + 1) {
        std::fprintf(stderr, "the drawing uses %zu colours, not %d\n", used.size(), Shades + 1);
        return 1;
    }
    return writeGif(picture, argv[1]) ? 0 : 1;
}
