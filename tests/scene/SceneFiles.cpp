#include "SceneFiles.h"

#include <bit>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "platform/Files.h"
#include "platform/scene/Material.h"
#include "platform/scene/gltf/SceneEncoder.h"

namespace scenefiles {

std::shared_ptr<graphics::Bitmap> patternBitmap(int width, int height, int seed) {
    auto bitmap = std::make_shared<graphics::Bitmap>(width, height);
    std::uint32_t x = 2463534242u ^ static_cast<std::uint32_t>(seed) * 2654435761u;
    auto next = [&x] {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return x;
    };
    for (int py = 0; py < height; ++py)
        for (int px = 0; px < width; ++px) {
            auto a = static_cast<std::uint8_t>(next() % 256);
            auto channel = [&] {
                return static_cast<std::uint8_t>(a == 0 ? 0 : next() % (a + 1u));
            };
            graphics::Rgba pixel;
            pixel.r = channel();
            pixel.g = channel();
            pixel.b = channel();
            pixel.a = a;
            bitmap->setPixel(px, py, pixel);
        }
    return bitmap;
}

std::shared_ptr<graphics::Image> patternImage(int width, int height, int seed, double scale) {
    return std::make_shared<graphics::Image>(patternBitmap(width, height, seed), scale);
}

std::shared_ptr<scene::Node> sprite(std::shared_ptr<const graphics::Image> image, double side) {
    auto plane = scene::Plane::planeWithWidth(side, side);
    plane->firstMaterial()->diffuse.contents = std::move(image);
    auto node = scene::Node::nodeWithGeometry(plane);
    node->setConstraints({std::make_shared<scene::BillboardConstraint>()});
    return node;
}

std::shared_ptr<scene::Node> photo(std::shared_ptr<const graphics::Image> image) {
    auto size = image->size();
    auto plane = scene::Plane::planeWithWidth(1.0, size.height / size.width);
    plane->firstMaterial()->doubleSided = true;
    plane->firstMaterial()->diffuse.contents = std::move(image);
    auto node = scene::Node::nodeWithGeometry(plane);
    node->setOpacity(0.9f);
    return node;
}

namespace {
template <class T>
bool sameBits(T a, T b) {
    if constexpr (sizeof(T) == 4)
        return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
    else
        return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

std::string show(scene::Vector4 v) {
    std::ostringstream out;
    out.precision(9);
    out << "(" << v.x << ", " << v.y << ", " << v.z << ", " << v.w << ")";
    return out.str();
}

std::string show(scene::Vector3 v) { return show(scene::Vector4{v.x, v.y, v.z, 0}); }

std::string compareMaterials(const scene::Material& a, const scene::Material& b) {
    if (a.doubleSided != b.doubleSided) return "double-sided differs";
    const auto& ia = a.diffuse.contents;
    const auto& ib = b.diffuse.contents;
    if ((ia == nullptr) != (ib == nullptr)) return "one has a picture, the other none";
    if (ia == nullptr) return "";
    if (!sameBits(ia->scale(), ib->scale()))
        return "picture scale " + std::to_string(ia->scale()) + " against " +
               std::to_string(ib->scale());
    if (ia->imageOrientation() != ib->imageOrientation())
        return "picture orientation " +
               std::string(graphics::orientationName(ia->imageOrientation())) + " against " +
               std::string(graphics::orientationName(ib->imageOrientation()));
    const auto& ba = *ia->cgImage();
    const auto& bb = *ib->cgImage();
    if (!(ba.format() == bb.format())) return "bitmap format differs";
    if (ba.width() != bb.width() || ba.height() != bb.height())
        return "picture size " + std::to_string(ba.width()) + "x" + std::to_string(ba.height()) +
               " against " + std::to_string(bb.width()) + "x" + std::to_string(bb.height());
    if (!ba.samePixels(bb)) {
        for (int y = 0; y < ba.height(); ++y)
            for (int x = 0; x < ba.width(); ++x)
                if (!(ba.pixel(x, y) == bb.pixel(x, y))) {
                    auto p = ba.pixel(x, y), q = bb.pixel(x, y);
                    return "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") " +
                           std::to_string(p.r) + "," + std::to_string(p.g) + "," +
                           std::to_string(p.b) + "," + std::to_string(p.a) + " against " +
                           std::to_string(q.r) + "," + std::to_string(q.g) + "," +
                           std::to_string(q.b) + "," + std::to_string(q.a);
                }
    }
    return "";
}

std::string compareOne(const scene::Node& a, const scene::Node& b) {
    auto pa = a.position(), pb = b.position();
    if (!sameBits(pa.x, pb.x) || !sameBits(pa.y, pb.y) || !sameBits(pa.z, pb.z))
        return "position " + show(pa) + " against " + show(pb);
    auto ra = a.rotation(), rb = b.rotation();
    if (!sameBits(ra.x, rb.x) || !sameBits(ra.y, rb.y) || !sameBits(ra.z, rb.z) ||
        !sameBits(ra.w, rb.w))
        return "rotation " + show(ra) + " against " + show(rb);
    if (!sameBits(a.opacity(), b.opacity()))
        return "opacity " + std::to_string(a.opacity()) + " against " + std::to_string(b.opacity());

    if ((a.geometry() == nullptr) != (b.geometry() == nullptr))
        return "one has a geometry, the other none";
    if (a.geometry() != nullptr) {
        const auto* ga = dynamic_cast<const scene::Plane*>(a.geometry().get());
        const auto* gb = dynamic_cast<const scene::Plane*>(b.geometry().get());
        if (ga == nullptr || gb == nullptr) return "a geometry that is not a plane";
        if (!sameBits(ga->width(), gb->width()) || !sameBits(ga->height(), gb->height()))
            return "plane size differs";
        // A plane shows only its first material; that is what is stored.
        if ((ga->firstMaterial() == nullptr) != (gb->firstMaterial() == nullptr))
            return "one plane has a material, the other none";
        if (ga->firstMaterial() != nullptr) {
            auto difference = compareMaterials(*ga->firstMaterial(), *gb->firstMaterial());
            if (!difference.empty()) return difference;
        }
    }

    const auto& ca = a.constraints();
    const auto& cb = b.constraints();
    if (ca.size() != cb.size()) return "constraint count differs";
    for (std::size_t i = 0; i < ca.size(); ++i) {
        const auto* ba = dynamic_cast<const scene::BillboardConstraint*>(ca[i].get());
        const auto* bb = dynamic_cast<const scene::BillboardConstraint*>(cb[i].get());
        if ((ba == nullptr) != (bb == nullptr)) return "constraint kind differs";
        if (ba != nullptr && ba->freeAxes() != bb->freeAxes()) return "billboard axes differ";
    }
    if (a.childNodes().size() != b.childNodes().size())
        return "child count " + std::to_string(a.childNodes().size()) + " against " +
               std::to_string(b.childNodes().size());
    return "";
}
}  // namespace

std::string firstDifference(const scene::Node& a, const scene::Node& b) {
    struct Pair {
        const scene::Node* a;
        const scene::Node* b;
        std::string path;
    };
    std::vector<Pair> stack{{&a, &b, "root"}};
    while (!stack.empty()) {
        Pair pair = stack.back();
        stack.pop_back();
        auto difference = compareOne(*pair.a, *pair.b);
        if (!difference.empty()) return pair.path + ": " + difference;
        const auto& ca = pair.a->childNodes();
        const auto& cb = pair.b->childNodes();
        for (std::size_t i = ca.size(); i-- > 0;)
            stack.push_back({ca[i].get(), cb[i].get(), pair.path + "/" + std::to_string(i)});
    }
    return "";
}

std::vector<std::uint8_t> readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

namespace {
std::uint32_t read32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    if (at + 4 > bytes.size()) throw std::runtime_error("GLB cut off");
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

void append32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    for (int k = 0; k < 4; ++k) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * k)));
}
}  // namespace

