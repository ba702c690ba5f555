// Writes the picture files that the decoding and orientation tests read:
// photos carrying each EXIF orientation, and files that are broken, cut
// short, hostile or not pictures at all. Run through scripts/make-test-pictures;
// the output is committed under tests/data/, so this only runs again when
// the pictures must change. Everything is deterministic.
#include <png.h>
#include <turbojpeg.h>
#include <zlib.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
std::filesystem::path outputFolder;

void write(const std::string& name, const Bytes& bytes) {
    std::ofstream out(outputFolder / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + name);
    std::printf("%s: %zu bytes\n", name.c_str(), bytes.size());
}

struct Rgb {
    std::uint8_t r, g, b;
};

// The upright scene, 300 wide and 400 high: four coloured quarters (red top
// left, green top right, blue bottom left, yellow bottom right) and a white
// arrow in the middle pointing up, so that any turn or mirror shows.
constexpr int sceneWidth = 300;
constexpr int sceneHeight = 400;

Rgb scenePixel(int x, int y) {
    // The arrow: a triangle with its tip at (150, 130) over a shaft.
    int dx = x - 150;
    bool head = y >= 130 && y < 200 && std::abs(dx) * 70 <= (y - 130) * 40;
    bool shaft = y >= 200 && y < 270 && std::abs(dx) <= 14;
    if (head || shaft) return {255, 255, 255};
    bool left = x < sceneWidth / 2;
    bool top = y < sceneHeight / 2;
    if (top) return left ? Rgb{220, 30, 30} : Rgb{30, 170, 60};
    return left ? Rgb{30, 70, 220} : Rgb{240, 200, 20};
}

// The stored pixels of a photo whose EXIF orientation is `exif`: stored
// pixel (i, j) is the scene's pixel (c, r) that the orientation puts it on.
struct Stored {
    int width, height;
    Bytes rgb;
};

Stored storedScene(int exif) {
    bool sideways = exif >= 5;
    int w = sceneWidth, h = sceneHeight;
    Stored stored{sideways ? h : w, sideways ? w : h, {}};
    stored.rgb.resize(static_cast<std::size_t>(stored.width) * stored.height * 3);
    for (int j = 0; j < stored.height; ++j) {
        for (int i = 0; i < stored.width; ++i) {
            int c = i, r = j;
            switch (exif) {
                case 1: c = i, r = j; break;
                case 2: c = w - 1 - i, r = j; break;
                case 3: c = w - 1 - i, r = h - 1 - j; break;
                case 4: c = i, r = h - 1 - j; break;
                case 5: c = j, r = i; break;
                case 6: c = w - 1 - j, r = i; break;
                case 7: c = w - 1 - j, r = h - 1 - i; break;
                case 8: c = j, r = h - 1 - i; break;
            }
            Rgb p = scenePixel(c, r);
            std::uint8_t* out = &stored.rgb[(static_cast<std::size_t>(j) * stored.width + i) * 3];
            out[0] = p.r, out[1] = p.g, out[2] = p.b;
        }
    }
    return stored;
}

Bytes compressJpeg(const Stored& stored, int flags) {
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    if (tjCompress2(handle, stored.rgb.data(), stored.width, 0, stored.height, TJPF_RGB, &jpeg,
                    &size, TJSAMP_420, 90, flags) != 0)
        throw std::runtime_error(tjGetErrorStr2(handle));
    Bytes bytes(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(handle);
    return bytes;
}

// An APP1 segment holding an EXIF block with one tag, the orientation, in
// the given byte order ("II" little-endian, "MM" big-endian), as cameras
// write it right after the start-of-image marker.
Bytes exifSegment(int orientation, bool littleEndian) {
    auto u16 = [&](Bytes& b, unsigned v) {
        if (littleEndian)
            b.insert(b.end(), {std::uint8_t(v), std::uint8_t(v >> 8)});
        else
            b.insert(b.end(), {std::uint8_t(v >> 8), std::uint8_t(v)});
    };
    auto u32 = [&](Bytes& b, unsigned v) {
        if (littleEndian)
            u16(b, v & 0xffff), u16(b, v >> 16);
        else
            u16(b, v >> 16), u16(b, v & 0xffff);
    };
    Bytes tiff;
    tiff.insert(tiff.end(), littleEndian ? std::initializer_list<std::uint8_t>{'I', 'I'}
                                         : std::initializer_list<std::uint8_t>{'M', 'M'});
    u16(tiff, 42);
    u32(tiff, 8);       // IFD 0 follows the header
    u16(tiff, 1);       // one entry
    u16(tiff, 0x0112);  // orientation
    u16(tiff, 3);       // SHORT
    u32(tiff, 1);       // one value, kept in the entry
    u16(tiff, static_cast<unsigned>(orientation));
    u16(tiff, 0);
    u32(tiff, 0);  // no further IFD
    Bytes segment{0xff, 0xe1};
    std::size_t length = 2 + 6 + tiff.size();
    segment.insert(segment.end(), {std::uint8_t(length >> 8), std::uint8_t(length)});
    segment.insert(segment.end(), {'E', 'x', 'i', 'f', 0, 0});
    segment.insert(segment.end(), tiff.begin(), tiff.end());
    return segment;
}

Bytes withExif(Bytes jpeg, int orientation, bool littleEndian) {
    Bytes segment = exifSegment(orientation, littleEndian);
    jpeg.insert(jpeg.begin() + 2, segment.begin(), segment.end());
    return jpeg;
}

// Sets the frame size that the first start-of-frame marker claims.
Bytes withClaimedSize(Bytes jpeg, int width, int height) {
    for (std::size_t i = 2; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xff && (jpeg[i + 1] == 0xc0 || jpeg[i + 1] == 0xc2)) {
            jpeg[i + 5] = std::uint8_t(height >> 8), jpeg[i + 6] = std::uint8_t(height);
            jpeg[i + 7] = std::uint8_t(width >> 8), jpeg[i + 8] = std::uint8_t(width);
            return jpeg;
        }
    }
    throw std::runtime_error("no start-of-frame marker");
}

