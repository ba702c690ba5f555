#include "platform/graphics/PictureFiles.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/Precondition.h"

namespace graphics::pictures {

namespace {

std::uint32_t bigEndian16(const std::uint8_t* p) { return (std::uint32_t(p[0]) << 8) | p[1]; }

std::uint32_t bigEndian32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           p[3];
}

bool startsWith(Bytes bytes, std::size_t offset, std::string_view text) {
    return bytes.size() >= offset + text.size() &&
           std::memcmp(bytes.data() + offset, text.data(), text.size()) == 0;
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

// Where each source pixel goes when `from` pixels become `to` (no more):
// into destination pixel `first[s]` with `weights[0][s]` and, where it
// straddles two, into the next with `weights[1][s]`. The same weights as
// Coverage's, looked up from the source's side.
struct Spread {
    std::vector<int> first;
    std::vector<float> weights[2];

    explicit Spread(const Coverage& coverage, int from) {
        first.assign(static_cast<std::size_t>(from), -1);
        weights[0].assign(first.size(), 0.0f);
        weights[1].assign(first.size(), 0.0f);
        for (std::size_t d = 0; d < coverage.first.size(); ++d)
            for (int k = 0; k < coverage.count[d]; ++k) {
                auto s = static_cast<std::size_t>(coverage.first[d] + k);
                float weight = coverage.weights[coverage.offset[d] + static_cast<std::size_t>(k)];
                if (first[s] < 0) {
                    first[s] = static_cast<int>(d);
                    weights[0][s] = weight;
                } else {
                    weights[1][s] = weight;
                }
            }
    }
};

// Sums of premultiplied colour as bytes: rounded, and no colour above its
// alpha, which rounding must not make it.
void storeSums(const float* sums, std::uint8_t* out, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<std::uint8_t>(std::clamp(std::lround(sums[i]), 0L, 255L));
    for (std::size_t i = 0; i < n; i += 4)
        for (int c = 0; c < 3; ++c) out[i + c] = std::min(out[i + c], out[i + 3]);
}

}  // namespace

std::string sizeText(std::int64_t width, std::int64_t height) {
    return std::to_string(width) + " × " + std::to_string(height);
}

std::string tooLarge(std::string_view kind, std::int64_t width, std::int64_t height) {
    return "the " + std::string(kind) + " picture is " + sizeText(width, height) +
           " pixels, too large to open";
}

bool hasPngSignature(Bytes bytes) { return startsWith(bytes, 0, "\x89PNG\r\n\x1a\n"); }

bool hasJpegSignature(Bytes bytes) { return startsWith(bytes, 0, "\xff\xd8\xff"); }

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

ImageOrientation orientationFromExifBlock(Bytes exif) {
    // EXIF blocks live in one JPEG segment, so anything larger is not one.
    if (exif.size() < 6 || exif.size() > 0xffff || !startsWith(exif, 0, {"Exif\0\0", 6}))
        return ImageOrientation::up;
    Bytes tiff = exif.subspan(6);
    if (tiff.size() < 8) return ImageOrientation::up;
    bool little = startsWith(tiff, 0, "II");
    if (!little && !startsWith(tiff, 0, "MM")) return ImageOrientation::up;
    auto read16 = [&](std::size_t at) -> std::uint32_t {
        return little ? (std::uint32_t(tiff[at + 1]) << 8) | tiff[at] : bigEndian16(&tiff[at]);
    };
    auto read32 = [&](std::size_t at) -> std::uint32_t {
        return little ? (read16(at + 2) << 16) | read16(at) : bigEndian32(&tiff[at]);
    };
    if (read16(2) != 42) return ImageOrientation::up;
    // The main picture's orientation is in IFD 0; IFD 1 describes the thumbnail.
    std::size_t directory = read32(4);
    if (directory > tiff.size() - 2) return ImageOrientation::up;
    std::size_t entries = read16(directory);
    constexpr std::uint32_t orientationTag = 0x0112, shortType = 3;
    for (std::size_t i = 0; i < entries; ++i) {
        std::size_t entry = directory + 2 + 12 * i;
        if (entry + 12 > tiff.size()) break;
        if (read16(entry) == orientationTag && read16(entry + 2) == shortType &&
            read32(entry + 4) >= 1)
            return orientationForExifValue(read16(entry + 8));
    }
    return ImageOrientation::up;
}

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

struct RowShrinker::Coverages {
    Coverage columns;
    Coverage rows;
};

RowShrinker::RowShrinker(int sourceWidth, int sourceHeight, Bitmap& destination)
    : destination_(destination), sourceHeight_(sourceHeight) {
    platform::require(sourceWidth >= destination.width() && sourceHeight >= destination.height() &&
                          destination.width() >= 1 && destination.height() >= 1,
                      "RowShrinker", "the destination must be no larger than the source");
    coverages_ = std::make_unique<Coverages>(Coverages{
        Coverage(sourceWidth, destination.width()), Coverage(sourceHeight, destination.height())});
    horizontal_.resize(static_cast<std::size_t>(destination.width()) * 4);
    sum_.assign(horizontal_.size() * 2, 0.0f);
}

RowShrinker::~RowShrinker() = default;

bool RowShrinker::finished() const { return nextSourceRow_ == sourceHeight_; }

void RowShrinker::addRow(const std::uint8_t* in) {
    platform::require(!finished(), "RowShrinker::addRow", "every row has been added already");
    const Coverage& columns = coverages_->columns;
    const Coverage& rows = coverages_->rows;
    int width = destination_.width();
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
        float* h = &horizontal_[static_cast<std::size_t>(x) * 4];
        h[0] = r;
        h[1] = g;
        h[2] = b;
        h[3] = a;
    }
    // A source row no taller than a destination row lies in at most two:
    // the one being made and the next, whose sums follow in `sum_`.
    int source = nextSourceRow_++;
    for (int next = 0; next < 2; ++next) {
        int d = destinationRow_ + next;
        if (d >= destination_.height()) break;
        int k = source - rows.first[d];
        if (k < 0 || k >= rows.count[d]) continue;
        float rowWeight = rows.weights[rows.offset[d] + static_cast<std::size_t>(k)];
        float* sum = &sum_[static_cast<std::size_t>(next) * horizontal_.size()];
        for (std::size_t i = 0; i < horizontal_.size(); ++i) sum[i] += rowWeight * horizontal_[i];
    }
    while (destinationRow_ < destination_.height() &&
           rows.first[destinationRow_] + rows.count[destinationRow_] - 1 <= source)
        finishRow();
}