Glb splitGlb(const std::vector<std::uint8_t>& bytes) {
    Glb glb;
    std::uint32_t jsonLength = read32(bytes, 12);
    if (20 + std::size_t{jsonLength} > bytes.size()) throw std::runtime_error("GLB JSON cut off");
    glb.json = nlohmann::json::parse(bytes.begin() + 20, bytes.begin() + 20 + jsonLength);
    std::size_t at = 20 + jsonLength;
    if (at < bytes.size()) {
        std::uint32_t binLength = read32(bytes, at);
        if (at + 8 + binLength > bytes.size()) throw std::runtime_error("GLB binary chunk cut off");
        glb.bin.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at + 8),
                       bytes.begin() + static_cast<std::ptrdiff_t>(at + 8 + binLength));
    }
    return glb;
}

std::vector<std::uint8_t> joinGlb(const Glb& glb) {
    std::string text = glb.json.dump();
    while (text.size() % 4 != 0) text.push_back(' ');
    std::vector<std::uint8_t> bin = glb.bin;
    while (bin.size() % 4 != 0) bin.push_back(0);
    std::vector<std::uint8_t> out{'g', 'l', 'T', 'F'};
    append32(out, 2);
    append32(out,
             static_cast<std::uint32_t>(12 + 8 + text.size() + (bin.empty() ? 0 : 8 + bin.size())));
    append32(out, static_cast<std::uint32_t>(text.size()));
    append32(out, 0x4E4F534A);
    out.insert(out.end(), text.begin(), text.end());
    if (!bin.empty()) {
        append32(out, static_cast<std::uint32_t>(bin.size()));
        append32(out, 0x004E4942);
        out.insert(out.end(), bin.begin(), bin.end());
    }
    return out;
}

std::vector<std::uint8_t> bufferViewBytes(const Glb& glb, std::size_t index) {
    const auto& view = glb.json.at("bufferViews").at(index);
    std::size_t offset = view.value("byteOffset", std::size_t{0});
    std::size_t length = view.at("byteLength").get<std::size_t>();
    if (offset + length > glb.bin.size())
        throw std::runtime_error("buffer view beyond the binary chunk");
    return {glb.bin.begin() + static_cast<std::ptrdiff_t>(offset),
            glb.bin.begin() + static_cast<std::ptrdiff_t>(offset + length)};
}

std::vector<std::uint8_t> encode(const scene::Scene& scene) {
    auto encoded = scene::gltf::encodeScene(scene);
    if (!encoded.ok()) throw std::runtime_error(encoded.error());
    return encoded.value().bytes();
}

int temporaryFilesBeside(const std::filesystem::path& file) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(file.parent_path()))
        count += platform::isTemporaryFileFor(file, entry.path()) ? 1 : 0;
    return count;
}

}  // namespace scenefiles
