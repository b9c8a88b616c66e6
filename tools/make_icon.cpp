// Draws the program's icon, a yellow note held by a blue pin, at every size the hicolor icon
// theme asks for, and once more as a scalable SVG:
//
//     make_icon ui/icons
//
// writes trovan-16.png, -24, -32, -48, -64, -128, -256 and trovan.svg into the folder.
//
// The shapes are laid out on a grid of 32 x 32 units. For a picture of N pixels every pixel is
// sampled 8 x 8 times on that grid; every shape gives a palette entry directly. At 24 and 32
// pixels the picture is pixel art, an indexed PNG of 16 colours, entry 0 transparent: each pixel
// takes the entry that most of its samples show and stays transparent when fewer than half of
// them hit anything. At 16 pixels, where the writing is thinner than a pixel and would vanish,
// and from 48 on, where edges would show their steps, each pixel is the mean of its samples'
// colours and as opaque as the share of samples that hit. The SVG draws the same shapes from the
// same numbers. The output depends on nothing but this file.

#include <QFile>
#include <QImage>
#include <QString>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr double Grid = 32.0;
constexpr int Samples = 8;
constexpr std::array Sizes{16, 24, 32, 48, 64, 128, 256};
bool isPixelArt(int size) {
    return size == 24 || size == 32;
}

enum Entry : std::uint8_t {
    Transparent,
    Outline,
    NoteFold,
    NoteDark,
    NoteMid,
    Note,
    NoteLight,
    Writing,
    Navy,
    DarkBlue,
    Blue,
    LightBlue,
    PaleBlue,
    White,
    Steel,
    LightSteel,
    EntryCount
};

struct Colour {
    int r, g, b;
};

const std::array<Colour, EntryCount> Palette = {{
    {192, 192, 192}, // transparent
    {92, 70, 10},    // outline
    {206, 168, 40},  // back of the folded corner
    {234, 202, 58},  // note, shaded
    {248, 222, 84},  // note
    {255, 236, 122}, // note
    {255, 248, 178}, // note, lit
    {168, 132, 52},  // writing
    {6, 14, 90},     // pin, darkest
    {20, 46, 164},   // pin
    {42, 90, 224},   // pin
    {112, 160, 255}, // pin, lit
    {200, 222, 255}, // pin, highlight edge
    {255, 255, 255}, // highlight
    {104, 104, 116}, // needle
    {196, 196, 206}, // needle, lit
}};

struct Point {
    double x, y;
};

// The pin's head: a sphere lit from the upper left, seen from the front, inside a dark rim.
constexpr Point PinCentre{17.0, 6.0};
constexpr double PinRadius = 5.2;
constexpr double PinRimFrom = 0.80; // the rim: the outer part, by squared radius
constexpr double PinLight[3] = {-0.5, -0.6, 0.62};
struct Band {
    double above; // the light at a point of the sphere
    Entry entry;
};
// Brightest first; what lies below the last is Navy.
constexpr std::array<Band, 4> PinBands{
    {{0.93, White}, {0.80, LightBlue}, {0.45, Blue}, {0.05, DarkBlue}}};

// The needle: a round-ended stroke, lit left of a line across it.
constexpr Point NeedleTop{15.6, 10.0}, NeedlePoint{13.2, 14.2};
constexpr double NeedleHalfWidth = 0.75;
// Lit where x + NeedleLitSlope * y < NeedleLitBelow.
constexpr double NeedleLitSlope = 0.55;
constexpr double NeedleLitBelow = 14.6 + 0.55 * 10.0;

