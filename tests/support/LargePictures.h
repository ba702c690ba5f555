// Large pictures made on the spot, as a recent phone takes them: a 48 MP
// JPEG (8064 × 6048) and a PNG of 8192 × 8192 pixels, written row by row so
// that making them never holds the whole picture. Their content is smooth
// light and shade with fine grain, so that the JPEG is about as large as a
// phone's; each quarter has its own colour, so that a test can tell the
// picture was read the right way round.
#pragma once

#include <jpeglib.h>
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace testsupport {

namespace largepictures {

// The colour of the picture at (x, y) of width × height: the quarter's
// colour, a little brighter towards the middle, with grain.
inline void pixelAt(int x, int y, int width, int height, std::uint32_t& noise, std::uint8_t* rgb) {
    static constexpr std::uint8_t quarters[4][3] = {
        {220, 30, 30}, {30, 170, 60}, {30, 70, 220}, {240, 200, 20}};
    int quarter = (y >= height / 2 ? 2 : 0) + (x >= width / 2 ? 1 : 0);
    int dx = x - width / 2, dy = y - height / 2;
    int light =
        12 - static_cast<int>((std::int64_t{dx} * dx + std::int64_t{dy} * dy) * 24 /
                              (std::int64_t{width} * width + std::int64_t{height} * height));
    noise = noise * 1664525u + 1013904223u;
    int grain = static_cast<int>((noise >> 24) % 9) - 4;
    for (int c = 0; c < 3; ++c) {
        int value = quarters[quarter][c] + light + grain;
        rgb[c] = static_cast<std::uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
    }
}

}  // namespace largepictures

// A baseline JPEG of `width` × `height` pixels at quality 90, as phones
// write them (4:2:0); each `seed` gives other grain.
inline std::vector<std::uint8_t> makeLargeJpeg(int width = 8064, int height = 6048,
                                               std::uint32_t seed = 1) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 3);
    std::uint32_t noise = seed;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            largepictures::pixelAt(x, y, width, height, noise,
                                   &row[static_cast<std::size_t>(x) * 3]);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<std::uint8_t> bytes(out, out + size);
    jpeg_destroy_compress(&info);
    std::free(out);
    return bytes;
}

// A PNG of `width` × `height` pixels, RGB or RGBA, interlaced (Adam7) or
// not, written row by row: `pixel(x, y, out)` gives each pixel's channels.
template <class Pixel>
std::vector<std::uint8_t> makePng(int width, int height, bool alpha, bool interlaced, Pixel pixel) {
    std::vector<std::uint8_t> bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &bytes,
        [](png_structp p, png_bytep data, png_size_t length) {
            auto* into = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(p));
            into->insert(into->end(), data, data + length);
        },
        nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 1);
    png_write_info(png, info);
    // Interlaced, every pass is given the whole picture and takes its own
    // pixels from each row.
    int passes = interlaced ? png_set_interlace_handling(png) : 1;
    std::size_t channels = alpha ? 4 : 3;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * channels);
    for (int pass = 0; pass < passes; ++pass)
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x)
                pixel(x, y, &row[static_cast<std::size_t>(x) * channels]);
            png_write_row(png, row.data());
        }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return bytes;
}

// An opaque PNG of `width` × `height` pixels without grain (a PNG of a
// photo with grain would be larger than a photo file may be), interlaced or
// not.
inline std::vector<std::uint8_t> makeLargePng(int width = 8192, int height = 8192,
                                              bool interlaced = false) {
    return makePng(width, height, false, interlaced, [&](int x, int y, std::uint8_t* rgb) {
        // The same grain for every pixel: none.
        std::uint32_t still = 0;
        largepictures::pixelAt(x, y, width, height, still, rgb);
    });
}

}  // namespace testsupport
