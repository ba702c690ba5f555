#include "platform/graphics/cairo/Codecs.h"

#include <libexif/exif-data.h>
#include <png.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <optional>
#include <string>

#include "platform/graphics/PictureFiles.h"
#include "platform/graphics/stb/PngEncoder.h"

namespace graphics {

namespace {

using namespace pictures;

// A reason with the decoder's own words about the fault after it, so that
// the message says both what is wrong for the user and where for us.
platform::Error failure(std::string reason, std::string detail) {
    if (detail.empty()) return platform::fail(std::move(reason));
    detail[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(detail[0])));
    return platform::fail(std::move(reason) + ": " + detail);
}

// --- Orientation -----------------------------------------------------------

// The orientation recorded in an EXIF block that starts with "Exif\0\0". A
// damaged or missing block leaves the picture as it is stored: the pixels
// are still worth showing.
ImageOrientation orientationFromExif(Bytes exif) {
    // EXIF blocks live in one JPEG segment, so anything larger is not one.
    if (exif.size() < 6 || exif.size() > 0xffff) return ImageOrientation::up;
    ExifData* data = exif_data_new();
    if (!data) return ImageOrientation::up;
    // Only read: do not let the library add or repair tags.
    exif_data_unset_option(data, EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_load_data(data, exif.data(), static_cast<unsigned>(exif.size()));
    unsigned value = 1;
    // The main picture's orientation is in IFD 0; IFD 1 describes the thumbnail.
    ExifEntry* entry = exif_content_get_entry(data->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
    if (entry && entry->format == EXIF_FORMAT_SHORT && entry->components >= 1 && entry->data &&
        entry->size >= 2)
        value = exif_get_short(entry->data, exif_data_get_byte_order(data));
    exif_data_unref(data);
    return orientationForExifValue(value);
}

// An uninitialised pixel buffer that is only committed as it is written, so
// that a file which claims a large size and then ends early costs little.
std::unique_ptr<std::uint8_t[]> pixelBuffer(std::size_t bytes) {
    return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[bytes]);
}

// --- JPEG ------------------------------------------------------------------

struct TurboJpeg {
    tjhandle handle = tjInitDecompress();
    ~TurboJpeg() {
        if (handle) tjDestroy(handle);
    }
    std::string error() const { return handle ? tjGetErrorStr2(handle) : "no decoder"; }
};

platform::Result<std::shared_ptr<Image>> decodeJpeg(Bytes bytes, const DecodeLimits& limits) {
    JpegLayout layout = readJpegLayout(bytes);
    TurboJpeg decoder;
    if (!decoder.handle) return platform::fail("the JPEG decoder could not be started");
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    if (tjDecompressHeader3(decoder.handle, bytes.data(), static_cast<unsigned long>(bytes.size()),
                            &width, &height, &subsampling, &colorspace) != 0)
        return failure("the JPEG picture's header is damaged", decoder.error());
    if (width <= 0 || height <= 0) return platform::fail("the JPEG picture has no pixels");
    if (width > limits.maxStoredSide || height > limits.maxStoredSide)
        return platform::fail("the JPEG picture claims " + sizeText(width, height) +
                              " pixels, more than " + std::to_string(limits.maxStoredSide) +
                              " on a side");
    if (colorspace == TJCS_CMYK || colorspace == TJCS_YCCK)
        return platform::fail("the JPEG picture is in CMYK colours, which cannot be shown");
    bool buffered = layout.progressive || layout.scans > 1;
    if (buffered && coefficientBytes(layout, width, height) > limits.maxDecodeBytes)
        return platform::fail(tooLarge("JPEG", width, height));

    // Let the decoder shrink by the largest factor that still leaves at
    // least the size we want; the rest is done by averaging.
    PixelSize wanted = fittedSize(width, height, limits.maxSide);
    PixelSize decoded{width, height};
    int factorCount = 0;
    const tjscalingfactor* factors = tjGetScalingFactors(&factorCount);
    for (int i = 0; factors && i < factorCount; ++i) {
        if (factors[i].num > factors[i].denom) continue;
        PixelSize scaled{TJSCALED(width, factors[i]), TJSCALED(height, factors[i])};
        if (scaled.width >= wanted.width && scaled.height >= wanted.height &&
            std::int64_t{scaled.width} * scaled.height <
                std::int64_t{decoded.width} * decoded.height)
            decoded = scaled;
    }
    std::size_t decodedBytes = static_cast<std::size_t>(decoded.width) * decoded.height * 4;
    if (decodedBytes > limits.maxDecodeBytes)
        return platform::fail(tooLarge("JPEG", width, height));

    // Stop at the first warning: a file that ends early or holds damaged
    // data is refused rather than shown half grey. Limiting the scans
    // guards against files made to take forever.
    const int flags = TJFLAG_STOPONWARNING | TJFLAG_LIMITSCANS;
    BitmapFormat opaque{8, ColorSpace::deviceRGB, AlphaInfo::noneSkipLast};
    auto decode = [&](std::uint8_t* pixels) {
        return tjDecompress2(decoder.handle, bytes.data(), static_cast<unsigned long>(bytes.size()),
                             pixels, decoded.width, decoded.width * 4, decoded.height, TJPF_RGBA,
                             flags) == 0;
    };
    auto damaged = [&] {
        return failure("the JPEG picture is damaged or cut short", decoder.error());
    };
    // When shrinking, the result is only made once decoding has worked, so
    // that a file that claims much and holds little costs little.
    std::shared_ptr<Bitmap> bitmap;
    if (decoded.width == wanted.width && decoded.height == wanted.height) {
        bitmap = std::make_shared<Bitmap>(wanted.width, wanted.height, opaque);
        if (!decode(bitmap->data())) return damaged();
    } else {
        auto pixels = pixelBuffer(decodedBytes);
        if (!pixels) return platform::fail(tooLarge("JPEG", width, height));
        if (!decode(pixels.get())) return damaged();
        bitmap = std::make_shared<Bitmap>(wanted.width, wanted.height, opaque);
        shrinkByArea(pixels.get(), decoded.width, decoded.height,
                     static_cast<std::size_t>(decoded.width) * 4, *bitmap);
    }
    return std::make_shared<Image>(std::move(bitmap), 1.0, orientationFromExif(layout.exif));
}

// --- PNG -------------------------------------------------------------------

// Whether a PNG picture is stored interlaced (its header says so).
bool interlaced(Bytes bytes) { return bytes.size() > 28 && bytes[28] != 0; }

// Where libpng reads from and what it says when it gives up. libpng leaves
// by a long jump on errors; the jump lands in readPngRows, whose frame and
// libpng's own hold nothing that needs destroying.
struct PngSource {
    Bytes bytes;
    std::size_t position = 0;
    char problem[256] = {};
};

void readPngBytes(png_structp png, png_bytep into, png_size_t length) {
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (length > source->bytes.size() - source->position) png_error(png, "the file ends early");
    std::memcpy(into, source->bytes.data() + source->position, length);
    source->position += length;
}

[[noreturn]] void pngFailed(png_structp png, png_const_charp message) {
    auto* source = static_cast<PngSource*>(png_get_error_ptr(png));
    std::snprintf(source->problem, sizeof source->problem, "%s", message);
    png_longjmp(png, 1);
}

void pngWarned(png_structp, png_const_charp) {}

// Where the pixels read go: `count` premultiplied RGBA pixels of row `y`,
// the first at column `x` and each next `xStep` columns further on.
using PngPixels =
    std::function<void(const std::uint8_t* pixels, int count, int x, int xStep, int y)>;

// Reads a PNG one row at a time as 8-bit RGBA, premultiplies each row and
// hands it to `into`: whole rows from the top, or for an interlaced picture
// the rows of each of its seven passes in turn, each a sparse grid over the
// whole picture. Answers what went wrong, or nothing.
std::string readPngRows(Bytes bytes, const PngPixels& into) {
    PngSource source{bytes};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, pngFailed, pngWarned);
    if (!png) return "the PNG decoder could not be started";
    png_infop info = png_create_info_struct(png);
    // Changed after the jump's mark and read after a jump: kept in memory.
    std::uint8_t* volatile row = nullptr;
    if (info && setjmp(png_jmpbuf(png)) == 0) {
        png_set_read_fn(png, &source, readPngBytes);
        png_read_info(png, info);
        png_set_expand(png);
        png_set_strip_16(png);
        png_set_gray_to_rgb(png);
        png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
        // Without png_set_interlace_handling libpng gives out each pass's
        // own rows, which is what keeps an interlaced picture out of memory.
        png_read_update_info(png, info);
        png_uint_32 width = png_get_image_width(png, info);
        png_uint_32 height = png_get_image_height(png, info);
        if (png_get_rowbytes(png, info) != std::size_t{width} * 4)
            png_error(png, "the rows are not in the layout asked for");
        row = static_cast<std::uint8_t*>(std::malloc(std::size_t{width} * 4));
        if (!row) png_error(png, "no memory for a row");
        bool adam7 = png_get_interlace_type(png, info) == PNG_INTERLACE_ADAM7;
        for (int pass = 0; pass < (adam7 ? PNG_INTERLACE_ADAM7_PASSES : 1); ++pass) {
            png_uint_32 columns = adam7 ? PNG_PASS_COLS(width, pass) : width;
            png_uint_32 rows = adam7 ? PNG_PASS_ROWS(height, pass) : height;
            // libpng passes over empty passes itself.
            if (columns == 0 || rows == 0) continue;
            for (png_uint_32 y = 0; y < rows; ++y) {
                png_read_row(png, row, nullptr);
                premultiply(row, std::size_t{columns} * 4);
                into(row, static_cast<int>(columns),
                     adam7 ? static_cast<int>(PNG_PASS_START_COL(pass)) : 0,
                     adam7 ? 1 << PNG_PASS_COL_SHIFT(pass) : 1,
                     static_cast<int>(adam7 ? PNG_ROW_FROM_PASS_ROW(y, pass) : y));
            }
        }
    } else if (!info) {
        std::snprintf(source.problem, sizeof source.problem,
                      "the PNG decoder could not be started");
    }
    std::free(row);
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    return source.problem;
}

platform::Result<std::shared_ptr<Image>> decodePng(Bytes bytes, const DecodeLimits& limits) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()))
        return failure("the PNG picture's header is damaged", image.message);
    // The library frees its state itself when reading fails; freeing again
    // is harmless, so every way out frees.
    struct Release {
        png_image& image;
        ~Release() { png_image_free(&image); }
    } release{image};

    std::int64_t width = image.width, height = image.height;
    if (width == 0 || height == 0) return platform::fail("the PNG picture has no pixels");
    if (width > limits.maxStoredSide || height > limits.maxStoredSide)
        return platform::fail("the PNG picture claims " + sizeText(width, height) +
                              " pixels, more than " + std::to_string(limits.maxStoredSide) +
                              " on a side");
    std::size_t decodedBytes =
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
    if (decodedBytes > limits.maxDecodeBytes) return platform::fail(tooLarge("PNG", width, height));

    // A picture without an alpha channel is opaque, as a JPEG photo is.
    BitmapFormat format;
    if ((image.format & PNG_FORMAT_FLAG_ALPHA) == 0) format.alphaInfo = AlphaInfo::noneSkipLast;
    image.format = PNG_FORMAT_RGBA;
    auto stride = static_cast<png_int_32>(width * 4);
    PixelSize wanted =
        fittedSize(static_cast<int>(width), static_cast<int>(height), limits.maxSide);
    auto damaged = [&] {
        return failure("the PNG picture is damaged or cut short", image.message);
    };
    std::shared_ptr<Bitmap> bitmap;
    if (wanted.width == width && wanted.height == height) {
        bitmap = std::make_shared<Bitmap>(wanted.width, wanted.height, format);
        if (!png_image_finish_read(&image, nullptr, bitmap->data(), stride, nullptr))
            return damaged();
        premultiply(bitmap->data(), bitmap->byteCount());
    } else if (!interlaced(bytes)) {
        // Shrunk as the rows arrive: the whole picture is never in memory.
        bitmap = std::make_shared<Bitmap>(wanted.width, wanted.height, format);
        RowShrinker shrinker(static_cast<int>(width), static_cast<int>(height), *bitmap);
        std::string problem = readPngRows(bytes, [&](const std::uint8_t* pixels, int, int, int,
                                                     int) { shrinker.addRow(pixels); });
        if (!problem.empty() || !shrinker.finished())
            return failure("the PNG picture is damaged or cut short", problem);
    } else {
        // An interlaced picture's passes each cover the whole picture:
        // they are summed into the kept size pass by pass, and neither the
        // whole picture nor a pass of it is ever in memory.
        bitmap = std::make_shared<Bitmap>(wanted.width, wanted.height, format);
        ScatteredShrinker shrinker(static_cast<int>(width), static_cast<int>(height), *bitmap);
        std::string problem =
            readPngRows(bytes, [&](const std::uint8_t* pixels, int count, int x, int xStep, int y) {
                shrinker.addPixels(pixels, count, x, xStep, y);
            });
        if (!problem.empty()) return failure("the PNG picture is damaged or cut short", problem);
        shrinker.finish();
    }
    std::vector<std::uint8_t> exif = pngExif(bytes);
    return std::make_shared<Image>(std::move(bitmap), 1.0, orientationFromExif(exif));
}

}  // namespace

platform::Result<std::shared_ptr<Image>> decodePicture(std::span<const std::uint8_t> bytes,
                                                       const DecodeLimits& limits) {
    platform::require(limits.maxSide >= 1 && limits.maxStoredSide >= 1, "decodePicture",
                      "the decoding limits must allow at least one pixel");
    if (hasPngSignature(bytes)) return decodePng(bytes, limits);
    if (hasJpegSignature(bytes)) return decodeJpeg(bytes, limits);
    return platform::fail(unsupportedKind(bytes));
}

platform::Result<std::vector<std::uint8_t>> encodePng(const Bitmap& bitmap) {
    // Written by the same encoder as in the browser, so that a drawing is
    // saved as the same bytes in both.
    return stb::encodePng(bitmap);
}

}  // namespace graphics