// The note: a square with its lower right corner folded over, outlined one unit wide.
constexpr Point NoteCentre{16.0, 19.0};
constexpr double NoteHalf = 12.0;
constexpr double NoteFoldSize = 7.0;
constexpr double NoteEdge = 1.0;
constexpr double NoteCut = 2 * NoteHalf - NoteFoldSize; // the fold's edge: x + y = NoteCut
constexpr double NoteCorner = NoteHalf - NoteFoldSize;  // the flap: x and y from here on
// The shadow the pin casts, down and to the right of its head.
constexpr Point ShadowCentre{19.8, 9.8};
constexpr double ShadowRadiusX = 5.0, ShadowRadiusY = 3.2;
// Writing: three full lines and a short one, on pixel rows, one unit thick.
constexpr int WritingLines = 4;
constexpr double WritingFirstRow = -3.5, WritingSpacing = 4.0, WritingLeft = -8.0;
constexpr double WritingRight = 8.0, WritingShortRight = 0.0;
// Light from the upper left, the note a little curved: bands by -(x + y), brightest first.
constexpr std::array<Band, 3> NoteBands{{{10.0, NoteLight}, {-4.0, Note}, {-13.0, NoteMid}}};

double distanceToSegment(Point p, Point a, Point b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double t =
        std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

std::optional<Entry> pinHead(Point p) {
    const double nx = (p.x - PinCentre.x) / PinRadius, ny = (p.y - PinCentre.y) / PinRadius;
    const double r2 = nx * nx + ny * ny;
    if (r2 >= 1.0)
        return std::nullopt;
    if (r2 > PinRimFrom)
        return Navy;
    const double nz = std::sqrt(1.0 - r2);
    const double light = PinLight[0] * nx + PinLight[1] * ny + PinLight[2] * nz;
    for (const Band& band : PinBands) {
        if (light > band.above)
            return band.entry;
    }
    return Navy;
}

std::optional<Entry> needle(Point p) {
    if (distanceToSegment(p, NeedleTop, NeedlePoint) > NeedleHalfWidth)
        return std::nullopt;
    return p.x < NeedleLitBelow - NeedleLitSlope * p.y ? LightSteel : Steel;
}

std::optional<Entry> note(Point p) {
    const double x = p.x - NoteCentre.x;
    const double y = p.y - NoteCentre.y;
    if (std::abs(x) > NoteHalf || std::abs(y) > NoteHalf || x + y > NoteCut)
        return std::nullopt;

    const double edge = std::min(
        {NoteHalf - std::abs(x), NoteHalf - std::abs(y), (NoteCut - x - y) / std::sqrt(2.0)});
    const bool onFlap = x >= NoteCorner && y >= NoteCorner;
    if (edge < NoteEdge)
        return Outline;
    if (onFlap)
        return (std::min(x, y) - NoteCorner < NoteEdge) ? Outline : NoteFold;

    const double sx = (p.x - ShadowCentre.x) / ShadowRadiusX;
    const double sy = (p.y - ShadowCentre.y) / ShadowRadiusY;
    if (sx * sx + sy * sy < 1.0)
        return NoteDark;

    for (int line = 0; line < WritingLines; ++line) {
        const double at = WritingFirstRow + WritingSpacing * line;
        const double end = line == WritingLines - 1 ? WritingShortRight : WritingRight;
        if (std::abs(y - at) < 0.5 && x > WritingLeft && x < end)
            return Writing;
    }

    const double lit = -x - y;
    for (const Band& band : NoteBands) {
        if (lit > band.above)
            return band.entry;
    }
    return NoteDark;
}

std::optional<Entry> icon(Point p) {
    if (auto e = pinHead(p))
        return e;
    if (auto e = needle(p))
        return e;
    return note(p);
}

// Calls `sample` with the grid point of each of the pixel's samples.
template <typename Sample> void forEachSample(int size, int x, int y, Sample&& sample) {
    const double unit = Grid / size;
    for (int sy = 0; sy < Samples; ++sy) {
        for (int sx = 0; sx < Samples; ++sx)
            sample(Point{(x + (sx + 0.5) / Samples) * unit, (y + (sy + 0.5) / Samples) * unit});
    }
}

QImage drawPixelArt(int size) {
    QImage picture(size, size, QImage::Format_Indexed8);
    QList<QRgb> colours;
    for (const Colour& c : Palette)
        colours.append(qRgba(c.r, c.g, c.b, colours.isEmpty() ? 0 : 255));
    picture.setColorTable(colours);
    picture.fill(Transparent);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            std::array<int, EntryCount> votes{};
            int covered = 0;
            forEachSample(size, x, y, [&](Point p) {
                if (auto e = icon(p)) {
                    ++votes[*e];
                    ++covered;
                }
            });
            if (2 * covered < Samples * Samples)
                continue;
            const auto winner = std::max_element(votes.begin() + 1, votes.end());
            picture.setPixel(x, y, uint(winner - votes.begin()));
        }
    }
    return picture;
}

