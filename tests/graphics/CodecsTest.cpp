// Photo files and decoding: each picture comes back with the orientation
// tag its EXIF block gives and at its stored size, large pictures are
// scaled down to the limit, and broken, hostile or foreign files are
// refused with a reason and in small memory (how long they take is the
// benchmarks' business).
// Built twice: against the installed back end's decoders, and (with
// SCRAWLET_TEST_STB_CODECS) against the browser build's stb decoders.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "platform/Files.h"
#include "platform/graphics/Backend.h"
#include "platform/graphics/PhotoFile.h"
#include "platform/graphics/PictureFiles.h"
#include "support/LargePictures.h"
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

// Each picture comes with the tag its EXIF block gives, at its stored size:
// displayed, every one is the upright 300 × 400 scene.
TEST(ExifOrientation, GivesTheTagAndTheStoredSize) {
    using O = ImageOrientation;
    const std::tuple<std::string, ImageOrientation> files[] = {
        {"photo-exif-1.jpg", O::up},
        {"photo-exif-2.jpg", O::upMirrored},
        {"photo-exif-3.jpg", O::down},
        {"photo-exif-4.jpg", O::downMirrored},
        {"photo-exif-5.jpg", O::leftMirrored},
        {"photo-exif-6.jpg", O::right},
        {"photo-exif-7.jpg", O::rightMirrored},
        {"photo-exif-8.jpg", O::left},
        {"photo-no-exif.jpg", O::up},
        {"photo-progressive-exif-6.jpg", O::right},
        {"photo-exif-6.png", O::right}};
    for (const auto& [name, tag] : files) {
        auto image = decodeFile(name);
        ASSERT_TRUE(image) << name;
        EXPECT_EQ(image->imageOrientation(), tag) << name;
        bool sideways =
            tag == O::left || tag == O::right || tag == O::leftMirrored || tag == O::rightMirrored;
        EXPECT_EQ(image->cgImage()->width(), sideways ? 400 : 300) << name;
        EXPECT_EQ(image->cgImage()->height(), sideways ? 300 : 400) << name;
        EXPECT_EQ(image->size(), (graphics::Size{300, 400})) << name;
        EXPECT_EQ(image->scale(), 1.0) << name;
    }
}

// --- Pixels --------------------------------------------------------------------

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
        // Whole blocks of one colour average to that very colour. The
        // pixels come as stored: the scene lies on its side, green top left.
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

// An interlaced PNG comes down to the kept size as the same picture stored
// without interlacing does: its passes summed with the same weights, within
// one of each channel (the sums add up in another order) and mostly equal.
// Every pixel differs from its neighbours, in colour and transparency, so
// that a pixel summed into the wrong place would show.
TEST(ScalingDown, InterlacedPngsShrinkAsTheSamePixelsWithoutInterlacing) {
    auto pixel = [](int x, int y, std::uint8_t* rgba) {
        std::uint32_t h =
            static_cast<std::uint32_t>(x) * 73856093u ^ static_cast<std::uint32_t>(y) * 19349663u;
        h = (h ^ (h >> 13)) * 1274126177u;
        for (int c = 0; c < 4; ++c) rgba[c] = static_cast<std::uint8_t>(h >> (8 * c));
    };
    for (auto [width, height] : {std::pair{613, 411}, std::pair{301, 997}}) {
        auto plain =
            decode(testsupport::makePng(width, height, true, false, pixel), {.maxSide = 256});
        auto interlaced =
            decode(testsupport::makePng(width, height, true, true, pixel), {.maxSide = 256});
        ASSERT_TRUE(plain.ok()) << plain.error();
        ASSERT_TRUE(interlaced.ok()) << interlaced.error();
        const auto& a = *plain.value()->cgImage();
        const auto& b = *interlaced.value()->cgImage();
        ASSERT_EQ(std::pair(a.width(), a.height()), std::pair(b.width(), b.height()));
        EXPECT_EQ(std::max(a.width(), a.height()), 256);
        std::size_t differing = 0, farthest = 0;
        for (std::size_t i = 0; i < a.byteCount(); ++i) {
            auto difference = static_cast<std::size_t>(std::abs(a.data()[i] - b.data()[i]));
            differing += difference != 0;
            farthest = std::max(farthest, difference);
        }
        EXPECT_LE(farthest, 1u) << width << " × " << height;
        EXPECT_LT(differing, a.byteCount() / 100) << width << " × " << height;
    }
}

