// Draws the program's window icon, a yellow note held by a blue pin, and writes it with Qt as
// a 32 x 32 indexed PNG of 16 colours, entry 0 transparent.
//
//     make_icon ui/trovan.png
//
// Every shape gives a palette entry directly; each pixel takes the entry that most of its
// 8 x 8 samples show, and stays transparent when fewer than half of them hit anything. The
// output depends on nothing but this file.

#include <QImage>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>

namespace {

constexpr int Size = 32;
constexpr int Samples = 8;

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

double distanceToSegment(Point p, Point a, Point b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double t =
        std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

// The pin's head, lit from the upper left.
std::optional<Entry> pinHead(Point p) {
    const Point centre{17.0, 6.0};
    const double radius = 5.2;
    const double nx = (p.x - centre.x) / radius, ny = (p.y - centre.y) / radius;
    const double r2 = nx * nx + ny * ny;
    if (r2 >= 1.0)
        return std::nullopt;
    if (r2 > 0.80)
        return Navy;
    const double nz = std::sqrt(1.0 - r2);
    const double light = (-0.5 * nx - 0.6 * ny + 0.62 * nz);
    if (light > 0.93)
        return White;
    if (light > 0.80)
        return LightBlue;
    if (light > 0.45)
        return Blue;
    if (light > 0.05)
        return DarkBlue;
    return Navy;
}

std::optional<Entry> needle(Point p) {
    const Point top{15.6, 10.0}, point{13.2, 14.2};
    const double d = distanceToSegment(p, top, point);
    if (d > 0.75)
        return std::nullopt;
    return p.x < 14.6 - (p.y - 10.0) * 0.55 ? LightSteel : Steel;
}

// The note: a square with its lower right corner folded over.
std::optional<Entry> note(Point p) {
    constexpr double Half = 12.0;
    constexpr double Fold = 7.0;
    const Point centre{16.0, 19.0};
    const double x = p.x - centre.x;
    const double y = p.y - centre.y;
    if (std::abs(x) > Half || std::abs(y) > Half || x + y > 2 * Half - Fold)
        return std::nullopt;

    const double edge = std::min(
        {Half - std::abs(x), Half - std::abs(y), (2 * Half - Fold - x - y) / std::sqrt(2.0)});
    const double corner = Half - Fold;
    const bool onFlap = x >= corner && y >= corner;
    if (edge < 1.0)
        return Outline;
    if (onFlap)
        return (std::min(x, y) - corner < 1.0) ? Outline : NoteFold;

    // The shadow the pin casts, down and to the right of its head.
    const Point shadow{19.8, 9.8};
    const double sx = (p.x - shadow.x) / 5.0, sy = (p.y - shadow.y) / 3.2;
    if (sx * sx + sy * sy < 1.0)
        return NoteDark;

    // Writing: three full lines and a short one.
    for (int line = 0; line < 4; ++line) {
        const double at = -3.5 + 4.0 * line; // on pixel rows, one pixel thick
        const double end = line == 3 ? 0.0 : 8.0;
        if (std::abs(y - at) < 0.5 && x > -8.0 && x < end)
            return Writing;
    }

    // Light from the upper left, the note a little curved.
    const double lit = -x - y;
    if (lit > 10.0)
        return NoteLight;
    if (lit > -4.0)
        return Note;
    if (lit > -13.0)
        return NoteMid;
    return NoteDark;
}

std::optional<Entry> icon(Point p) {
    if (auto e = pinHead(p))
        return e;
    if (auto e = needle(p))
        return e;
    return note(p);
}

QImage draw() {
    QImage picture(Size, Size, QImage::Format_Indexed8);
    QList<QRgb> colours;
    for (const Colour& c : Palette)
        colours.append(qRgba(c.r, c.g, c.b, colours.isEmpty() ? 0 : 255));
    picture.setColorTable(colours);
    picture.fill(Transparent);
    for (int y = 0; y < Size; ++y) {
        for (int x = 0; x < Size; ++x) {
            std::array<int, EntryCount> votes{};
            int covered = 0;
            for (int sy = 0; sy < Samples; ++sy) {
                for (int sx = 0; sx < Samples; ++sx) {
                    if (auto e = icon({x + (sx + 0.5) / Samples, y + (sy + 0.5) / Samples})) {
                        ++votes[*e];
                        ++covered;
                    }
                }
            }
            if (2 * covered < Samples * Samples)
                continue;
            const auto winner = std::max_element(votes.begin() + 1, votes.end());
            picture.setPixel(x, y, uint(winner - votes.begin()));
        }
    }
    return picture;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s output.png\n", argv[0]);
        return 2;
    }
    if (!draw().save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "%s: could not write the PNG\n", argv[1]);
        return 1;
    }
    return 0;
}
