// Photo files and decoding: each picture comes back with the orientation
// tag its EXIF block gives and at its stored size, large pictures are
// scaled down to the limit, and broken, hostile or foreign files are
// refused with a reason, in a moment (the time bounds are generous).
// Built twice: against the installed back end's decoders, and (with
// SCRAWLET_TEST_STB_CODECS) against the browser build's stb decoders.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <sys/resource.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "platform/graphics/Backend.h"
#include "platform/graphics/PhotoFile.h"
#include "support/Scripts.h"
#if defined(SCRAWLET_TEST_STB_CODECS)
#include "platform/graphics/stb/Codecs.h"
#endif

namespace {

using graphics::ImageOrientation;

#if defined(SCRAWLET_TEST_STB_CODECS)
constexpr bool stbCodecs = true;
#else
constexpr bool stbCodecs = false;
#endif
using graphics::Rgba;

std::vector<std::uint8_t> readTestFile(const std::string& name) {
    auto bytes = platform::readFile(testsupport::testData(name), 1 << 20);
    EXPECT_TRUE(bytes.ok()) << name;
    return bytes.ok() ? bytes.value() : std::vector<std::uint8_t>{};
}

platform::Result<std::shared_ptr<graphics::Image>> decode(const std::vector<std::uint8_t>& bytes,
                                                          graphics::DecodeLimits limits = {}) {
#if defined(SCRAWLET_TEST_STB_CODECS)
    return graphics::stb::decodePicture(bytes, limits);
#else
    return graphics::backend().decodeImage(bytes, limits);
#endif
}

std::shared_ptr<graphics::Image> decodeFile(const std::string& name,
                                            graphics::DecodeLimits limits = {}) {
    auto image = decode(readTestFile(name), limits);
    EXPECT_TRUE(image.ok()) << name << ": " << (image.ok() ? "" : image.error());
    return image.ok() ? image.value() : nullptr;
}

// The scene in the test photos has four coloured quarters; JPEG keeps
// colours only roughly, so colours are compared with a tolerance.
const Rgba red{220, 30, 30, 255}, green{30, 170, 60, 255}, blue{30, 70, 220, 255},
    yellow{240, 200, 20, 255};

testing::AssertionResult near(Rgba actual, Rgba expected, int tolerance = 24) {
    auto close = [&](int a, int b) { return std::abs(a - b) <= tolerance; };
    if (close(actual.r, expected.r) && close(actual.g, expected.g) && close(actual.b, expected.b) &&
        close(actual.a, expected.a))
        return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << "got (" << int(actual.r) << ", " << int(actual.g) << ", " << int(actual.b) << ", "
           << int(actual.a) << "), expected about (" << int(expected.r) << ", " << int(expected.g)
           << ", " << int(expected.b) << ", " << int(expected.a) << ")";
}

// The colour at a point given as fractions of the bitmap's width and height.
Rgba at(const graphics::Bitmap& bitmap, double fx, double fy) {
    return bitmap.pixel(static_cast<int>(fx * bitmap.width()),
                        static_cast<int>(fy * bitmap.height()));
}

// --- Orientation tags --------------------------------------------------------

struct ExifCase {
    int exif;
    ImageOrientation tag;
};

class ExifOrientation : public testing::TestWithParam<ExifCase> {};

TEST_P(ExifOrientation, GivesTheTagAndTheStoredSize) {
    auto [exif, tag] = GetParam();
    auto image = decodeFile("photo-exif-" + std::to_string(exif) + ".jpg");
    ASSERT_TRUE(image);
    EXPECT_EQ(image->imageOrientation(), tag)
        << graphics::orientationName(image->imageOrientation());
    bool sideways = exif >= 5;
    EXPECT_EQ(image->cgImage()->width(), sideways ? 400 : 300);
    EXPECT_EQ(image->cgImage()->height(), sideways ? 300 : 400);
    // Displayed, every one of them is the upright 300 × 400 scene.
    EXPECT_EQ(image->size(), (graphics::Size{300, 400}));
    EXPECT_EQ(image->scale(), 1.0);
}

INSTANTIATE_TEST_SUITE_P(EveryExifValue, ExifOrientation,
                         testing::Values(ExifCase{1, ImageOrientation::up},
                                         ExifCase{2, ImageOrientation::upMirrored},
                                         ExifCase{3, ImageOrientation::down},
                                         ExifCase{4, ImageOrientation::downMirrored},
                                         ExifCase{5, ImageOrientation::leftMirrored},
                                         ExifCase{6, ImageOrientation::right},
                                         ExifCase{7, ImageOrientation::rightMirrored},
                                         ExifCase{8, ImageOrientation::left}),
                         [](const auto& info) { return "exif" + std::to_string(info.param.exif); });

TEST(ExifOrientation, OtherFilesGiveTheirTagsToo) {
    const std::tuple<const char*, ImageOrientation, int> files[] = {
        {"photo-no-exif.jpg", ImageOrientation::up, 300},
        {"photo-progressive-exif-6.jpg", ImageOrientation::right, 400},
        {"photo-exif-6.png", ImageOrientation::right, 400}};
    for (auto [name, tag, width] : files) {
        auto image = decodeFile(name);
        ASSERT_TRUE(image) << name;
        EXPECT_EQ(image->imageOrientation(), tag) << name;
        EXPECT_EQ(image->cgImage()->width(), width) << name;
    }
}

// --- Pixels --------------------------------------------------------------------

TEST(DecodedPixels, AreTheStoredPixelsNotTurned) {
    // Stored for orientation 6, the scene lies on its side: its top-left
    // red quarter is at the stored bottom left.
    auto image = decodeFile("photo-exif-6.jpg");
    ASSERT_TRUE(image);
    const auto& stored = *image->cgImage();
    EXPECT_TRUE(near(at(stored, 0.25, 0.25), green));
    EXPECT_TRUE(near(at(stored, 0.75, 0.25), yellow));
    EXPECT_TRUE(near(at(stored, 0.25, 0.75), red));
    EXPECT_TRUE(near(at(stored, 0.75, 0.75), blue));
}

TEST(DecodedPixels, PicturesWithoutAlphaAreOpaqueAndPngColoursExact) {
    // An opaque bitmap is written as a PNG without alpha, and read back so.
    graphics::Bitmap opaque(
        3, 2, {8, graphics::ColorSpace::deviceRGB, graphics::AlphaInfo::noneSkipLast});
    opaque.setPixel(1, 1, {10, 20, 30, 255});
    auto rgb = graphics::backend().encodePng(opaque);
    ASSERT_TRUE(rgb.ok());
    for (const auto& bytes : {readTestFile("photo-exif-1.jpg"), rgb.value()}) {
        auto image = decode(bytes);
        ASSERT_TRUE(image.ok()) << image.error();
        const auto& bitmap = *image.value()->cgImage();
        EXPECT_EQ(bitmap.format().alphaInfo, graphics::AlphaInfo::noneSkipLast);
        for (int y = 0; y < bitmap.height(); y += 7)
            for (int x = 0; x < bitmap.width(); x += 7) ASSERT_EQ(bitmap.pixel(x, y).a, 255);
    }
    EXPECT_EQ(decode(rgb.value()).value()->cgImage()->pixel(1, 1), (Rgba{10, 20, 30, 255}));
    auto png = decodeFile("photo-exif-6.png");
    EXPECT_EQ(at(*png->cgImage(), 0.25, 0.25), green);
    EXPECT_EQ(at(*png->cgImage(), 0.75, 0.75), blue);
}

TEST(DecodedPixels, PngAlphaComesOutPremultiplied) {
    auto image = decodeFile("translucent.png");
    ASSERT_TRUE(image);
    const auto& bitmap = *image->cgImage();
    ASSERT_EQ(bitmap.width(), 4);
    EXPECT_EQ(bitmap.pixel(0, 0), (Rgba{128, 0, 0, 128}));
    EXPECT_EQ(bitmap.pixel(1, 0), (Rgba{0, 255, 0, 255}));
    EXPECT_EQ(bitmap.pixel(2, 0), (Rgba{0, 0, 0, 0}));
    EXPECT_EQ(bitmap.pixel(3, 0), (Rgba{64, 64, 64, 64}));
}

// --- Scaling down ----------------------------------------------------------------

TEST(ScalingDown, PicturesShrinkToTheLimitKeepingTheirProportions) {
    struct Case {
        const char* name;
        int maxSide, width, height;
        Rgba topLeft, bottomRight;  // at a quarter and three quarters
        bool exact;
    };
    const Case cases[] = {
        // Within the limit: as stored.
        {"photo-exif-1.jpg", 400, 300, 400, red, yellow, false},
        // The JPEG decoder's own quarter scale lands on the limit.
        {"photo-exif-1.jpg", 100, 75, 100, red, yellow, false},
        // No decoder scale gives 130: decoded at 3/8 (150 × 113), then
        // averaged down.
        {"photo-exif-6.jpg", 130, 130, 98, green, blue, false},
        // Whole blocks of one colour average to that very colour.
        {"photo-exif-6.png", 100, 100, 75, green, blue, true},
    };
    for (const auto& c : cases) {
        auto image = decodeFile(c.name, {.maxSide = c.maxSide});
        ASSERT_TRUE(image) << c.name;
        const auto& bitmap = *image->cgImage();
        EXPECT_EQ(bitmap.width(), c.width) << c.name << " to " << c.maxSide;
        EXPECT_EQ(bitmap.height(), c.height) << c.name << " to " << c.maxSide;
        EXPECT_TRUE(near(at(bitmap, 0.25, 0.25), c.topLeft, c.exact ? 0 : 24)) << c.name;
        EXPECT_TRUE(near(at(bitmap, 0.75, 0.75), c.bottomRight, c.exact ? 0 : 24)) << c.name;
    }
}

TEST(ScalingDown, AveragingCoversEverySourcePixel) {
    // Eight pixels in a row become four, each the mean of a pair.
    graphics::Bitmap row(8, 1);
    std::uint8_t values[8] = {0, 100, 200, 250, 10, 20, 255, 255};
    for (int x = 0; x < 8; ++x) row.setPixel(x, 0, {values[x], values[x], values[x], 255});
    auto png = graphics::backend().encodePng(row);
    ASSERT_TRUE(png.ok());
    auto image = decode(png.value(), {.maxSide = 4});
    ASSERT_TRUE(image.ok()) << image.error();
    const auto& bitmap = *image.value()->cgImage();
    ASSERT_EQ(bitmap.width(), 4);
    ASSERT_EQ(bitmap.height(), 1);
    EXPECT_EQ(bitmap.pixel(0, 0).r, 50);
    EXPECT_EQ(bitmap.pixel(1, 0).r, 225);
    EXPECT_EQ(bitmap.pixel(2, 0).r, 15);
    EXPECT_EQ(bitmap.pixel(3, 0).r, 255);
}

// A wide picture, left half red and right half blue.
std::vector<std::uint8_t> halvesRgb(int width, int height) {
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
            bool left = x < width / 2;
            p[0] = left ? 220 : 30, p[1] = left ? 30 : 70, p[2] = left ? 30 : 220;
        }
    return rgb;
}

