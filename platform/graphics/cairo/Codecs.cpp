#include "platform/graphics/cairo/Codecs.h"

#include <libexif/exif-data.h>
#include <png.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <new>
#include <optional>
#include <string>

namespace graphics {

namespace {

using Bytes = std::span<const std::uint8_t>;

std::string sizeText(std::int64_t width, std::int64_t height) {
    return std::to_string(width) + " × " + std::to_string(height);
}

// A reason with the decoder's own words about the fault after it, so that
// the message says both what is wrong for the user and where for us.
platform::Error failure(std::string reason, std::string detail) {
    if (detail.empty()) return platform::fail(std::move(reason));
    detail[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(detail[0])));
    return platform::fail(std::move(reason) + ": " + detail);
}

std::uint32_t bigEndian16(const std::uint8_t* p) { return (std::uint32_t(p[0]) << 8) | p[1]; }

std::uint32_t bigEndian32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           p[3];
}

bool startsWith(Bytes bytes, std::size_t offset, std::string_view text) {
    return bytes.size() >= offset + text.size() &&
           std::memcmp(bytes.data() + offset, text.data(), text.size()) == 0;
}

bool hasPngSignature(Bytes bytes) { return startsWith(bytes, 0, "\x89PNG\r\n\x1a\n"); }

bool hasJpegSignature(Bytes bytes) { return startsWith(bytes, 0, "\xff\xd8\xff"); }

// Names the kinds of picture people are likely to pick that we do not read,
// so that the refusal says what the file is rather than only what it is not.
std::string unsupportedKind(Bytes bytes) {
    if (bytes.empty()) return "the file is empty";
    if (startsWith(bytes, 0, "GIF87a") || startsWith(bytes, 0, "GIF89a"))
        return "it is a GIF picture; only JPEG and PNG pictures can be opened";
    if (startsWith(bytes, 0, "RIFF") && startsWith(bytes, 8, "WEBP"))
        return "it is a WebP picture; only JPEG and PNG pictures can be opened";
    if (startsWith(bytes, 4, "ftypheic") || startsWith(bytes, 4, "ftypheix") ||
        startsWith(bytes, 4, "ftypmif1") || startsWith(bytes, 4, "ftypavif"))
        return "it is a HEIF or AVIF picture; only JPEG and PNG pictures can be opened";
    if (startsWith(bytes, 0, "II*\0") || startsWith(bytes, 0, "MM\0*"))
        return "it is a TIFF picture; only JPEG and PNG pictures can be opened";
    if (startsWith(bytes, 0, "BM"))
        return "it is a BMP picture; only JPEG and PNG pictures can be opened";
    return "it is neither a JPEG nor a PNG picture";
}

// --- Orientation -----------------------------------------------------------

// The EXIF orientation value (how the stored rows and columns lie relative to
// the upright picture) as our tag (how the stored pixels must be turned to be
// seen upright). Values outside 1 to 8 are treated as upright.
ImageOrientation orientationForExifValue(unsigned value) {
    switch (value) {
        case 2: return ImageOrientation::upMirrored;
        case 3: return ImageOrientation::down;
        case 4: return ImageOrientation::downMirrored;
        case 5: return ImageOrientation::leftMirrored;
        case 6: return ImageOrientation::right;
        case 7: return ImageOrientation::rightMirrored;
        case 8: return ImageOrientation::left;
        default: return ImageOrientation::up;
    }
}

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

// --- Scaling down ----------------------------------------------------------

struct PixelSize {
    int width = 0;
    int height = 0;
};

// The size a picture of `width` by `height` takes when its long side is
// brought down to `maxSide`, keeping its proportions.
PixelSize fittedSize(int width, int height, int maxSide) {
    int longSide = std::max(width, height);
    if (longSide <= maxSide) return {width, height};
    auto shrink = [&](int side) {
        std::int64_t scaled =
            (std::int64_t{side} * maxSide * 2 + longSide) / (2 * std::int64_t{longSide});
        return static_cast<int>(std::max<std::int64_t>(1, scaled));
    };
    return width >= height ? PixelSize{maxSide, shrink(height)} : PixelSize{shrink(width), maxSide};
}