QImage drawSmooth(int size) {
    QImage picture(size, size, QImage::Format_ARGB32);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            int r = 0, g = 0, b = 0, covered = 0;
            forEachSample(size, x, y, [&](Point p) {
                if (auto e = icon(p)) {
                    r += Palette[*e].r;
                    g += Palette[*e].g;
                    b += Palette[*e].b;
                    ++covered;
                }
            });
            const auto mean = [covered](int sum) {
                return covered ? (sum + covered / 2) / covered : 0;
            };
            const int alpha = (255 * covered + Samples * Samples / 2) / (Samples * Samples);
            picture.setPixel(x, y, qRgba(mean(r), mean(g), mean(b), alpha));
        }
    }
    return picture;
}

// --- The SVG ---

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    std::string s = text;
    s.erase(s.find_last_not_of('0') + 1);
    if (s.back() == '.')
        s.pop_back();
    return s == "-0" ? "0" : s;
}

std::string colour(Entry entry) {
    char text[8];
    const Colour& c = Palette[entry];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", c.r, c.g, c.b);
    return text;
}

// A closed path through the points.
std::string path(const std::vector<Point>& points) {
    std::string d;
    for (const Point& p : points)
        d += (d.empty() ? "M" : " L") + number(p.x) + "," + number(p.y);
    return d + " Z";
}

std::vector<Point> onNote(std::initializer_list<Point> local) {
    std::vector<Point> points;
    for (const Point& p : local)
        points.push_back({NoteCentre.x + p.x, NoteCentre.y + p.y});
    return points;
}

// Where the pin's head is lit more than `above`, on the unit disc of the sphere seen from the
// front: the points of the sphere lit that much form a cap, whose edge is a circle. The part of
// that circle on the visible side bounds the region; where the cap reaches round the sphere's
// edge, the disc's own edge closes it.
std::vector<Point> litRegion(double above) {
    const double length = std::sqrt(PinLight[0] * PinLight[0] + PinLight[1] * PinLight[1] +
                                    PinLight[2] * PinLight[2]);
    const double l[3] = {PinLight[0] / length, PinLight[1] / length, PinLight[2] / length};
    const double c = above / length;
    const double radius = std::sqrt(1.0 - c * c);
    const double across = std::hypot(l[0], l[1]);
    // The circle: c * l + radius * (cos t * u + sin t * v), u level, v rising towards the viewer.
    const double u[3] = {-l[1] / across, l[0] / across, 0.0};
    const double v[3] = {l[1] * u[2] - l[2] * u[1], l[2] * u[0] - l[0] * u[2],
                         l[0] * u[1] - l[1] * u[0]};
    const double sinVisible = -c * l[2] / (radius * v[2]); // in front where sin t is above this
    constexpr int Steps = 96;
    std::vector<Point> points;
    const auto onCircle = [&](double t) {
        return Point{c * l[0] + radius * (std::cos(t) * u[0] + std::sin(t) * v[0]),
                     c * l[1] + radius * (std::cos(t) * u[1] + std::sin(t) * v[1])};
    };
    if (sinVisible <= -1.0) {
        for (int i = 0; i < Steps; ++i)
            points.push_back(onCircle(2 * M_PI * i / Steps));
    } else {
        const double from = std::asin(sinVisible), to = M_PI - from;
        for (int i = 0; i <= Steps; ++i)
            points.push_back(onCircle(from + (to - from) * i / Steps));
        // Back along the disc's edge, through the point nearest the light.
        const double towardsLight = std::atan2(l[1], l[0]);
        const auto offset = [towardsLight](Point p) {
            return std::remainder(std::atan2(p.y, p.x) - towardsLight, 2 * M_PI);
        };
        const double start = offset(points.back()), end = offset(points.front());
        for (int i = 1; i < Steps; ++i) {
            const double angle = towardsLight + start + (end - start) * i / Steps;
            points.push_back({std::cos(angle), std::sin(angle)});
        }
    }
    for (Point& p : points)
        p = {PinCentre.x + PinRadius * p.x, PinCentre.y + PinRadius * p.y};
    return points;
}