void RowShrinker::finishRow() {
    std::uint8_t* out = destination_.data() +
                        static_cast<std::size_t>(destinationRow_) * destination_.bytesPerRow();
    std::size_t n = horizontal_.size();
    storeSums(sum_.data(), out, n);
    std::copy(sum_.begin() + static_cast<std::ptrdiff_t>(n), sum_.end(), sum_.begin());
    std::fill(sum_.begin() + static_cast<std::ptrdiff_t>(n), sum_.end(), 0.0f);
    ++destinationRow_;
}

struct ScatteredShrinker::Spreads {
    Spread columns;
    Spread rows;
};

ScatteredShrinker::ScatteredShrinker(int sourceWidth, int sourceHeight, Bitmap& destination)
    : destination_(destination) {
    platform::require(sourceWidth >= destination.width() && sourceHeight >= destination.height() &&
                          destination.width() >= 1 && destination.height() >= 1,
                      "ScatteredShrinker", "the destination must be no larger than the source");
    spreads_ = std::make_unique<Spreads>(
        Spreads{Spread(Coverage(sourceWidth, destination.width()), sourceWidth),
                Spread(Coverage(sourceHeight, destination.height()), sourceHeight)});
    sums_.assign(static_cast<std::size_t>(destination.width()) *
                     static_cast<std::size_t>(destination.height()) * 4,
                 0.0f);
}

ScatteredShrinker::~ScatteredShrinker() = default;

void ScatteredShrinker::addPixels(const std::uint8_t* pixels, int count, int x, int xStep, int y) {
    const Spread& columns = spreads_->columns;
    const Spread& rows = spreads_->rows;
    auto sourceWidth = static_cast<int>(columns.first.size());
    platform::require(y >= 0 && y < static_cast<int>(rows.first.size()) && x >= 0 && xStep >= 1 &&
                          (count == 0 || x + std::int64_t{count - 1} * xStep < sourceWidth),
                      "ScatteredShrinker::addPixels", "the pixels lie outside the source");
    auto width = static_cast<std::size_t>(destination_.width());
    auto row = static_cast<std::size_t>(y);
    for (int r = 0; r < 2; ++r) {
        float rowWeight = rows.weights[r][row];
        if (rowWeight == 0.0f) continue;
        float* line = &sums_[static_cast<std::size_t>(rows.first[row] + r) * width * 4];
        const std::uint8_t* p = pixels;
        for (int i = 0; i < count; ++i, p += 4) {
            auto column = static_cast<std::size_t>(x + i * xStep);
            for (int c = 0; c < 2; ++c) {
                float weight = columns.weights[c][column] * rowWeight;
                if (weight == 0.0f) continue;
                float* sum = line + static_cast<std::size_t>(columns.first[column] + c) * 4;
                for (int k = 0; k < 4; ++k) sum[k] += weight * p[k];
            }
        }
    }
}

void ScatteredShrinker::finish() {
    storeSums(sums_.data(), destination_.data(), sums_.size());
    sums_ = {};
}

void shrinkByArea(const std::uint8_t* source, int sourceWidth, int sourceHeight,
                  std::size_t sourceStride, Bitmap& destination) {
    RowShrinker shrinker(sourceWidth, sourceHeight, destination);
    for (int y = 0; y < sourceHeight; ++y)
        shrinker.addRow(source + static_cast<std::size_t>(y) * sourceStride);
}