// Which source pixels each destination pixel covers, and how much of each,
// when `from` pixels in a row (or column) become `to` pixels.
struct Coverage {
    std::vector<int> first;
    std::vector<int> count;
    std::vector<std::size_t> offset;
    std::vector<float> weights;

    Coverage(int from, int to) {
        double step = static_cast<double>(from) / to;
        for (int d = 0; d < to; ++d) {
            double begin = d * step;
            double end = std::min<double>(from, (d + 1) * step);
            int s = static_cast<int>(begin);
            first.push_back(s);
            offset.push_back(weights.size());
            int n = 0;
            for (; s < from && s < end; ++s, ++n) {
                double covered = std::min<double>(end, s + 1) - std::max<double>(begin, s);
                weights.push_back(static_cast<float>(covered / step));
            }
            count.push_back(n);
        }
    }
};

// Shrinks premultiplied RGBA pixels to the destination's size by averaging
// the area each destination pixel covers: no pixel of the source is skipped,
// so fine detail turns into its average colour instead of shimmering.
void shrinkByArea(const std::uint8_t* source, int sourceWidth, int sourceHeight,
                  std::size_t sourceStride, Bitmap& destination) {
    int width = destination.width();
    Coverage columns(sourceWidth, width);
    Coverage rows(sourceHeight, destination.height());
    std::vector<float> row(static_cast<std::size_t>(width) * 4);
    std::vector<float> sum(row.size());
    for (int y = 0; y < destination.height(); ++y) {
        std::fill(sum.begin(), sum.end(), 0.0f);
        for (int k = 0; k < rows.count[y]; ++k) {
            const std::uint8_t* in =
                source + static_cast<std::size_t>(rows.first[y] + k) * sourceStride;
            float rowWeight = rows.weights[rows.offset[y] + k];
            for (int x = 0; x < width; ++x) {
                float r = 0, g = 0, b = 0, a = 0;
                const float* w = &columns.weights[columns.offset[x]];
                const std::uint8_t* p = in + static_cast<std::size_t>(columns.first[x]) * 4;
                for (int n = 0; n < columns.count[x]; ++n, p += 4) {
                    r += w[n] * p[0];
                    g += w[n] * p[1];
                    b += w[n] * p[2];
                    a += w[n] * p[3];
                }
                float* s = &sum[static_cast<std::size_t>(x) * 4];
                s[0] += rowWeight * r;
                s[1] += rowWeight * g;
                s[2] += rowWeight * b;
                s[3] += rowWeight * a;
            }
        }
        std::uint8_t* out =
            destination.data() + static_cast<std::size_t>(y) * destination.bytesPerRow();
        for (std::size_t i = 0; i < sum.size(); ++i)
            out[i] = static_cast<std::uint8_t>(std::clamp(std::lround(sum[i]), 0L, 255L));
        // Premultiplied colour never exceeds its alpha; rounding must not
        // make it do so.
        for (std::size_t i = 0; i < sum.size(); i += 4)
            for (int c = 0; c < 3; ++c) out[i + c] = std::min(out[i + c], out[i + 3]);
    }
}

// An uninitialised pixel buffer that is only committed as it is written, so
// that a file which claims a large size and then ends early costs little.
std::unique_ptr<std::uint8_t[]> pixelBuffer(std::size_t bytes) {
    return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[bytes]);
}

std::string tooLarge(std::string_view kind, std::int64_t width, std::int64_t height) {
    return "the " + std::string(kind) + " picture is " + sizeText(width, height) +
           " pixels, too large to open";
}

// --- JPEG ------------------------------------------------------------------

// What the markers before the picture data say, read without trusting any
// length they claim beyond the bytes that are there.
struct JpegLayout {
    Bytes exif;
    bool progressive = false;
    int scans = 0;
    // The first frame's sampling factors, one pair for each component.
    bool sawFrame = false;
    std::vector<std::pair<int, int>> sampling;
};