TEST(ScalingDown, APhotoLargerThan4096IsBroughtDownTo4096) {
    constexpr int width = 8200, height = 4100;
    std::vector<std::uint8_t> rgb = halvesRgb(width, height);
    tjhandle encoder = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    ASSERT_EQ(tjCompress2(encoder, rgb.data(), width, 0, height, TJPF_RGB, &jpeg, &size, TJSAMP_420,
                          80, 0),
              0);
    std::vector<std::uint8_t> bytes(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(encoder);

    auto image = decode(bytes);
    ASSERT_TRUE(image.ok()) << image.error();
    const auto& bitmap = *image.value()->cgImage();
    EXPECT_EQ(bitmap.width(), 4096);
    EXPECT_EQ(bitmap.height(), 2048);
    EXPECT_TRUE(near(at(bitmap, 0.25, 0.5), red));
    EXPECT_TRUE(near(at(bitmap, 0.75, 0.5), blue));
}

TEST(ScalingDown, ALargePngIsBroughtDownTo4096) {
    constexpr int width = 2000, height = 5000;
    graphics::Bitmap tall(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            tall.setPixel(x, y, y < height / 2 ? Rgba{220, 30, 30, 255} : Rgba{30, 70, 220, 255});
    auto png = graphics::backend().encodePng(tall);
    ASSERT_TRUE(png.ok());
    auto image = decode(png.value());
    ASSERT_TRUE(image.ok()) << image.error();
    const auto& bitmap = *image.value()->cgImage();
    EXPECT_EQ(bitmap.width(), 1638);
    EXPECT_EQ(bitmap.height(), 4096);
    EXPECT_EQ(at(bitmap, 0.5, 0.25), red);
    EXPECT_EQ(at(bitmap, 0.5, 0.75), blue);
}

// --- Refusals ----------------------------------------------------------------------

struct BadFile {
    const char* name;
    // Words the reason must contain, so that it says what is wrong.
    const char* reason;
};

class BadFiles : public testing::TestWithParam<BadFile> {};

TEST_P(BadFiles, AreRefusedWithAReason) {
    auto [name, reason] = GetParam();
    auto image = decode(readTestFile(name));
    ASSERT_FALSE(image.ok()) << name << " was accepted";
    EXPECT_NE(image.error().find(reason), std::string::npos)
        << name << ": \"" << image.error() << "\" does not say \"" << reason << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadFiles,
    testing::Values(BadFile{"truncated.jpg", "cut short"},
                    BadFile{"huge-claim.png", "claims 100000 × 100000 pixels"},
                    BadFile{"zero-width.png", "PNG picture's header is damaged"},
                    // libjpeg-turbo shrinks while it decodes, so it gets as far as
                    // the missing data; stb decodes at full size and stops first.
                    BadFile{"huge-claim.jpg", stbCodecs ? "too large" : "cut short"},
                    BadFile{"huge-claim-progressive.jpg", "too large"},
                    BadFile{"not-a-picture.jpg", "neither a JPEG nor a PNG"},
                    BadFile{"garbage.bin", "neither a JPEG nor a PNG"},
                    BadFile{"garbage-after-jpeg-marker.jpg", "JPEG picture"},
                    BadFile{"garbage-after-png-signature.png", "PNG picture"},
                    BadFile{"empty.jpg", "empty"}, BadFile{"gif-named.jpg", "GIF"}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

TEST(Refusals, APictureBeyondTheLimitsIsRefusedBeforeDecoding) {
    const std::tuple<const char*, graphics::DecodeLimits, const char*> cases[] = {
        {"photo-exif-1.jpg", {.maxDecodeBytes = 1000}, "300 × 400 pixels, too large"},
        {"photo-exif-6.png", {.maxDecodeBytes = 1000}, "too large"},
        {"photo-exif-1.jpg", {.maxStoredSide = 399}, "claims 300 × 400 pixels, more than 399"}};
    for (const auto& [name, limits, reason] : cases) {
        auto image = decode(readTestFile(name), limits);
        ASSERT_FALSE(image.ok()) << name;
        EXPECT_NE(image.error().find(reason), std::string::npos) << image.error();
    }
}

TEST(Refusals, EveryCutOfAPhotoIsRefusedWithoutHarm) {
    for (const char* name :
         {"photo-exif-6.jpg", "photo-progressive-exif-6.jpg", "photo-exif-6.png"}) {
        auto bytes = readTestFile(name);
        ASSERT_FALSE(bytes.empty());
        // A PNG that lacks only its closing chunk still holds every pixel.
        std::size_t lastPixelByte =
            name[std::strlen(name) - 1] == 'g' && name[std::strlen(name) - 2] == 'n'
                ? bytes.size() - 12
                : bytes.size();
        for (std::size_t length = 0; length < lastPixelByte; length += 5) {
            std::vector<std::uint8_t> cut(bytes.begin(),
                                          bytes.begin() + static_cast<std::ptrdiff_t>(length));
            auto image = decode(cut);
            ASSERT_FALSE(image.ok()) << name << " cut to " << length << " bytes was accepted";
            ASSERT_FALSE(image.error().empty());
        }
    }
}

TEST(Refusals, DamagedBytesNeverCrashTheDecoder) {
    // Bytes changed all over the file, headers included: each result is
    // either a picture within the limits or a reason.
    for (const char* name :
         {"photo-exif-6.jpg", "photo-progressive-exif-6.jpg", "photo-exif-6.png"}) {
        auto bytes = readTestFile(name);
        std::uint32_t seed = 7;
        for (int round = 0; round < 300; ++round) {
            auto damaged = bytes;
            for (int n = 0; n < 1 + round % 4; ++n) {
                seed = seed * 1664525u + 1013904223u;
                std::size_t at =
                    (seed >> 8) %
                    (round < 150 ? std::min<std::size_t>(damaged.size(), 700) : damaged.size());
                damaged[at] = static_cast<std::uint8_t>(seed >> 24);
            }
            auto image = decode(damaged);
            if (image.ok()) {
                EXPECT_LE(image.value()->cgImage()->width(), 4096);
                EXPECT_LE(image.value()->cgImage()->height(), 4096);
            } else {
                EXPECT_FALSE(image.error().empty());
            }
        }
    }
}

// --- Photo files ---------------------------------------------------------------

// How the picker reads files is the same whichever decoders are built.
#if !defined(SCRAWLET_TEST_STB_CODECS)

double secondsFor(const std::function<void()>& work) {
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

long peakMegabytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

TEST(PhotoFiles, WhatCannotBeAPhotoIsRefusedBeforeItIsRead) {
    auto folder = testsupport::freshDirectory("photo-files");
    // Sparse: larger than any photo file, and not read to find out.
    auto huge = folder / "huge.jpg";
    int fd = ::open(huge.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(graphics::maxPhotoFileBytes + 1)), 0);
    ::close(fd);
    const std::pair<std::filesystem::path, const char*> files[] = {
        {"/dev/zero", "not a file"},
        {folder, "folder"},
        {folder / "missing.jpg", "No such file"},
        {huge, "more than the 67108864"},
        {testsupport::testData("gif-named.jpg"), "gif-named.jpg: it is a GIF"}};
    long before = peakMegabytes();
    for (const auto& [path, reason] : files) {
        platform::Result<std::shared_ptr<graphics::Image>> image = platform::fail("not read");
        EXPECT_LT(secondsFor([&] { image = graphics::readPhoto(path); }), 1.0) << path;
        ASSERT_FALSE(image.ok()) << path;
        EXPECT_NE(image.error().find(reason), std::string::npos) << image.error();
    }
    EXPECT_LT(peakMegabytes() - before, 100);
    std::filesystem::remove_all(folder);
}

// A picture of 8192 × 8192 pixels of one colour: a few hundred kilobytes
// that a photo library may well hold. It is brought down to 4096.
TEST(PhotoFiles, APngOf8192PixelsIsBroughtDownWithinBounds) {
    auto folder = testsupport::freshDirectory("photo-bomb");
    auto file = folder / "large.png";
    {
        FILE* out = std::fopen(file.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        png_init_io(png, out);
        png_set_IHDR(png, info, 8192, 8192, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        std::vector<std::uint8_t> row(8192 * 3);
        for (std::size_t i = 0; i < row.size(); i += 3) row[i] = 200;
        for (int y = 0; y < 8192; ++y) png_write_row(png, row.data());
        png_write_end(png, nullptr);
        png_destroy_write_struct(&png, &info);
        std::fclose(out);
    }
    EXPECT_LT(std::filesystem::file_size(file), 1u << 20);
    platform::Result<std::shared_ptr<graphics::Image>> image = platform::fail("not read");
    long before = peakMegabytes();
    // About 2 s in an optimised build here; the sanitizers' build is far slower.
#if defined(__SANITIZE_ADDRESS__)
    constexpr double bound = 120;
    constexpr long megabytes = 1200;
#else
    constexpr double bound = 10;
    constexpr long megabytes = 400;
#endif
    EXPECT_LT(secondsFor([&] { image = graphics::readPhoto(file); }), bound);
    EXPECT_LT(peakMegabytes() - before, megabytes);
    ASSERT_TRUE(image.ok()) << image.error();
    EXPECT_EQ(image.value()->cgImage()->width(), 4096);
    EXPECT_EQ(image.value()->cgImage()->pixel(100, 100), (Rgba{200, 0, 0, 255}));
    std::filesystem::remove_all(folder);
}

#endif

}  // namespace