void appendChunk(Bytes& png, const char* type, const Bytes& data) {
    auto u32 = [&](std::uint32_t v) {
        png.insert(png.end(), {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8),
                               std::uint8_t(v)});
    };
    u32(static_cast<std::uint32_t>(data.size()));
    std::size_t typeAt = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    u32(static_cast<std::uint32_t>(
        crc32(0, png.data() + typeAt, static_cast<uInt>(4 + data.size()))));
}

const Bytes pngSignature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

Bytes ihdr(std::uint32_t width, std::uint32_t height) {
    return {std::uint8_t(width >> 24),
            std::uint8_t(width >> 16),
            std::uint8_t(width >> 8),
            std::uint8_t(width),
            std::uint8_t(height >> 24),
            std::uint8_t(height >> 16),
            std::uint8_t(height >> 8),
            std::uint8_t(height),
            8,
            6,
            0,
            0,
            0};
}

// A PNG whose header claims `width` by `height` pixels and whose data is a
// few bytes: the kind of file made to exhaust a decoder's memory.
Bytes pngClaiming(std::uint32_t width, std::uint32_t height) {
    Bytes png = pngSignature;
    appendChunk(png, "IHDR", ihdr(width, height));
    Bytes raw(64, 0);
    Bytes packed(compressBound(static_cast<uLong>(raw.size())));
    uLongf packedSize = static_cast<uLongf>(packed.size());
    compress(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()));
    packed.resize(packedSize);
    appendChunk(png, "IDAT", packed);
    appendChunk(png, "IEND", {});
    return png;
}

Bytes encodePng(int width, int height, const Bytes& rgba) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr))
        throw std::runtime_error(image.message);
    Bytes out(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr))
        throw std::runtime_error(image.message);
    out.resize(size);
    return out;
}

// The same PNG with an eXIf chunk (the EXIF block without its "Exif\0\0"
// header) right after the header chunk.
Bytes withPngExif(const Bytes& png, int orientation) {
    Bytes segment = exifSegment(orientation, false);
    Bytes exif(segment.begin() + 10, segment.end());  // marker, length and "Exif\0\0" dropped
    std::size_t afterHeader = 8 + 12 + 13;
    Bytes out(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(afterHeader));
    appendChunk(out, "eXIf", exif);
    out.insert(out.end(), png.begin() + static_cast<std::ptrdiff_t>(afterHeader), png.end());
    return out;
}

Bytes garbage(std::size_t count, std::uint32_t seed) {
    Bytes bytes(count);
    for (auto& b : bytes) {
        seed = seed * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(seed >> 24);
    }
    return bytes;
}

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT-FOLDER\n", argv[0]);
        return 2;
    }
    outputFolder = argv[1];
    std::filesystem::create_directories(outputFolder);
    try {
        // Photos of the same upright scene, stored as a camera would store
        // them for each EXIF orientation, in both byte orders.
        for (int exif = 1; exif <= 8; ++exif)
            write("photo-exif-" + std::to_string(exif) + ".jpg",
                  withExif(compressJpeg(storedScene(exif), 0), exif, exif % 2 == 1));
        write("photo-no-exif.jpg", compressJpeg(storedScene(1), 0));
        write("photo-progressive-exif-6.jpg",
              withExif(compressJpeg(storedScene(6), TJFLAG_PROGRESSIVE), 6, false));

        // PNG: the scene stored sideways with an eXIf chunk, and a small
        // translucent picture whose alpha must come out premultiplied.
        Stored sideways = storedScene(6);
        Bytes rgba;
        for (std::size_t i = 0; i < sideways.rgb.size(); i += 3)
            rgba.insert(rgba.end(),
                        {sideways.rgb[i], sideways.rgb[i + 1], sideways.rgb[i + 2], 255});
        write("photo-exif-6.png", withPngExif(encodePng(sideways.width, sideways.height, rgba), 6));
        write("translucent.png",
              encodePng(4, 1, {255, 0, 0, 128, 0, 255, 0, 255, 0, 0, 255, 0, 255, 255, 255, 64}));

        // Broken and hostile files.
        Bytes photo = withExif(compressJpeg(storedScene(1), 0), 1, true);
        write("truncated.jpg", Bytes(photo.begin(), photo.begin() + static_cast<std::ptrdiff_t>(
                                                                        photo.size() * 2 / 5)));
        write("huge-claim.png", pngClaiming(100000, 100000));
        write("zero-width.png", pngClaiming(0, 10));
        write("huge-claim.jpg", withClaimedSize(compressJpeg(storedScene(1), 0), 65500, 65500));
        write("huge-claim-progressive.jpg",
              withClaimedSize(compressJpeg(storedScene(1), TJFLAG_PROGRESSIVE), 65500, 65500));
        write("not-a-picture.jpg",
              text("These are my holiday notes, not a photo.\nDay 1: the beach.\n"));
        write("garbage.bin", garbage(4096, 1));
        write("garbage-after-jpeg-marker.jpg", concat({0xff, 0xd8, 0xff}, garbage(4096, 2)));
        write("garbage-after-png-signature.png", concat(pngSignature, garbage(4096, 3)));
        write("empty.jpg", {});
        write("gif-named.jpg", concat(text("GIF89a"), garbage(64, 4)));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make-test-pictures: %s\n", error.what());
        return 1;
    }
    return 0;
}