JpegLayout readJpegLayout(Bytes bytes) {
    JpegLayout layout;
    std::size_t pos = 2;
    const std::size_t size = bytes.size();
    while (pos + 4 <= size) {
        if (bytes[pos] != 0xff) break;
        std::uint8_t marker = bytes[pos + 1];
        if (marker == 0xff) {  // fill byte
            ++pos;
            continue;
        }
        if (marker == 0xd9) break;                                   // end of image
        if (marker == 0x01 || (marker >= 0xd0 && marker <= 0xd7)) {  // no length follows
            pos += 2;
            continue;
        }
        std::size_t length = bigEndian16(&bytes[pos + 2]);
        if (length < 2 || pos + 2 + length > size) break;
        Bytes segment = bytes.subspan(pos + 4, length - 2);
        bool startOfFrame =
            marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
        if (marker == 0xe1 && layout.exif.empty() &&
            startsWith(segment, 0, std::string_view("Exif\0\0", 6))) {
            layout.exif = segment;
        } else if (startOfFrame && !layout.sawFrame && segment.size() >= 6) {
            layout.sawFrame = true;
            // Progressive frames are SOF2, SOF6, SOF10 and SOF14.
            layout.progressive = (marker & 0x03) == 0x02;
            std::size_t components = segment[5];
            for (std::size_t c = 0; c < components && 6 + c * 3 + 3 <= segment.size(); ++c) {
                std::uint8_t factors = segment[6 + c * 3 + 1];
                layout.sampling.emplace_back(factors >> 4, factors & 0x0f);
            }
        }
        pos += 2 + length;
        if (marker == 0xda) {
            ++layout.scans;
            // Skip the scan's entropy-coded data: in it, 0xff is followed
            // only by a stuffed 0x00 or a restart marker.
            while (pos + 1 < size) {
                const void* next = std::memchr(bytes.data() + pos, 0xff, size - pos - 1);
                if (!next) {
                    pos = size;
                    break;
                }
                pos =
                    static_cast<std::size_t>(static_cast<const std::uint8_t*>(next) - bytes.data());
                std::uint8_t after = bytes[pos + 1];
                if (after == 0x00 || (after >= 0xd0 && after <= 0xd7)) {
                    pos += 2;
                    continue;
                }
                if (after == 0xff) {
                    ++pos;
                    continue;
                }
                break;
            }
        }
    }
    return layout;
}

// The memory a decoder keeps for the whole picture's coefficients when it
// must read every scan before it can give out pixels (progressive and
// multi-scan files): 64 coefficients of 2 bytes for each 8 × 8 block of
// each component, at full size whatever scaling is asked for. Without
// readable sampling factors, four full-size components are assumed.
std::uint64_t coefficientBytes(const JpegLayout& layout, int width, int height) {
    std::vector<std::pair<int, int>> sampling = layout.sampling;
    if (sampling.empty()) sampling.assign(4, {1, 1});
    int maxH = 1, maxV = 1;
    for (auto [h, v] : sampling) {
        maxH = std::max(maxH, h);
        maxV = std::max(maxV, v);
    }
    std::uint64_t mcuColumns = (static_cast<std::uint64_t>(width) + 8 * maxH - 1) / (8 * maxH);
    std::uint64_t mcuRows = (static_cast<std::uint64_t>(height) + 8 * maxV - 1) / (8 * maxV);
    std::uint64_t blocks = 0;
    for (auto [h, v] : sampling)
        blocks += mcuColumns * static_cast<std::uint64_t>(std::max(h, 1)) * mcuRows *
                  static_cast<std::uint64_t>(std::max(v, 1));
    return blocks * 64 * 2;
}

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

// The EXIF block of a PNG's eXIf chunk, with the "Exif\0\0" header that the
// JPEG segment has and the chunk leaves out; empty when there is none.
std::vector<std::uint8_t> pngExif(Bytes bytes) {
    std::size_t pos = 8;
    while (pos + 12 <= bytes.size()) {
        std::size_t length = bigEndian32(&bytes[pos]);
        if (length > bytes.size() - pos - 12) break;
        Bytes type = bytes.subspan(pos + 4, 4);
        if (startsWith(type, 0, "IEND")) break;
        if (startsWith(type, 0, "eXIf")) {
            std::vector<std::uint8_t> exif{'E', 'x', 'i', 'f', 0, 0};
            exif.insert(exif.end(), bytes.begin() + static_cast<std::ptrdiff_t>(pos + 8),
                        bytes.begin() + static_cast<std::ptrdiff_t>(pos + 8 + length));
            return exif;
        }
        pos += 12 + length;
    }
    return {};
}

