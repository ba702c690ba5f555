#include "platform/scene/gltf/SceneBuilder.h"

#include <cmath>
#include <string>
#include <vector>

#include "platform/scene/gltf/PictureGate.h"

namespace scene::gltf {

using platform::fail;
using platform::Result;

namespace {
// Checks what the records say about one another, orders the scene's nodes,
// has the picture gate let in the pictures and puts the graph together.
class Builder {
public:
    Builder(Document& document, const GlbSource& source, const GlbChunks& chunks,
            const Limits& limits)
        : d_(document),
          chunks_(chunks),
          limits_(limits),
          pictures_(document, source, chunks, limits) {}

    Result<std::shared_ptr<Scene>> build() {
        TRY(checkReferences());
        TRY(checkByteRanges());
        TRY_LET(order, sceneOrder());
        TRY(admitPictures(order));

        // Every node is made and checked before any is attached, so that a
        // refusal never leaves a deep chain behind.
        for (std::uint32_t index : order) TRY(fillNode(index));
        auto scene = std::make_shared<Scene>();
        std::uint32_t root = order.front();
        const Node& fileRoot = *d_.nodes[root];
        Node& sceneRoot = *scene->rootNode();
        sceneRoot.setPosition(fileRoot.position());
        sceneRoot.setRotation(fileRoot.rotation());
        sceneRoot.setOpacity(fileRoot.opacity());
        sceneRoot.setConstraints(fileRoot.constraints());
        sceneRoot.setGeometry(fileRoot.geometry());
        d_.nodes[root] = scene->rootNode();
        for (std::uint32_t index : order) {
            const NodeData& data = d_.nodeData[index];
            for (std::uint32_t k = 0; k < data.childCount; ++k)
                d_.nodes[index]->addChildNode(d_.nodes[d_.children[data.firstChild + k]]);
        }
        return scene;
    }

private:
    Document& d_;
    const GlbChunks& chunks_;
    const Limits& limits_;
    PictureGate pictures_;

    std::size_t countOf(Kind kind) const {
        switch (kind) {
            case Kind::node: return d_.nodes.size();
            case Kind::mesh: return d_.meshes.size();
            case Kind::material: return d_.materials.size();
            case Kind::texture: return d_.textures.size();
            case Kind::image: return d_.images.size();
            case Kind::sampler: return d_.samplers;
            case Kind::accessor: return d_.accessors.size();
            case Kind::bufferView: return d_.bufferViews.size();
            case Kind::buffer: return d_.buffers.size();
            case Kind::scene: return d_.scenes.size();
            case Kind::camera: return d_.cameras;
            case Kind::skin: return d_.skins;
        }
        platform::unreachable("countOf");
    }

    Result<void> outOfRange(const std::string& owner, Kind target, std::size_t index) const {
        return fail(owner + " refers to " + nameOf(target) + " " + std::to_string(index) +
                    ", but the file has " + std::to_string(countOf(target)));
    }

    Result<void> checkReferences() const {
        for (const Reference& r : d_.references)
            if (r.index >= countOf(r.target))
                return outOfRange(describe(nameOf(r.owner), r.ownerIndex), r.target, r.index);
        for (std::size_t i = 0; i < d_.nodeData.size(); ++i) {
            const NodeData& data = d_.nodeData[i];
            if (data.mesh != none && data.mesh >= d_.meshes.size())
                return outOfRange(describe("node", i), Kind::mesh, data.mesh);
            for (std::uint32_t k = 0; k < data.childCount; ++k)
                if (d_.children[data.firstChild + k] >= d_.nodes.size())
                    return outOfRange(describe("node", i), Kind::node,
                                      d_.children[data.firstChild + k]);
        }
        if (d_.defaultScene && *d_.defaultScene >= d_.scenes.size())
            return outOfRange("the file", Kind::scene, *d_.defaultScene);
        return {};
    }

    Result<void> checkByteRanges() const {
        for (std::size_t i = 0; i < d_.buffers.size(); ++i) {
            std::string owner = describe("buffer", i);
            if (!chunks_.binOffset)
                return fail(owner + " lives in the binary chunk, but the file has none");
            if (d_.buffers[i] > chunks_.binLength)
                return fail(owner + " claims " + std::to_string(d_.buffers[i]) +
                            " bytes, but the binary chunk has " +
                            std::to_string(chunks_.binLength));
        }
        for (std::size_t i = 0; i < d_.bufferViews.size(); ++i) {
            const BufferViewData& view = d_.bufferViews[i];
            std::uint64_t available = d_.buffers[view.buffer];
            if (view.byteOffset > available || view.byteLength > available - view.byteOffset)
                return fail(describe("buffer view", i) + " reaches past the end of its buffer");
        }
        for (std::size_t i = 0; i < d_.accessors.size(); ++i) {
            const AccessorData& accessor = d_.accessors[i];
            if (accessor.bufferView == none) continue;
            const BufferViewData& view = d_.bufferViews[accessor.bufferView];
            std::uint64_t stride = view.byteStride != 0 ? view.byteStride : accessor.elementBytes;
            // count and stride are bounded, so this cannot overflow.
            std::uint64_t span = stride * (accessor.count - 1) + accessor.elementBytes;
            if (accessor.byteOffset > view.byteLength ||
                span > view.byteLength - accessor.byteOffset)
                return fail(describe("accessor", i) + " reaches past the end of its buffer view");
        }
        return {};
    }

