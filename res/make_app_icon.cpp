// Draws the application icon: a game controller with a green badge carrying
// an upward arrow. Shapes are distance functions on a 32 by 32 unit canvas,
// sampled 4 by 4 per pixel for smooth edges, so one drawing renders at any
// size. Windows gets it as a one-image .ico file (32 by 32 pixels, 32 bits
// per pixel with alpha: icon 152); Linux gets PNG files of the hicolor
// theme's sizes from the same drawing (built with APP_ICON_PNG and zlib).
//
// usage: make_app_icon <output.ico>
//        make_app_icon --png SIZE <output.png> [SIZE <output.png>]...
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#if defined(APP_ICON_PNG)
#include <zlib.h>
#endif

namespace {

constexpr int kSize = 32;  // the canvas, and the size of the .ico image
constexpr int kSamples = 4;

struct Color {
    float r, g, b, a;
};

struct Point {
    float x, y;
};

float Length(float x, float y) { return std::sqrt(x * x + y * y); }

// Signed distances: negative inside.
float Circle(Point p, Point c, float radius) { return Length(p.x - c.x, p.y - c.y) - radius; }

float RoundedBox(Point p, Point c, float halfW, float halfH, float radius)
{
    const float qx = std::fabs(p.x - c.x) - halfW + radius;
    const float qy = std::fabs(p.y - c.y) - halfH + radius;
    return Length(std::max(qx, 0.0f), std::max(qy, 0.0f)) + std::min(std::max(qx, qy), 0.0f) - radius;
}

// Segment a-b thickened to radius.
float Capsule(Point p, Point a, Point b, float radius)
{
    const float px = p.x - a.x, py = p.y - a.y, bx = b.x - a.x, by = b.y - a.y;
    const float t = std::clamp((px * bx + py * by) / (bx * bx + by * by), 0.0f, 1.0f);
    return Length(px - bx * t, py - by * t) - radius;
}

float Union(float a, float b) { return std::min(a, b); }

using Shape = float (*)(Point);

float Body(Point p)
{
    const float top = RoundedBox(p, {16.0f, 12.5f}, 14.0f, 6.5f, 5.0f);
    const float leftGrip = Capsule(p, {8.0f, 14.0f}, {5.5f, 22.0f}, 4.3f);
    const float rightGrip = Capsule(p, {24.0f, 14.0f}, {26.5f, 22.0f}, 4.3f);
    return Union(top, Union(leftGrip, rightGrip));
}

float Pad(Point p)
{
    return Union(RoundedBox(p, {8.5f, 12.5f}, 3.6f, 1.2f, 0.5f),
                 RoundedBox(p, {8.5f, 12.5f}, 1.2f, 3.6f, 0.5f));
}

float ButtonA(Point p) { return Circle(p, {22.6f, 12.4f}, 1.7f); }
float ButtonB(Point p) { return Circle(p, {26.0f, 9.6f}, 1.7f); }
float Badge(Point p) { return Circle(p, {23.5f, 24.0f}, 7.0f); }
float BadgeRim(Point p) { return Circle(p, {23.5f, 24.0f}, 8.0f); }

float Arrow(Point p)
{
    const float stem = RoundedBox(p, {23.5f, 25.8f}, 1.3f, 3.2f, 0.4f);
    // The head: a triangle pointing up, where all three half planes overlap.
    const float dx = p.x - 23.5f, dy = p.y - 18.8f;
    const float leftEdge = -dx * 0.8f - dy * 0.6f;
    const float rightEdge = dx * 0.8f - dy * 0.6f;
    const float base = p.y - 23.6f;
    return Union(stem, std::max(std::max(leftEdge, rightEdge), base));
}

struct Layer {
    Shape shape;
    Color color;
};

// Painted in order, each over the ones before.
const std::array<Layer, 7> kLayers = {{
    {&Body, {0.17f, 0.20f, 0.26f, 1.0f}},
    {&Pad, {0.86f, 0.89f, 0.93f, 1.0f}},
    {&ButtonA, {0.95f, 0.36f, 0.32f, 1.0f}},
    {&ButtonB, {0.31f, 0.62f, 0.96f, 1.0f}},
    {&BadgeRim, {1.0f, 1.0f, 1.0f, 1.0f}},
    {&Badge, {0.16f, 0.66f, 0.33f, 1.0f}},
    {&Arrow, {1.0f, 1.0f, 1.0f, 1.0f}},
}};

// Premultiplied "over" of one sample.
Color Over(Color under, Color top)
{
    const float keep = 1.0f - top.a;
    return {top.r * top.a + under.r * keep, top.g * top.a + under.g * keep,
            top.b * top.a + under.b * keep, top.a + under.a * keep};
}

Color Sample(Point p)
{
    Color pixel{0, 0, 0, 0};
    for (const Layer& layer : kLayers) {
        if (layer.shape(p) <= 0.0f)
            pixel = Over(pixel, layer.color);
    }
    return pixel;
}

std::uint8_t Byte(float value) { return static_cast<std::uint8_t>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f)); }