// A JPEG photo larger than 2048 across and a PNG taller than that, each in
// two halves of colour, are brought down to the kept size of 2048 keeping
// their halves.
TEST(ScalingDown, LargePicturesAreBroughtDownToTheKeptSize) {
    std::vector<std::uint8_t> wide(8200 * 4100 * 3);
    for (std::size_t i = 0; i < wide.size(); i += 3)
        std::memcpy(&wide[i], i / 3 % 8200 < 4100 ? &red : &blue, 3);
    tjhandle encoder = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    ASSERT_EQ(
        tjCompress2(encoder, wide.data(), 8200, 0, 4100, TJPF_RGB, &jpeg, &size, TJSAMP_420, 80, 0),
        0);
    std::vector<std::uint8_t> jpegBytes(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(encoder);
    graphics::Bitmap tall(2000, 5000);
    for (int y = 0; y < 5000; ++y)
        for (int x = 0; x < 2000; ++x) tall.setPixel(x, y, y < 2500 ? red : blue);
    auto png = graphics::backend().encodePng(tall);
    ASSERT_TRUE(png.ok());
    const std::tuple<std::vector<std::uint8_t>, int, int, int> cases[] = {
        {jpegBytes, 2048, 1024, 24}, {png.value(), 819, 2048, 0}};
    for (const auto& [bytes, width, height, tolerance] : cases) {
        auto image = decode(bytes);
        ASSERT_TRUE(image.ok()) << image.error();
        const auto& shrunk = *image.value()->cgImage();
        EXPECT_EQ(shrunk.width(), width);
        EXPECT_EQ(shrunk.height(), height);
        bool across = width > height;
        EXPECT_TRUE(near(at(shrunk, across ? 0.25 : 0.5, across ? 0.5 : 0.25), red, tolerance));
        EXPECT_TRUE(near(at(shrunk, across ? 0.75 : 0.5, across ? 0.5 : 0.75), blue, tolerance));
    }
}

// --- Refusals ----------------------------------------------------------------------

// Broken, hostile and foreign files, and pictures beyond the limits
// (refused before they are decoded), each with a reason that says why.
TEST(Refusals, BrokenHostileAndForeignFilesAreRefusedWithAReason) {
    const graphics::DecodeLimits none;
    const std::tuple<const char*, graphics::DecodeLimits, const char*> files[] = {
        {"truncated.jpg", none, "cut short"},
        {"huge-claim.png", none, "claims 100000 × 100000 pixels"},
        {"zero-width.png", none, "PNG picture's header is damaged"},
        // libjpeg-turbo shrinks while it decodes, so it gets as far as the
        // missing data; stb decodes at full size and stops first.
        {"huge-claim.jpg", none, stbCodecs ? "too large" : "cut short"},
        {"huge-claim-progressive.jpg", none, "too large"},
        {"not-a-picture.jpg", none, "neither a JPEG nor a PNG"},
        {"garbage.bin", none, "neither a JPEG nor a PNG"},
        {"garbage-after-jpeg-marker.jpg", none, "JPEG picture"},
        {"garbage-after-png-signature.png", none, "PNG picture"},
        {"empty.jpg", none, "empty"},
        {"gif-named.jpg", none, "GIF"},
        {"photo-exif-1.jpg", {.maxDecodeBytes = 1000}, "300 × 400 pixels, too large"},
        {"photo-exif-6.png", {.maxDecodeBytes = 1000}, "too large"},
        {"photo-exif-1.jpg", {.maxStoredSide = 399}, "claims 300 × 400 pixels, more than 399"}};
    for (const auto& [name, limits, reason] : files) {
        auto image = decode(readTestFile(name), limits);
        ASSERT_FALSE(image.ok()) << name << " was accepted";
        EXPECT_NE(image.error().find(reason), std::string::npos)
            << name << ": \"" << image.error() << "\" does not say \"" << reason << "\"";
    }
    // A Huffman table that claims more codes than a table holds: a decoder
    // that builds it as told writes past its arrays.
    auto bytes = readTestFile("photo-exif-1.jpg");
    const std::uint8_t marker[] = {0xff, 0xc4};
    auto table = std::search(bytes.begin(), bytes.end(), std::begin(marker), std::end(marker));
    ASSERT_NE(table, bytes.end());
    // After the marker, the segment's length and the table's class: its
    // sixteen counts of codes.
    std::fill(table + 5, table + 21, std::uint8_t{200});
    auto image = decode(bytes);
    ASSERT_FALSE(image.ok()) << "a table of 3200 codes was accepted";
    EXPECT_NE(image.error().find("JPEG"), std::string::npos) << image.error();
}

// Every cut of a photo is refused (a PNG that lacks only its closing chunk
// still holds every pixel); bytes changed all over the file, headers
// included, give a picture within the limits or a reason, never a crash.
TEST(Refusals, CutAndDamagedPhotosAreRefusedWithoutHarm) {
    for (std::string name :
         {"photo-exif-6.jpg", "photo-progressive-exif-6.jpg", "photo-exif-6.png"}) {
        auto bytes = readTestFile(name);
        ASSERT_FALSE(bytes.empty());
        std::size_t lastPixelByte = bytes.size() - (name.ends_with(".png") ? 12 : 0);
        for (std::size_t length = 0; length < lastPixelByte; length += 5) {
            auto image =
                decode({bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length)});
            ASSERT_FALSE(image.ok()) << name << " cut to " << length << " bytes was accepted";
            ASSERT_FALSE(image.error().empty());
        }
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

// --- Picture headers ------------------------------------------------------------

// The browser is asked for a picture's kept upright size from the file's
// first bytes: the stored size, turned by the orientation tag, brought down.
TEST(PictureHeaders, GiveTheKeptUprightSizeFromTheFirstBytes) {
    using graphics::pictures::keptUprightSize;
    using graphics::pictures::readPictureHeader;
    const std::tuple<std::string, int, int> files[] = {{"photo-exif-6.jpg", 300, 400},
                                                       {"photo-exif-6.png", 300, 400},
                                                       {"photo-exif-3.jpg", 300, 400},
                                                       {"photo-no-exif.jpg", 300, 400}};
    for (const auto& [name, width, height] : files) {
        auto bytes = readTestFile(name);
        auto header = readPictureHeader(bytes);
        ASSERT_TRUE(header.known) << name;
        auto kept = keptUprightSize(header, 2048);
        EXPECT_EQ(kept.width, width) << name;
        EXPECT_EQ(kept.height, height) << name;
        EXPECT_EQ(keptUprightSize(header, 200).height, 200) << name;
    }
    // Only the file's beginning: the browser is given that much.
    auto phone = testsupport::makeLargeJpeg(4000, 3000);
    phone.resize(64 * 1024);
    auto header = readPictureHeader(phone);
    ASSERT_TRUE(header.known);
    EXPECT_EQ(std::pair(header.width, header.height),
              std::pair(std::int64_t{4000}, std::int64_t{3000}));
    auto kept = keptUprightSize(header, 2048);
    EXPECT_EQ(std::pair(kept.width, kept.height), std::pair(2048, 1536));
    EXPECT_FALSE(readPictureHeader(readTestFile("gif-named.jpg")).known);
    EXPECT_FALSE(readPictureHeader(readTestFile("empty.jpg")).known);
}

// A JPEG file's first bytes say where its picture data begins; from there
// on, only a whole file holds the end-of-image marker (the browser shows
// what it could read of one cut short, so the page looks for the marker).
// Every decoder refuses one cut short in the same words.
TEST(PictureHeaders, SayWhereAJpegFilesPictureDataBegins) {
    using graphics::pictures::readPictureHeader;
    auto endsFrom = [](const std::vector<std::uint8_t>& bytes, std::size_t from) {
        const std::uint8_t end[] = {0xff, 0xd9};
        return std::search(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end(),
                           std::begin(end), std::end(end)) != bytes.end();
    };
    for (std::string name :
         {"photo-exif-6.jpg", "photo-progressive-exif-6.jpg", "photo-no-exif.jpg"}) {
        auto bytes = readTestFile(name);
        auto header = readPictureHeader(bytes);
        ASSERT_GT(header.firstScanData, 0u) << name;
        EXPECT_TRUE(endsFrom(bytes, header.firstScanData)) << name;
        bytes.resize(bytes.size() * 3 / 4);
        EXPECT_EQ(readPictureHeader(bytes).firstScanData, header.firstScanData) << name;
        EXPECT_FALSE(endsFrom(bytes, header.firstScanData)) << name << " cut short";
        auto image = decode(bytes);
        ASSERT_FALSE(image.ok()) << name << " cut short";
        EXPECT_EQ(image.error(), graphics::pictures::jpegCutShort()) << name << " cut short";
    }
    auto truncated = readTestFile("truncated.jpg");
    EXPECT_FALSE(endsFrom(truncated, readPictureHeader(truncated).firstScanData));
    EXPECT_EQ(decode(truncated).error(), graphics::pictures::jpegCutShort());
    EXPECT_EQ(readPictureHeader(readTestFile("photo-exif-6.png")).firstScanData, 0u);
}

// --- Photo files ---------------------------------------------------------------

// How the picker reads files is the same whichever decoders are built.
#if !defined(SCRAWLET_TEST_STB_CODECS)

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
    long before = testsupport::peakMegabytes();
    for (const auto& [path, reason] : files) {
        auto image = graphics::readPhoto(path);
        ASSERT_FALSE(image.ok()) << path;
        EXPECT_NE(image.error().find(reason), std::string::npos) << image.error();
    }
    EXPECT_LT(testsupport::peakMegabytes() - before, 100);
    std::filesystem::remove_all(folder);
}

// A phone's photos: a 48 MP JPEG and a PNG of 8192 × 8192 pixels, stored
// plainly and interlaced, become the kept picture, right way round, without the whole picture ever
// being in memory (measured in a child process, over what it held before).
TEST(PhotoFiles, PhonePhotosAreKeptWithinBoundedMemory) {
    auto folder = testsupport::freshDirectory("phone-photos");
    const std::tuple<std::string, std::vector<std::uint8_t>, int, int> photos[] = {
        {"48mp.jpg", testsupport::makeLargeJpeg(), 2048, 1536},
        {"8192.png", testsupport::makeLargePng(), 2048, 2048},
        {"8192-interlaced.png", testsupport::makeLargePng(8192, 8192, true), 2048, 2048}};
    for (const auto& [name, bytes, width, height] : photos) {
        auto file = folder / name;
        ASSERT_TRUE(platform::writeFile(file, bytes).ok());
        bool kept = false;
        long megabytes = testsupport::peakGrowthMegabytesInChild([&] {
            auto image = graphics::readPhoto(file);
            if (!image.ok()) return;
            const auto& bitmap = *image.value()->cgImage();
            kept = bitmap.width() == width && bitmap.height() == height &&
                   near(at(bitmap, 0.2, 0.2), {226, 36, 36, 255}, 16) &&
                   near(at(bitmap, 0.8, 0.2), green, 16) && near(at(bitmap, 0.2, 0.8), blue, 16) &&
                   near(at(bitmap, 0.8, 0.8), yellow, 16);
            // The child tells only its memory: what it saw goes out here.
            if (!kept) ::_exit(3);
        });
        EXPECT_GE(megabytes, 0) << name << ": the picture was not kept as expected";
        // The sanitizers' build keeps freed memory aside for a while.
#if defined(__SANITIZE_ADDRESS__)
        EXPECT_LT(megabytes, 600) << name;
#else
        EXPECT_LT(megabytes, 150) << name;
#endif
        // Checked here too, where a failure is reported.
        auto image = graphics::readPhoto(file);
        ASSERT_TRUE(image.ok()) << name << ": " << image.error();
        EXPECT_EQ(image.value()->cgImage()->width(), width) << name;
        EXPECT_EQ(image.value()->cgImage()->height(), height) << name;
    }
    std::filesystem::remove_all(folder);
}

// Large photos cut short or damaged in the middle are refused with a
// reason, in bounded memory, and never shown half grey.
TEST(PhotoFiles, DamagedPhonePhotosAreRefusedWithAReason) {
    auto jpeg = testsupport::makeLargeJpeg();
    auto png = testsupport::makeLargePng();
    auto cut = [](std::vector<std::uint8_t> bytes) {
        bytes.resize(bytes.size() * 2 / 3);
        return bytes;
    };
    auto damaged = [](std::vector<std::uint8_t> bytes) {
        // Scrambles a stretch in the middle of the picture data.
        std::uint32_t noise = 7;
        for (std::size_t i = bytes.size() / 2; i < bytes.size() / 2 + 4096; ++i) {
            noise = noise * 1664525u + 1013904223u;
            bytes[i] = static_cast<std::uint8_t>(noise >> 24);
        }
        return bytes;
    };
    const std::pair<std::string, std::vector<std::uint8_t>> files[] = {
        {"cut-short JPEG", cut(jpeg)},
        {"damaged JPEG", damaged(jpeg)},
        {"cut-short PNG", cut(png)},
        {"damaged PNG", damaged(png)}};
    for (const auto& [name, bytes] : files) {
        auto image = graphics::decodePhoto(bytes);
        ASSERT_FALSE(image.ok()) << name;
        EXPECT_NE(image.error().find("damaged or cut short"), std::string::npos)
            << name << ": " << image.error();
        long megabytes =
            testsupport::peakGrowthMegabytesInChild([&] { (void)graphics::decodePhoto(bytes); });
        EXPECT_GE(megabytes, 0) << name;
#if !defined(__SANITIZE_ADDRESS__)
        EXPECT_LT(megabytes, 150) << name;
#endif
    }
}

#endif

}  // namespace