void premultiply(std::uint8_t* p, std::size_t byteCount) {
    for (std::size_t i = 0; i < byteCount; i += 4) {
        unsigned a = p[i + 3];
        if (a == 255) continue;
        for (int c = 0; c < 3; ++c)
            p[i + c] = static_cast<std::uint8_t>((p[i + c] * a + 127) / 255);
    }
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
    } else {
        auto pixels = pixelBuffer(decodedBytes);
        if (!pixels) return platform::fail(tooLarge("PNG", width, height));
        if (!png_image_finish_read(&image, nullptr, pixels.get(), stride, nullptr))
            return damaged();
        premultiply(pixels.get(), decodedBytes);
        bitmap = std::make_shared<Bitmap>(wanted.width, wanted.height, format);
        shrinkByArea(pixels.get(), static_cast<int>(width), static_cast<int>(height),
                     static_cast<std::size_t>(stride), *bitmap);
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

namespace {
// What libpng's callbacks need while a picture is written: where the bytes
// go and what went wrong. Kept off the stack frame that setjmp returns to.
struct PngWriting {
    std::vector<std::uint8_t> out;
    std::vector<std::uint8_t> row;
    std::string error;
};

void appendPngBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* writing = static_cast<PngWriting*>(png_get_io_ptr(png));
    writing->out.insert(writing->out.end(), data, data + length);
}

void flushNothing(png_structp) {}

[[noreturn]] void stopWriting(png_structp png, png_const_charp message) {
    static_cast<PngWriting*>(png_get_error_ptr(png))->error = message;
    png_longjmp(png, 1);
}

void ignoreWarning(png_structp, png_const_charp) {}
}  // namespace

// Row by row, so that no second copy of the picture is made. An opaque
// bitmap's alpha bytes mean nothing: it is written without an alpha
// channel, which also keeps a photo's file a quarter smaller.
platform::Result<std::vector<std::uint8_t>> encodePng(const Bitmap& bitmap) {
    if (bitmap.width() == 0 || bitmap.height() == 0)
        return platform::fail("a picture with no pixels");
    bool opaque = bitmap.format().alphaInfo == AlphaInfo::noneSkipLast;
    auto writing = std::make_unique<PngWriting>();
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, writing.get(), stopWriting, ignoreWarning);
    if (png == nullptr) return platform::fail("cannot encode PNG: out of memory");
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return platform::fail("cannot encode PNG: " + writing->error);
    }
    png_set_write_fn(png, writing.get(), appendPngBytes, flushNothing);
    png_set_IHDR(png, info, static_cast<png_uint_32>(bitmap.width()),
                 static_cast<png_uint_32>(bitmap.height()), 8,
                 opaque ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    auto width = static_cast<std::size_t>(bitmap.width());
    writing->row.resize(width * (opaque ? 3 : 4));
    for (int y = 0; y < bitmap.height(); ++y) {
        const std::uint8_t* in = bitmap.data() + static_cast<std::size_t>(y) * bitmap.bytesPerRow();
        std::uint8_t* out = writing->row.data();
        for (std::size_t x = 0; x < width; ++x, in += 4) {
            if (opaque) {
                std::memcpy(out, in, 3);
                out += 3;
                continue;
            }
            // PNG keeps alpha straight, not premultiplied.
            unsigned a = in[3];
            for (int c = 0; c < 3; ++c)
                out[c] =
                    a == 255 || a == 0
                        ? in[c]
                        : static_cast<std::uint8_t>(std::min(255u, (in[c] * 255u + a / 2) / a));
            out[3] = in[3];
            out += 4;
        }
        png_write_row(png, writing->row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::move(writing->out);
}

}  // namespace graphics
