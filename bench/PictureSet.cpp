#include "PictureSet.h"

#include <gdfontg.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace twbench {

namespace {

// Deterministic draws from the raw 32-bit output of the engine.
class Draw {
public:
    explicit Draw(uint32_t seed) : engine_(seed) {}
    uint32_t next() { return static_cast<uint32_t>(engine_()); }
    double unit() { return next() / 4294967296.0; }  // [0, 1)
    int range(int low, int high) { return low + static_cast<int>(next() % uint32_t(high - low + 1)); }
    double between(double low, double high) { return low + (high - low) * unit(); }

private:
    std::mt19937 engine_;
};

struct Rgb {
    double r, g, b;
};

int clampChannel(double value) {
    return std::clamp(static_cast<int>(std::lround(value)), 0, 255);
}

int pixel(const Rgb& colour) {
    return gdTrueColor(clampChannel(colour.r), clampChannel(colour.g), clampChannel(colour.b));
}

Rgb randomColour(Draw& draw) {
    return {draw.between(0, 255), draw.between(0, 255), draw.between(0, 255)};
}

Rgb mix(const Rgb& a, const Rgb& b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

uint32_t seedFor(uint32_t seed, Kind kind, int index, uint32_t salt) {
    return seed * 2654435761u + static_cast<uint32_t>(kind) * 40503u + static_cast<uint32_t>(index) * 97u + salt;
}

Picture blank(int width, int height) {
    Picture picture(gdImageCreateTrueColor(width, height));
    if (!picture) throw std::runtime_error("libgd could not make a picture");
    return picture;
}

// Film grain: every channel moved by up to `amount` either way.
void addGrain(gdImage& picture, Draw& draw, int amount) {
    for (int y = 0; y < picture.sy; ++y)
        for (int x = 0; x < picture.sx; ++x) {
            const int c = picture.tpixels[y][x];
            const int g = static_cast<int>(draw.next() % uint32_t(2 * amount + 1)) - amount;
            picture.tpixels[y][x] = gdTrueColor(std::clamp(gdTrueColorGetRed(c) + g, 0, 255),
                                                std::clamp(gdTrueColorGetGreen(c) + g, 0, 255),
                                                std::clamp(gdTrueColorGetBlue(c) + g, 0, 255));
        }
}

// Smooth noise in [0, 1): random values on a grid of `cells` x `cells`, interpolated.
class ValueNoise {
public:
    ValueNoise(Draw& draw, int cells) : cells_(cells), values_((cells + 1) * (cells + 1)) {
        for (double& v : values_) v = draw.unit();
    }
    double at(double u, double v) const {  // u, v in [0, 1]
        const double x = u * cells_, y = v * cells_;
        const int x0 = std::min(static_cast<int>(x), cells_ - 1), y0 = std::min(static_cast<int>(y), cells_ - 1);
        const double fx = smooth(x - x0), fy = smooth(y - y0);
        const double top = lerp(value(x0, y0), value(x0 + 1, y0), fx);
        const double bottom = lerp(value(x0, y0 + 1), value(x0 + 1, y0 + 1), fx);
        return lerp(top, bottom, fy);
    }

private:
    static double smooth(double t) { return t * t * (3 - 2 * t); }
    static double lerp(double a, double b, double t) { return a + (b - a) * t; }
    double value(int x, int y) const { return values_[static_cast<size_t>(y * (cells_ + 1) + x)]; }
    int cells_;
    std::vector<double> values_;
};

// --- natural: a field of noise over a vertical gradient, through a colour ramp ---

struct NaturalSettings {
    Rgb ramp[4];
    double gradient;  // weight of the top-to-bottom gradient
};

NaturalSettings naturalSettings(Draw& draw) {
    NaturalSettings s{};
    for (Rgb& colour : s.ramp) colour = randomColour(draw);
    s.gradient = draw.between(0.2, 0.6);
    return s;
}

// The two coarsest octaves (the picture's layout) are drawn from `coarse`, the finer ones
// from `fine`; an original passes the same draw for both.
Picture drawNatural(const NaturalSettings& s, Draw& coarse, Draw& fine, Draw& grain, int width, int height) {
    const ValueNoise first(coarse, 3), second(coarse, 7);
    const ValueNoise octaves[] = {first, second, ValueNoise(fine, 16), ValueNoise(fine, 40)};
    const double weights[] = {0.45, 0.3, 0.15, 0.1};
    Picture picture = blank(width, height);
    for (int y = 0; y < height; ++y) {
        const double v = double(y) / height;
        for (int x = 0; x < width; ++x) {
            const double u = double(x) / width;
            double noise = 0;
            for (int o = 0; o < 4; ++o) noise += weights[o] * octaves[o].at(u, v);
            const double f = std::clamp(s.gradient * v + (1 - s.gradient) * noise, 0.0, 0.9999) * 3;
            const int step = static_cast<int>(f);
            picture->tpixels[y][x] = pixel(mix(s.ramp[step], s.ramp[step + 1], f - step));
        }
    }
    addGrain(*picture, grain, 6);
    return picture;
}

// --- text: lines of words on a flat background ---

const char* const kWords[] = {"meeting", "budget", "quarter", "growth", "summer",  "holiday", "garden",  "report",
                              "project", "review", "design",  "launch", "market",  "village", "river",   "mountain",
                              "coffee",  "ticket", "station", "letter", "invoice", "payment", "weekend", "concert",
                              "recipe",  "lesson", "chapter", "notes",  "travel",  "museum",  "harbour", "evening",
                              "morning", "planet", "circle",  "window", "pencil",  "orange",  "silver",  "forest"};

struct TextSettings {
    Rgb background, ink;
    int lines;
    int scale;  // of the 9x15 font
};

TextSettings textSettings(Draw& draw) {
    TextSettings s{};
    s.background = {draw.between(170, 255), draw.between(170, 255), draw.between(170, 255)};
    s.ink = {draw.between(0, 90), draw.between(0, 90), draw.between(0, 90)};
    s.lines = draw.range(4, 7);
    s.scale = draw.range(3, 4);
    return s;
}

// With `reorder`, the words of each line are put in another order (the same line
// lengths, other content).
Picture drawText(const TextSettings& s, Draw& words, Draw* reorder, Draw& grain, int width, int height) {
    // Drawn small with the bitmap font, then enlarged smoothly, as a photographed page;
    // the font keeps its size to the picture's (a scale of 3 or 4 at 800 pixels wide).
    const int scale = std::max(1, s.scale * width / 800);
    const int smallWidth = width / scale, smallHeight = height / scale;
    Picture small = blank(smallWidth, smallHeight);
    gdImageFilledRectangle(small.get(), 0, 0, smallWidth - 1, smallHeight - 1, pixel(s.background));
    gdFontPtr font = gdFontGetGiant();
    const int lineHeight = smallHeight / (s.lines + 1);
    for (int line = 0; line < s.lines; ++line) {
        std::vector<std::string> chosen;
        size_t length = 0;
        while (true) {
            std::string word = kWords[words.next() % std::size(kWords)];
            if (static_cast<int>((length + word.size() + 1)) * font->w > smallWidth - 16) break;
            length += (chosen.empty() ? 0 : 1) + word.size();
            chosen.push_back(std::move(word));
        }
        if (reorder)
            for (size_t i = chosen.size(); i > 1; --i) std::swap(chosen[i - 1], chosen[reorder->next() % i]);
        std::string text;
        for (const std::string& word : chosen) text += (text.empty() ? "" : " ") + word;
        gdImageString(small.get(), font, 8, lineHeight / 2 + line * lineHeight,
                      reinterpret_cast<unsigned char*>(text.data()), pixel(s.ink));
    }
    Picture picture = blank(width, height);
    gdImageCopyResampled(picture.get(), small.get(), 0, 0, 0, 0, width, height, smallWidth, smallHeight);
    addGrain(*picture, grain, 3);
    return picture;
}

// --- composite: shapes over a gradient ---

struct Shape {
    int type;  // 0 rectangle, 1 ellipse, 2 triangle
    Rgb colour;
    double w, h;  // fractions of the picture
};

struct CompositeSettings {
    Rgb from, to;
    bool horizontal;
    std::vector<Shape> shapes;
};

CompositeSettings compositeSettings(Draw& draw) {
    CompositeSettings s{randomColour(draw), randomColour(draw), draw.next() % 2 == 0, {}};
    const int count = draw.range(6, 12);
    for (int i = 0; i < count; ++i)
        s.shapes.push_back({draw.range(0, 2), randomColour(draw), draw.between(0.08, 0.3), draw.between(0.08, 0.3)});
    return s;
}

Picture drawComposite(const CompositeSettings& s, Draw& places, Draw& grain, int width, int height) {
    Picture picture = blank(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture->tpixels[y][x] = pixel(mix(s.from, s.to, s.horizontal ? double(x) / width : double(y) / height));
    for (const Shape& shape : s.shapes) {
        const int w = static_cast<int>(shape.w * width), h = static_cast<int>(shape.h * height);
        const int x = static_cast<int>(places.unit() * (width - w)), y = static_cast<int>(places.unit() * (height - h));
        const int colour = pixel(shape.colour);
        if (shape.type == 0) {
            gdImageFilledRectangle(picture.get(), x, y, x + w, y + h, colour);
        } else if (shape.type == 1) {
            gdImageFilledEllipse(picture.get(), x + w / 2, y + h / 2, w, h, colour);
        } else {
            gdPoint corners[] = {{x + w / 2, y}, {x, y + h}, {x + w, y + h}};
            gdImageFilledPolygon(picture.get(), corners, 3, colour);
        }
    }
    addGrain(*picture, grain, 4);
    return picture;
}

// --- pattern: stripes, checks, rings or waves in a few colours ---

struct PatternSettings {
    int type;  // 0 stripes, 1 checks, 2 rings, 3 waves
    Rgb colours[3];
    int count;      // colours used, 2 or 3
    double period;  // pixels at 800 wide
    double angle;
};

PatternSettings patternSettings(Draw& draw) {
    PatternSettings s{};
    s.type = draw.range(0, 3);
    for (Rgb& colour : s.colours) colour = randomColour(draw);
    s.count = draw.range(2, 3);
    s.period = draw.between(40, 140);
    s.angle = draw.between(0, 3.14159);
    return s;
}

Picture drawPattern(const PatternSettings& s, double periodScale, double shift, Draw& grain, int width, int height) {
    Picture picture = blank(width, height);
    const double period = s.period * periodScale * width / 800.0;
    const double ca = std::cos(s.angle), sa = std::sin(s.angle);
    const double cx = width * (0.3 + 0.4 * shift), cy = height * (0.7 - 0.4 * shift);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            double t = 0;
            switch (s.type) {
                case 0:
                    t = (x * ca + y * sa) / period + shift;
                    break;
                case 1:
                    t = std::floor(x / period + shift) + std::floor(y / period);
                    break;
                case 2:
                    t = std::hypot(x - cx, y - cy) / period;
                    break;
                default:
                    t = (y + 0.25 * period * std::sin(x / period * 2.1 + shift * 6)) / period;
                    break;
            }
            const double band = t - std::floor(t / s.count) * s.count;
            picture->tpixels[y][x] = pixel(s.colours[std::min(static_cast<int>(band), s.count - 1)]);
        }
    addGrain(*picture, grain, 4);
    return picture;
}

enum class Drawn { Original, LookAlike, SameLayout };

Picture makeOf(Kind kind, uint32_t seed, int index, int width, int height, Drawn drawn) {
    const bool alike = drawn == Drawn::LookAlike, sameLayout = drawn == Drawn::SameLayout;
    Draw settings(seedFor(seed, kind, index, 1));
    Draw layout(seedFor(seed, kind, index, alike ? 3 : 2));  // what the look-alike changes
    Draw grain(seedFor(seed, kind, index, alike ? 5 : sameLayout ? 7 : 4));
    Draw other(seedFor(seed, kind, index, 6));  // what a scene of the same layout changes
    switch (kind) {
        case Kind::Natural:
            return drawNatural(naturalSettings(settings), layout, sameLayout ? other : layout, grain, width, height);
        case Kind::Text:
            return drawText(textSettings(settings), layout, sameLayout ? &other : nullptr, grain, width, height);
        case Kind::Composite: {
            CompositeSettings s = compositeSettings(settings);
            if (sameLayout)
                for (Shape& shape : s.shapes) {
                    shape.type = (shape.type + 1 + other.range(0, 1)) % 3;
                    shape.colour = randomColour(other);
                }
            return drawComposite(s, layout, grain, width, height);
        }
        case Kind::Pattern: {
            PatternSettings s = patternSettings(settings);
            if (sameLayout) s.type = (s.type + 1) % 4;
            return drawPattern(s, alike ? 1.7 : 1.0, alike ? 0.5 : 0.0, grain, width, height);
        }
    }
    return nullptr;
}

Picture copyOf(const gdImage& source) {
    Picture copy = blank(source.sx, source.sy);
    gdImageCopy(copy.get(), const_cast<gdImagePtr>(&source), 0, 0, 0, 0, source.sx, source.sy);
    return copy;
}

Picture resized(const gdImage& source, int divisor) {
    Picture picture = blank(source.sx / divisor, source.sy / divisor);
    gdImageCopyResampled(picture.get(), const_cast<gdImagePtr>(&source), 0, 0, 0, 0, picture->sx, picture->sy,
                         source.sx, source.sy);
    return picture;
}

template <typename Change>
Picture perChannel(const gdImage& source, Change change) {
    Picture picture = copyOf(source);
    for (int y = 0; y < picture->sy; ++y)
        for (int x = 0; x < picture->sx; ++x) {
            const int c = picture->tpixels[y][x];
            picture->tpixels[y][x] =
                gdTrueColor(clampChannel(change(gdTrueColorGetRed(c))), clampChannel(change(gdTrueColorGetGreen(c))),
                            clampChannel(change(gdTrueColorGetBlue(c))));
        }
    return picture;
}

Picture cropped(const gdImage& source, double keep, uint32_t seed) {
    Draw draw(seed);
    const int w = static_cast<int>(std::lround(source.sx * keep)), h = static_cast<int>(std::lround(source.sy * keep));
    const int x = static_cast<int>(draw.unit() * (source.sx - w + 1)),
              y = static_cast<int>(draw.unit() * (source.sy - h + 1));
    Picture picture = blank(w, h);
    gdImageCopy(picture.get(), const_cast<gdImagePtr>(&source), 0, 0, x, y, w, h);
    return picture;
}

Picture rotatedClockwise(const gdImage& source) {
    Picture picture = blank(source.sy, source.sx);
    for (int y = 0; y < picture->sy; ++y)
        for (int x = 0; x < picture->sx; ++x) picture->tpixels[y][x] = source.tpixels[source.sy - 1 - x][y];
    return picture;
}

std::vector<unsigned char> bytesOf(void* data, int size) {
    if (!data) throw std::runtime_error("libgd could not encode a picture");
    std::vector<unsigned char> bytes(static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + size);
    gdFree(data);
    return bytes;
}

}  // namespace

const char* kindName(Kind kind) {
    switch (kind) {
        case Kind::Natural:
            return "natural";
        case Kind::Text:
            return "text";
        case Kind::Composite:
            return "composite";
        case Kind::Pattern:
            return "pattern";
    }
    return "?";
}

const char* variantName(Variant variant) {
    static const char* const names[] = {"half size",        "quarter size",     "JPEG quality 60", "JPEG quality 40",
                                        "brightness +10 %", "brightness -10 %", "contrast +10 %",  "crop 5 %",
                                        "crop 10 %",        "mirror",           "rotation 90",     "PNG re-encode"};
    return names[static_cast<int>(variant)];
}

Picture makeOriginal(Kind kind, uint32_t seed, int index, int width, int height) {
    return makeOf(kind, seed, index, width, height, Drawn::Original);
}

Picture makeLookAlike(Kind kind, uint32_t seed, int index, int width, int height) {
    return makeOf(kind, seed, index, width, height, Drawn::LookAlike);
}

Picture makeSameLayout(Kind kind, uint32_t seed, int index, int width, int height) {
    return makeOf(kind, seed, index, width, height, Drawn::SameLayout);
}

Picture makeVariant(const gdImage& original, Variant variant, uint32_t seed) {
    switch (variant) {
        case Variant::Half:
            return resized(original, 2);
        case Variant::Quarter:
            return resized(original, 4);
        case Variant::Brighter:
            return perChannel(original, [](int v) { return v + 25.5; });
        case Variant::Darker:
            return perChannel(original, [](int v) { return v - 25.5; });
        case Variant::Contrast:
            return perChannel(original, [](int v) { return (v - 127.5) * 1.1 + 127.5; });
        case Variant::Crop5:
            return cropped(original, 0.95, seed);
        case Variant::Crop10:
            return cropped(original, 0.90, seed);
        case Variant::Mirror: {
            Picture picture = copyOf(original);
            gdImageFlipHorizontal(picture.get());
            return picture;
        }
        case Variant::Rotate90:
            return rotatedClockwise(original);
        case Variant::Jpeg60:
        case Variant::Jpeg40:
        case Variant::Png:
            return copyOf(original);
    }
    return nullptr;
}

const char* variantEnding(Variant variant) {
    return variant == Variant::Png ? "png" : "jpg";
}

std::vector<unsigned char> encodeVariant(const gdImage& picture, Variant variant) {
    if (variant == Variant::Png) return encodePng(picture);
    return encodeJpeg(picture, variant == Variant::Jpeg60 ? 60 : variant == Variant::Jpeg40 ? 40 : 90);
}

std::vector<unsigned char> encodeJpeg(const gdImage& picture, int quality) {
    int size = 0;
    void* data = gdImageJpegPtr(const_cast<gdImagePtr>(&picture), &size, quality);
    return bytesOf(data, size);
}

std::vector<unsigned char> encodePng(const gdImage& picture) {
    int size = 0;
    void* data = gdImagePngPtrEx(const_cast<gdImagePtr>(&picture), &size, 6);
    return bytesOf(data, size);
}

Picture decode(const std::vector<unsigned char>& bytes) {
    void* data = const_cast<unsigned char*>(bytes.data());
    const int size = static_cast<int>(bytes.size());
    if (bytes.size() > 3 && bytes[0] == 0x89) return Picture(gdImageCreateFromPngPtr(size, data));
    return Picture(gdImageCreateFromJpegPtr(size, data));
}

void writeFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || std::fclose(file) != 0)
        throw std::runtime_error("cannot write " + path);
}

}  // namespace twbench
