// Draws the application icon (32 by 32 pixels, 32 bits per pixel with
// alpha) and writes it as a one-image .ico file: a game controller with a
// green badge carrying an upward arrow. Shapes are distance functions,
// sampled 4 by 4 per pixel for smooth edges.
//
// usage: make_app_icon <output.ico>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int kSize = 32;
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

// Rows top to bottom, BGRA with straight (not premultiplied) alpha.
std::vector<std::uint8_t> Render()
{
    std::vector<std::uint8_t> pixels;
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            Color sum{0, 0, 0, 0};
            for (int sy = 0; sy < kSamples; ++sy) {
                for (int sx = 0; sx < kSamples; ++sx) {
                    const Point p{x + (sx + 0.5f) / kSamples, y + (sy + 0.5f) / kSamples};
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

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_app_icon <output.ico>\n");
        return 2;
    }
    const std::vector<std::uint8_t> ico = IcoFile(Render());
    std::FILE* file = std::fopen(argv[1], "wb");
    if (!file) {
        std::perror(argv[1]);
        return 1;
    }
    const bool written = std::fwrite(ico.data(), 1, ico.size(), file) == ico.size();
    return std::fclose(file) == 0 && written ? 0 : 1;
}
