// What every picture decoder does alike, whichever library reads the pixels:
// recognising the kind of file, reading its EXIF orientation and the layout
// of a JPEG's markers, the limits on sizes, and scaling down by area.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Image.h"

namespace graphics::pictures {

using Bytes = std::span<const std::uint8_t>;

bool hasPngSignature(Bytes bytes);
bool hasJpegSignature(Bytes bytes);
// Why `bytes` cannot be opened, naming the kinds of picture people are
// likely to pick that we do not read.
std::string unsupportedKind(Bytes bytes);

std::string sizeText(std::int64_t width, std::int64_t height);
std::string tooLarge(std::string_view kind, std::int64_t width, std::int64_t height);

// The orientation recorded in an EXIF block that starts with "Exif\0\0",
// read without any library: the orientation tag of the main picture (IFD 0)
// as our tag. A damaged or missing block, or a value outside 1 to 8, leaves
// the picture up: the pixels are still worth showing.
ImageOrientation orientationFromExifBlock(Bytes exif);
// The EXIF orientation value (how the stored rows and columns lie relative to
// the upright picture) as our tag (how the stored pixels must be turned to be
// seen upright).
ImageOrientation orientationForExifValue(unsigned value);

// What the markers before a JPEG's picture data say, read without trusting
// any length they claim beyond the bytes that are there.
struct JpegLayout {
    Bytes exif;
    bool progressive = false;
    int scans = 0;
    // The first frame's sampling factors, one pair for each component.
    bool sawFrame = false;
    std::vector<std::pair<int, int>> sampling;
    // The first frame's size as it claims it.
    int width = 0, height = 0;
    // Whether the markers run on to the end-of-image marker: a file cut
    // short ends before it.
    bool complete = false;
    // Whether the bytes ran out before the end-of-image marker, rather
    // than the markers stopping where something else stood.
    bool endsEarly = false;
    // Where the first scan's picture data begins (0 before any scan). From
    // there on, two bytes 0xff 0xd9 are only ever the end-of-image marker:
    // in picture data 0xff is followed by 0 or a restart marker.
    std::size_t firstScanData = 0;
    // Whether every Huffman table holds at most the 256 codes a table can;
    // a damaged one claims more, and some decoders write past their tables
    // when they build it.
    bool huffmanTablesFit = true;
};
JpegLayout readJpegLayout(Bytes bytes);
// Why a JPEG file that ends before its end-of-image marker is refused, in
// the words the native decoder (libjpeg) gives for it, so that every
// decoder and the page say the same.
std::string jpegCutShort();
// The memory a decoder keeps for the whole picture's coefficients when it
// must read every scan before it can give out pixels (progressive and
// multi-scan files).
std::uint64_t coefficientBytes(const JpegLayout& layout, int width, int height);

// The EXIF block of a PNG's eXIf chunk, with the "Exif\0\0" header that the
// JPEG segment has and the chunk leaves out; empty when there is none.
std::vector<std::uint8_t> pngExif(Bytes bytes);

struct PixelSize {
    int width = 0;
    int height = 0;
};
// The size a picture of `width` by `height` takes when its long side is
// brought down to `maxSide`, keeping its proportions.
PixelSize fittedSize(int width, int height, int maxSide);

// What the first bytes of a JPEG or PNG file say about its picture: the
// size it claims as stored, and its EXIF orientation tag where the bytes
// hold it. Not `known` when the bytes are of another kind, or too few to
// say.
struct PictureHeader {
    bool known = false;
    std::string kind;
    std::int64_t width = 0, height = 0;
    ImageOrientation orientation = ImageOrientation::up;
    // For a JPEG whose first scan begins within the bytes: where it does.
    // A file with no 0xff 0xd9 from there on is cut short.
    std::size_t firstScanData = 0;
};
PictureHeader readPictureHeader(Bytes head);
// The size the picture is kept at once it is upright and brought down to
// `maxSide`: what a decoder that turns pictures upright (a browser's) is
// asked for.
PixelSize keptUprightSize(const PictureHeader& header, int maxSide);

// Shrinks premultiplied RGBA pixels to the destination's size by averaging
// the area each destination pixel covers.
void shrinkByArea(const std::uint8_t* source, int sourceWidth, int sourceHeight,
                  std::size_t sourceStride, Bitmap& destination);

// The same shrinking, fed one source row at a time from the top, so that a
// decoder that gives out rows never needs the whole picture: it holds one
// row of sums for the destination row being made and one for the next.
class RowShrinker {
public:
    RowShrinker(int sourceWidth, int sourceHeight, Bitmap& destination);
    RowShrinker(const RowShrinker&) = delete;
    RowShrinker& operator=(const RowShrinker&) = delete;
    ~RowShrinker();

    // The next source row: `sourceWidth` premultiplied RGBA pixels.
    void addRow(const std::uint8_t* row);
    // Whether every source row has been added.
    bool finished() const;

private:
    struct Coverages;
    Bitmap& destination_;
    int sourceHeight_;
    int nextSourceRow_ = 0;
    int destinationRow_ = 0;
    std::unique_ptr<Coverages> coverages_;
    std::vector<float> horizontal_, sum_;
    void finishRow();
};

// The same shrinking, fed pixels in any order: the passes of an interlaced
// picture, each a sparse grid over the whole picture. It holds a sum for
// every destination pixel (16 bytes each) rather than any source row. The
// result is within one of what RowShrinker makes of the same pixels, which
// adds the same weighted pixels in another order.
class ScatteredShrinker {
public:
    ScatteredShrinker(int sourceWidth, int sourceHeight, Bitmap& destination);
    ScatteredShrinker(const ScatteredShrinker&) = delete;
    ScatteredShrinker& operator=(const ScatteredShrinker&) = delete;
    ~ScatteredShrinker();

    // `count` premultiplied RGBA pixels of source row `y`, the first at
    // column `x` and each next `xStep` columns further on.
    void addPixels(const std::uint8_t* pixels, int count, int x, int xStep, int y);
    // Writes the destination from the sums: once every pixel has been added.
    void finish();

private:
    struct Spreads;
    Bitmap& destination_;
    std::unique_ptr<Spreads> spreads_;
    std::vector<float> sums_;
};

// Straight alpha (as PNG keeps it) to premultiplied, in place, and back.
void premultiply(std::uint8_t* pixels, std::size_t byteCount);
std::vector<std::uint8_t> unpremultiplied(const Bitmap& bitmap);

}  // namespace graphics::pictures