// size by size pixels, rows top to bottom, BGRA with straight (not
// premultiplied) alpha. At the canvas size a pixel is one unit (the scale is
// exactly 1, so the .ico stays what it always was).
std::vector<std::uint8_t> Render(int size)
{
    const float scale = static_cast<float>(kSize) / static_cast<float>(size);
    std::vector<std::uint8_t> pixels;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            Color sum{0, 0, 0, 0};
            for (int sy = 0; sy < kSamples; ++sy) {
                for (int sx = 0; sx < kSamples; ++sx) {
                    const Point p{(x + (sx + 0.5f) / kSamples) * scale,
                                  (y + (sy + 0.5f) / kSamples) * scale};
                    const Color c = Sample(p);
                    sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b, sum.a + c.a};
                }
            }
            const float n = kSamples * kSamples;
            const float a = sum.a / n;
            const float unpremultiply = a > 0.0f ? 1.0f / sum.a : 0.0f;
            pixels.insert(pixels.end(), {Byte(sum.b * unpremultiply), Byte(sum.g * unpremultiply),
                                         Byte(sum.r * unpremultiply), Byte(a)});
        }
    }
    return pixels;
}

void Put16(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// ICONDIR, one ICONDIRENTRY, then the image: BITMAPINFOHEADER (height
// doubled for the mask), colour rows bottom-up, and the 1-bit AND mask.
std::vector<std::uint8_t> IcoFile(const std::vector<std::uint8_t>& pixels)
{
    constexpr std::uint32_t kMaskRowBytes = 4;  // 32 bits, already a multiple of 4 bytes
    constexpr std::uint32_t kImageBytes = 40 + kSize * kSize * 4 + kSize * kMaskRowBytes;
    std::vector<std::uint8_t> out;
    Put16(out, 0);  // reserved
    Put16(out, 1);  // type: icon
    Put16(out, 1);  // one image
    out.push_back(kSize);
    out.push_back(kSize);
    out.push_back(0);  // no palette
    out.push_back(0);
    Put16(out, 1);   // planes
    Put16(out, 32);  // bits per pixel
    Put32(out, kImageBytes);
    Put32(out, 6 + 16);  // image offset
    Put32(out, 40);
    Put32(out, kSize);
    Put32(out, kSize * 2);
    Put16(out, 1);
    Put16(out, 32);
    for (int i = 0; i < 6; ++i)
        Put32(out, 0);  // no compression, size, resolution, colours
    for (int y = kSize - 1; y >= 0; --y) {
        const auto row = pixels.begin() + y * kSize * 4;
        out.insert(out.end(), row, row + kSize * 4);
    }
    for (int y = kSize - 1; y >= 0; --y) {
        std::uint32_t mask = 0;  // bit set: transparent where alpha is not honoured
        for (int x = 0; x < kSize; ++x) {
            if (pixels[static_cast<std::size_t>((y * kSize + x) * 4 + 3)] == 0)
                mask |= 0x80000000u >> x;
        }
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(static_cast<std::uint8_t>(mask >> shift));
    }
    return out;
}

#if defined(APP_ICON_PNG)
void PutBig32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

// Length, type, data, CRC-32 of type and data.
void PutChunk(std::vector<std::uint8_t>& out, const char (&type)[5], const std::vector<std::uint8_t>& data)
{
    PutBig32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    const uLong crc = crc32(0L, out.data() + typeAt, static_cast<uInt>(out.size() - typeAt));
    PutBig32(out, static_cast<std::uint32_t>(crc));
}

// 8-bit RGBA, not interlaced; every row with filter type 0 (none).
bool PngFile(const std::vector<std::uint8_t>& bgra, int size, std::vector<std::uint8_t>& out)
{
    std::vector<std::uint8_t> rows;
    for (int y = 0; y < size; ++y) {
        rows.push_back(0);
        for (int x = 0; x < size; ++x) {
            const auto pixel = bgra.begin() + (y * size + x) * 4;
            rows.insert(rows.end(), {pixel[2], pixel[1], pixel[0], pixel[3]});
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(rows.size()));
    std::vector<std::uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, rows.data(), static_cast<uLong>(rows.size()), 9) != Z_OK)
        return false;
    packed.resize(packedSize);

    std::vector<std::uint8_t> header;
    PutBig32(header, static_cast<std::uint32_t>(size));
    PutBig32(header, static_cast<std::uint32_t>(size));
    header.insert(header.end(), {8, 6, 0, 0, 0});  // depth, RGBA, deflate, filters, no interlace
    out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    PutChunk(out, "IHDR", header);
    PutChunk(out, "IDAT", packed);
    PutChunk(out, "IEND", {});
    return true;
}
#endif

bool WriteFile(const char* path, const std::vector<std::uint8_t>& bytes)
{
    std::FILE* file = std::fopen(path, "wb");
    if (!file) {
        std::perror(path);
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

int Usage()
{
    std::fprintf(stderr, "usage: make_app_icon <output.ico>\n"
#if defined(APP_ICON_PNG)
                         "       make_app_icon --png SIZE <output.png> [SIZE <output.png>]...\n"
#endif
    );
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.size() == 1 && arguments[0] != "--png")
        return WriteFile(argv[1], IcoFile(Render(kSize))) ? 0 : 1;
#if defined(APP_ICON_PNG)
    if (arguments.size() >= 3 && arguments.size() % 2 == 1 && arguments[0] == "--png") {
        for (std::size_t i = 1; i < arguments.size(); i += 2) {
            const int size = std::atoi(arguments[i].c_str());
            if (size < 1 || size > 1024)
                return Usage();
            std::vector<std::uint8_t> png;
            if (!PngFile(Render(size), size, png) || !WriteFile(arguments[i + 1].c_str(), png))
                return 1;
        }
        return 0;
    }
#endif
    return Usage();
}
