#include "platform/scene/Node.h"

#include <algorithm>
#include <atomic>
#include <unordered_map>

#include "platform/Precondition.h"

namespace scene {

namespace {
std::uint64_t nextNodeId() {
    static std::atomic<std::uint64_t> next{1};
    return next.fetch_add(1);
}
}  // namespace

namespace {
// The observers of each observed node. A node is observed, changed and
// destroyed on the thread that drives its application, so each thread keeps
// its own table: two applications on two threads never share one.
std::unordered_map<const Node*, std::vector<SceneObserver*>>& observerLists() {
    static thread_local std::unordered_map<const Node*, std::vector<SceneObserver*>> lists;
    return lists;
}
}  // namespace

Node::Node(Key) : id_(nextNodeId()) {}

Node::~Node() {
    if ((id_ & observedBit) == 0) return;
    auto& lists = observerLists();
    auto observers = std::move(lists[this]);
    lists.erase(this);
    for (SceneObserver* observer : observers) observer->observedNodeDestroyed(*this);
}

// Observers are found by walking up from the changed node: scenes are
// shallow (a sprite is a child of the root), so a change costs a step or two.
template <class Notify>
void Node::notify(Notify notify) const {
    for (const Node* n = this; n != nullptr; n = n->parent_)
        if ((n->id_ & observedBit) != 0)
            for (SceneObserver* observer : observerLists()[n]) notify(*observer);
}

void Node::changed() {
    notify([this](SceneObserver& observer) { observer.nodeChanged(*this); });
}

void Node::addObserver(SceneObserver& observer) const {
    observerLists()[this].push_back(&observer);
    id_ |= observedBit;
}

void Node::removeObserver(SceneObserver& observer) const {
    if ((id_ & observedBit) == 0) return;
    auto& lists = observerLists();
    auto& list = lists[this];
    std::erase(list, &observer);
    if (list.empty()) {
        lists.erase(this);
        id_ &= ~observedBit;
    }
}

void Node::setPosition(Vector3 position) {
    position_ = position;
    changed();
}

void Node::setRotation(Vector4 rotation) {
    rotation_ = rotation;
    changed();
}

void Node::setOpacity(float opacity) {
    opacity_ = opacity;
    changed();
}

void Node::setGeometry(std::shared_ptr<Geometry> geometry) {
    geometry_ = std::move(geometry);
    changed();
}

const std::vector<std::shared_ptr<Constraint>>& Node::constraints() const {
    static const Constraints none;
    return constraints_ ? *constraints_ : none;
}

void Node::setConstraints(std::vector<std::shared_ptr<Constraint>> constraints) {
    // The list last given out on this thread, kept to share with the next
    // equal one: the sprites of a stroke are placed one after another.
    static thread_local std::weak_ptr<const Constraints> last;
    if (constraints.empty()) {
        constraints_.reset();
    } else if (auto known = last.lock(); known && *known == constraints) {
        constraints_ = std::move(known);
    } else {
        constraints_ = std::make_shared<const Constraints>(std::move(constraints));
        last = constraints_;
    }
    changed();
}

std::shared_ptr<Node> Node::make() { return std::make_shared<Node>(Key{}); }

std::shared_ptr<Node> Node::nodeWithGeometry(std::shared_ptr<Geometry> geometry) {
    auto node = make();
    node->setGeometry(std::move(geometry));
    return node;
}

bool Node::hasBillboardConstraint() const { return billboardConstraint() != nullptr; }

const BillboardConstraint* Node::billboardConstraint() const {
    for (const auto& constraint : constraints())
        if (auto* billboard = dynamic_cast<const BillboardConstraint*>(constraint.get()))
            return billboard;
    return nullptr;
}

bool Node::isAncestorOf(const Node& node) const {
    for (const Node* p = node.parent_; p != nullptr; p = p->parent_)
        if (p == this) return true;
    return false;
}

void Node::addChildNode(std::shared_ptr<Node> child) {
    platform::require(child != nullptr, "addChildNode", "no node given");
    platform::require(child.get() != this && !child->isAncestorOf(*this), "addChildNode",
                      "a node cannot become its own descendant");
    child->removeFromParentNode();
    child->parent_ = this;
    children_.push_back(std::move(child));
    const Node& added = *children_.back();
    added.notify([&added](SceneObserver& observer) { observer.childAdded(added); });
}

void Node::removeFromParentNode() {
    if (parent_ == nullptr) return;
    notify([this](SceneObserver& observer) { observer.childRemoving(*this); });
    // Searched from the end: undo takes away the newest nodes.
    auto& siblings = parent_->children_;
    auto at = std::find_if(siblings.rbegin(), siblings.rend(),
                           [this](const auto& sibling) { return sibling.get() == this; });
    // The parent may hold the last reference; keep this node alive until
    // the removal is done.
    std::shared_ptr<Node> self = std::move(*at);
    siblings.erase(std::next(at).base());
    parent_ = nullptr;
}

Matrix4 Node::transform() const {
    return Matrix4::translation(position_) * Matrix4::rotation(rotation_);
}

Matrix4 Node::worldTransform() const {
    Matrix4 m = transform();
    for (const Node* p = parent_; p != nullptr; p = p->parent_) m = p->transform() * m;
    return m;
}

}  // namespace scene