std::string drawSvg() {
    const double edgeCut = NoteCut - NoteEdge * std::sqrt(2.0); // the fold's edge, inside
    const double inner = NoteHalf - NoteEdge;
    const double flapFrom = NoteCorner + NoteEdge;
    const std::vector<Point> outline = onNote({{-NoteHalf, -NoteHalf},
                                               {NoteHalf, -NoteHalf},
                                               {NoteHalf, NoteCut - NoteHalf},
                                               {NoteCut - NoteHalf, NoteHalf},
                                               {-NoteHalf, NoteHalf}});
    const std::vector<Point> flap = onNote(
        {{flapFrom, flapFrom}, {edgeCut - flapFrom, flapFrom}, {flapFrom, edgeCut - flapFrom}});
    const std::vector<Point> body = onNote({{-inner, -inner},
                                            {inner, -inner},
                                            {inner, edgeCut - inner},
                                            {edgeCut - NoteCorner, NoteCorner},
                                            {NoteCorner, NoteCorner},
                                            {NoteCorner, edgeCut - NoteCorner},
                                            {edgeCut - inner, inner},
                                            {-inner, inner}});

    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
                      "viewBox=\"0 0 32 32\">\n"
                      "  <defs>\n";
    // The note's light: bands across the diagonal from its upper left to its lower right
    // corner, where -(x + y) runs from 2 * NoteHalf down to -2 * NoteHalf.
    svg += "    <linearGradient id=\"note-light\" gradientUnits=\"userSpaceOnUse\" x1=\"" +
           number(NoteCentre.x - NoteHalf) + "\" y1=\"" + number(NoteCentre.y - NoteHalf) +
           "\" x2=\"" + number(NoteCentre.x + NoteHalf) + "\" y2=\"" +
           number(NoteCentre.y + NoteHalf) + "\">\n";
    const auto stop = [](const std::string& offset, Entry entry) {
        return "      <stop offset=\"" + offset + "\" stop-color=\"" + colour(entry) + "\"/>\n";
    };
    svg += stop("0", NoteBands.front().entry);
    for (std::size_t i = 0; i < NoteBands.size(); ++i) {
        const Entry below = i + 1 < NoteBands.size() ? NoteBands[i + 1].entry : NoteDark;
        const std::string offset = number((2 * NoteHalf - NoteBands[i].above) / (4 * NoteHalf));
        svg += stop(offset, NoteBands[i].entry) + stop(offset, below);
    }
    svg += stop("1", NoteDark);
    svg += "    </linearGradient>\n";
    svg += "    <clipPath id=\"note-body\"><path d=\"" + path(body) + "\"/></clipPath>\n";
    // The lit side of the needle: a quadrilateral reaching well past it on the left.
    const double top = NeedleTop.y - 2, bottom = NeedlePoint.y + 2, left = 0;
    svg += "    <clipPath id=\"needle-lit\"><path d=\"" +
           path({{left, top},
                 {NeedleLitBelow - NeedleLitSlope * top, top},
                 {NeedleLitBelow - NeedleLitSlope * bottom, bottom},
                 {left, bottom}}) +
           "\"/></clipPath>\n";
    svg += "    <clipPath id=\"pin-face\"><circle cx=\"" + number(PinCentre.x) + "\" cy=\"" +
           number(PinCentre.y) + "\" r=\"" + number(PinRadius * std::sqrt(PinRimFrom)) +
           "\"/></clipPath>\n"
           "  </defs>\n";

    svg += "  <path fill=\"" + colour(Outline) + "\" d=\"" + path(outline) + "\"/>\n";
    svg += "  <path fill=\"" + colour(NoteFold) + "\" d=\"" + path(flap) + "\"/>\n";
    svg += "  <path fill=\"url(#note-light)\" d=\"" + path(body) + "\"/>\n";
    for (int line = 0; line < WritingLines; ++line) {
        const double at = WritingFirstRow + WritingSpacing * line;
        const double end = line == WritingLines - 1 ? WritingShortRight : WritingRight;
        svg += "  <rect fill=\"" + colour(Writing) + "\" x=\"" +
               number(NoteCentre.x + WritingLeft) + "\" y=\"" + number(NoteCentre.y + at - 0.5) +
               "\" width=\"" + number(end - WritingLeft) + "\" height=\"1\"/>\n";
    }
    svg += "  <ellipse fill=\"" + colour(NoteDark) + "\" clip-path=\"url(#note-body)\" cx=\"" +
           number(ShadowCentre.x) + "\" cy=\"" + number(ShadowCentre.y) + "\" rx=\"" +
           number(ShadowRadiusX) + "\" ry=\"" + number(ShadowRadiusY) + "\"/>\n";
    const std::string stroke = "x1=\"" + number(NeedleTop.x) + "\" y1=\"" + number(NeedleTop.y) +
                               "\" x2=\"" + number(NeedlePoint.x) + "\" y2=\"" +
                               number(NeedlePoint.y) + "\" stroke-width=\"" +
                               number(2 * NeedleHalfWidth) + "\" stroke-linecap=\"round\"";
    svg += "  <line stroke=\"" + colour(Steel) + "\" " + stroke + "/>\n";
    svg += "  <line stroke=\"" + colour(LightSteel) + "\" clip-path=\"url(#needle-lit)\" " +
           stroke + "/>\n";
    svg += "  <circle fill=\"" + colour(Navy) + "\" cx=\"" + number(PinCentre.x) + "\" cy=\"" +
           number(PinCentre.y) + "\" r=\"" + number(PinRadius) + "\"/>\n";
    svg += "  <g clip-path=\"url(#pin-face)\">\n";
    for (auto band = PinBands.rbegin(); band != PinBands.rend(); ++band)
        svg += "    <path fill=\"" + colour(band->entry) + "\" d=\"" +
               path(litRegion(band->above)) + "\"/>\n";
    svg += "  </g>\n</svg>\n";
    return svg;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s output-folder\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    for (const int size : Sizes) {
        const QImage picture = isPixelArt(size) ? drawPixelArt(size) : drawSmooth(size);
        const QString name = folder + QStringLiteral("/trovan-%1.png").arg(size);
        if (!picture.save(name, "PNG")) {
            std::fprintf(stderr, "%s: could not write the PNG\n", qPrintable(name));
            return 1;
        }
    }
    QFile svg(folder + QStringLiteral("/trovan.svg"));
    const std::string text = drawSvg();
    if (!svg.open(QIODevice::WriteOnly) ||
        svg.write(text.data(), qint64(text.size())) != qint64(text.size()) || !svg.flush()) {
        std::fprintf(stderr, "%s: could not write the SVG\n", qPrintable(svg.fileName()));
        return 1;
    }
    return 0;
}