namespace {
// Every table-definition marker anywhere in the file, not only where the
// markers lead: a decoder that skips junk to find its next marker may come
// upon one there. Each holds tables one after another (a class and number,
// sixteen counts, then as many symbols as the counts add up to), read as a
// decoder reads them, with nothing past the end of the file.
bool everyHuffmanTableFits(Bytes bytes) {
    auto byteAt = [&](std::size_t at) -> std::size_t { return at < bytes.size() ? bytes[at] : 0; };
    for (std::size_t pos = 0; pos + 1 < bytes.size(); ++pos) {
        if (bytes[pos] != 0xff || bytes[pos + 1] != 0xc4) continue;
        // As a decoder counts: a table starts while any of the segment's
        // length is left, even where fewer bytes than a table's are.
        long long left = static_cast<long long>((byteAt(pos + 2) << 8) | byteAt(pos + 3)) - 2;
        for (std::size_t at = pos + 4; left > 0 && at < bytes.size();) {
            std::size_t codes = 0;
            for (std::size_t i = 1; i <= 16; ++i) codes += byteAt(at + i);
            if (codes > 256) return false;
            at += 17 + codes;
            left -= static_cast<long long>(17 + codes);
        }
    }
    return true;
}
}  // namespace

JpegLayout readJpegLayout(Bytes bytes) {
    JpegLayout layout;
    layout.huffmanTablesFit = everyHuffmanTableFits(bytes);
    std::size_t pos = 2;
    const std::size_t size = bytes.size();
    while (pos + 2 <= size) {
        if (bytes[pos] != 0xff) break;
        std::uint8_t marker = bytes[pos + 1];
        if (marker == 0xff) {  // fill byte
            ++pos;
            continue;
        }
        if (marker == 0xd9) {  // end of image
            layout.complete = true;
            break;
        }
        if (marker == 0x01 || (marker >= 0xd0 && marker <= 0xd7)) {  // no length follows
            pos += 2;
            continue;
        }
        if (pos + 4 > size) {
            layout.endsEarly = true;
            break;
        }
        std::size_t length = bigEndian16(&bytes[pos + 2]);
        if (length < 2) break;
        if (pos + 2 + length > size) {
            layout.endsEarly = true;
            break;
        }
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
            layout.height = static_cast<int>(bigEndian16(&segment[1]));
            layout.width = static_cast<int>(bigEndian16(&segment[3]));
            std::size_t components = segment[5];
            for (std::size_t c = 0; c < components && 6 + c * 3 + 3 <= segment.size(); ++c) {
                std::uint8_t factors = segment[6 + c * 3 + 1];
                layout.sampling.emplace_back(factors >> 4, factors & 0x0f);
            }
        }
        pos += 2 + length;
        if (marker == 0xda) {
            if (layout.scans++ == 0) layout.firstScanData = pos;
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
    if (pos + 2 > size) layout.endsEarly = true;
    return layout;
}

std::string jpegCutShort() {
    return "the JPEG picture is damaged or cut short: premature end of JPEG file";
}

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

PictureHeader readPictureHeader(Bytes head) {
    PictureHeader header;
    if (hasJpegSignature(head)) {
        JpegLayout layout = readJpegLayout(head);
        if (!layout.sawFrame) return header;
        header = {true,
                  "JPEG",
                  layout.width,
                  layout.height,
                  orientationFromExifBlock(layout.exif),
                  layout.firstScanData};
    } else if (hasPngSignature(head) && head.size() >= 24 && startsWith(head, 12, "IHDR")) {
        header = {true, "PNG", bigEndian32(&head[16]), bigEndian32(&head[20]),
                  orientationFromExifBlock(pngExif(head))};
    }
    return header;
}

PixelSize keptUprightSize(const PictureHeader& header, int maxSide) {
    auto width = static_cast<int>(std::clamp<std::int64_t>(header.width, 1, 1 << 30));
    auto height = static_cast<int>(std::clamp<std::int64_t>(header.height, 1, 1 << 30));
    switch (header.orientation) {
        case ImageOrientation::left:
        case ImageOrientation::right:
        case ImageOrientation::leftMirrored:
        case ImageOrientation::rightMirrored: std::swap(width, height); break;
        case ImageOrientation::up:
        case ImageOrientation::down:
        case ImageOrientation::upMirrored:
        case ImageOrientation::downMirrored: break;
    }
    return fittedSize(width, height, maxSide);
}

void premultiply(std::uint8_t* p, std::size_t byteCount) {
    for (std::size_t i = 0; i < byteCount; i += 4) {
        unsigned a = p[i + 3];
        if (a == 255) continue;
        for (int c = 0; c < 3; ++c)
            p[i + c] = static_cast<std::uint8_t>((p[i + c] * a + 127) / 255);
    }
}

std::vector<std::uint8_t> unpremultiplied(const Bitmap& bitmap) {
    std::vector<std::uint8_t> straight(bitmap.data(), bitmap.data() + bitmap.byteCount());
    for (std::size_t i = 0; i < straight.size(); i += 4) {
        unsigned a = straight[i + 3];
        if (a == 255 || a == 0) continue;
        for (int c = 0; c < 3; ++c)
            straight[i + c] =
                static_cast<std::uint8_t>(std::min(255u, (straight[i + c] * 255u + a / 2) / a));
    }
    return straight;
}

}  // namespace graphics::pictures