    // The nodes under the scene's root, parents before children and
    // children in order; refuses a node with two parents, a cycle and a
    // hierarchy deeper than the limit. No recursion: a hostile file may nest
    // as deeply as it likes.
    Result<std::vector<std::uint32_t>> sceneOrder() const {
        std::size_t count = d_.nodes.size();
        std::uint32_t sceneIndex = d_.defaultScene.value_or(0);
        if (sceneIndex >= d_.scenes.size()) return fail("it holds no scene");
        auto [first, roots] = d_.scenes[sceneIndex];
        if (roots != 1) return fail("its scene does not have exactly one root node");
        std::uint32_t root = d_.sceneRoots[first];

        std::vector<std::uint32_t> parent(count, none);
        for (std::size_t i = 0; i < count; ++i) {
            const NodeData& data = d_.nodeData[i];
            for (std::uint32_t k = 0; k < data.childCount; ++k) {
                std::uint32_t c = d_.children[data.firstChild + k];
                if (c == i) return fail(describe("node", i) + " is its own child");
                if (parent[c] == i)
                    return fail(describe("node", c) +
                                " is listed twice among the children of node " + std::to_string(i));
                if (parent[c] != none)
                    return fail(describe("node", c) + " has two parents, nodes " +
                                std::to_string(parent[c]) + " and " + std::to_string(i));
                parent[c] = static_cast<std::uint32_t>(i);
            }
        }
        if (parent[root] != none)
            return fail("the scene's root node is also a child of node " +
                        std::to_string(parent[root]));

        // With one parent at most, a cycle is a chain of parents that comes
        // back to itself.
        enum : std::uint8_t { unseen, onPath, done };
        std::vector<std::uint8_t> state(count, unseen);
        std::vector<std::uint32_t> path;
        for (std::size_t start = 0; start < count; ++start) {
            path.clear();
            std::uint32_t j = static_cast<std::uint32_t>(start);
            while (j != none && state[j] == unseen) {
                state[j] = onPath;
                path.push_back(j);
                j = parent[j];
            }
            if (j != none && state[j] == onPath)
                return fail("its nodes form a cycle (through node " + std::to_string(j) + ")");
            for (std::uint32_t k : path) state[k] = done;
        }

        std::vector<std::uint32_t> order;
        std::vector<std::pair<std::uint32_t, int>> stack{{root, 0}};
        while (!stack.empty()) {
            auto [index, depth] = stack.back();
            stack.pop_back();
            if (depth > limits_.maxNodeDepth)
                return fail("it nests nodes more than " + std::to_string(limits_.maxNodeDepth) +
                            " levels deep");
            order.push_back(index);
            const NodeData& data = d_.nodeData[index];
            for (std::uint32_t k = data.childCount; k-- > 0;)
                stack.emplace_back(d_.children[data.firstChild + k], depth + 1);
        }
        return order;
    }

    // The mesh a node shows, checked to be a plane of a drawing.
    Result<const MeshData*> meshOf(std::uint32_t node) const {
        std::uint32_t m = d_.nodeData[node].mesh;
        if (m == none) return nullptr;
        const MeshData& mesh = d_.meshes[m];
        std::string owner = describe("mesh", m);
        if (!mesh.sized) return fail(owner + " is not a plane of a drawing");
        // As the writer: the quad's corners must be floats.
        if (!std::isfinite(static_cast<float>(mesh.width / 2)) ||
            !std::isfinite(static_cast<float>(mesh.height / 2)))
            return fail(owner + " has a size that is not a number");
        if (mesh.primitives != 1) return fail(owner + " does not have exactly one primitive");
        return &mesh;
    }

    std::uint32_t textureOf(const MeshData& mesh) const {
        return mesh.material == none ? none : d_.materials[mesh.material].texture;
    }

    // The pictures the scene's planes show, and only those, go through the
    // gate.
    Result<void> admitPictures(const std::vector<std::uint32_t>& order) {
        std::vector<bool> used(d_.images.size(), false);
        for (std::uint32_t node : order) {
            TRY_LET(mesh, meshOf(node));
            if (mesh == nullptr) continue;
            std::uint32_t texture = textureOf(*mesh);
            if (texture == none) continue;
            std::uint32_t source = d_.textures[texture].source;
            if (source == none) return fail(describe("texture", texture) + " has no picture");
            used[source] = true;
        }
        return pictures_.admit(used);
    }

    // Each node gets a plane and material of its own, as the app makes them;
    // the pictures, which never change, are shared. A mesh's billboards are
    // the constraints of the nodes that show it.
    Result<void> fillNode(std::uint32_t index) {
        TRY_LET(mesh, meshOf(index));
        if (mesh == nullptr) return {};
        const MeshData& data = *mesh;
        Node& node = *d_.nodes[index];
        auto plane = Plane::planeWithWidth(data.width, data.height);
        if (data.material == none) {
            plane->setMaterials({});
        } else {
            auto material = plane->firstMaterial();
            material->doubleSided = d_.materials[data.material].doubleSided;
            if (std::uint32_t texture = textureOf(data); texture != none)
                material->diffuse.contents = pictures_.pictureOf(texture);
        }
        node.setGeometry(std::move(plane));
        if (!data.billboards.empty()) {
            auto constraints = node.constraints();
            for (int axes : data.billboards) {
                auto billboard = std::make_shared<BillboardConstraint>();
                billboard->setFreeAxes(static_cast<BillboardConstraint::Axes>(axes));
                constraints.push_back(std::move(billboard));
            }
            node.setConstraints(std::move(constraints));
        }
        return {};
    }
};
}  // namespace

Result<std::shared_ptr<Scene>> buildScene(Document& document, const GlbSource& source,
                                          const GlbChunks& chunks, const Limits& limits) {
    return Builder(document, source, chunks, limits).build();
}

}  // namespace scene::gltf
