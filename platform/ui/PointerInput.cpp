#include "platform/ui/PointerInput.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/ui/PresentedResponse.h"

namespace ui {

PointerInput::Held* PointerInput::find(PointerId id) {
    auto it = std::find_if(touches_.begin(), touches_.end(),
                           [&](const Held& held) { return held.id == id; });
    return it == touches_.end() ? nullptr : &*it;
}

FrameDescription PointerInput::describe() {
    auto top = topPresented(application_);
    if (top != interactingWith_.lock()) {
        interaction_ = {};
        pressing_.reset();
        interactingWith_ = top;
    }
    return frames_.describe(application_, interaction_);
}

void PointerInput::down(PointerId id, graphics::Point point, InputTime time) {
    if (topPresented(application_)) {
        // One pointer at a time holds a target, as one finger taps a button.
        if (pressing_) return;
        auto frame = describe();
        if (const auto* layout = frame.topLayout()) {
            interaction_.pressedTarget = layout->targetIndexAt(point);
            if (interaction_.pressedTarget) pressing_ = id;
        }
        return;
    }
    if (find(id)) return;
    auto touch = std::make_shared<Touch>(point);
    touches_.push_back({id, touch, std::isfinite(time.count()) ? time : InputTime{}, 0, {}});
    application_.sendTouchesBegan({touch});
}

void PointerInput::move(PointerId id, graphics::Point point, InputTime time) {
    Held* held = find(id);
    if (held == nullptr) return;
    // A time that is not a number, or that goes back, belongs to the
    // newest interval.
    double since = std::floor((time - held->start) / sampleInterval);
    long long interval = std::isfinite(since) && since > static_cast<double>(held->lastInterval)
                             ? static_cast<long long>(since)
                             : held->lastInterval;
    if (interval > held->lastInterval) {
        held->kept.push_back({interval, point});
        held->lastInterval = interval;
    } else if (!held->kept.empty() && held->kept.back().interval == interval) {
        held->kept.back().point = point;
    }
}

bool PointerInput::deliverMoves() {
    bool any = false;
    // Round by round: each touch's oldest kept sample, then the next.
    for (std::size_t round = 0;; ++round) {
        TouchSet moved;
        for (auto& held : touches_) {
            if (round >= held.kept.size()) continue;
            held.touch->setLocation(held.kept[round].point);
            held.touch->setPhase(TouchPhase::moved);
            moved.push_back(held.touch);
        }
        if (moved.empty()) break;
        any = true;
        // The touches sent may end (a screen presented over the drawing):
        // what they kept goes with them.
        application_.sendTouchesMoved(moved);
    }
    for (auto& held : touches_) held.kept.clear();
    return any;
}

void PointerInput::end(Held held, bool cancelled) {
    held.touch->setPhase(cancelled ? TouchPhase::cancelled : TouchPhase::ended);
    if (cancelled)
        application_.sendTouchesCancelled({held.touch});
    else
        application_.sendTouchesEnded({held.touch});
}

void PointerInput::up(PointerId id, graphics::Point point) {
    if (Held* held = find(id)) {
        // The last move is not lost because the finger lifted before the
        // frame that would have delivered it: the lift's position is the
        // latest of the newest interval.
        if (!held->kept.empty())
            held->kept.back().point = point;
        else if (held->touch->locationInView(nullptr) != point)
            held->kept.push_back({held->lastInterval, point});
        deliverMoves();
        Held ended = *find(id);
        std::erase_if(touches_, [&](const Held& h) { return h.id == id; });
        end(std::move(ended), false);
        return;
    }
    if (pressing_ != id) return;
    // A target is chosen when released over the one pressed.
    auto pressed = interaction_.pressedTarget;
    interaction_.pressedTarget.reset();
    pressing_.reset();
    if (!pressed) return;
    auto frame = describe();
    const auto* layout = frame.topLayout();
    if (layout == nullptr || layout->targetIndexAt(point) != pressed) return;
    if (auto problem = respondToTarget(application_, *layout, *pressed))
        showProblem(application_, *problem);
}

void PointerInput::cancelAll() {
    interaction_.pressedTarget.reset();
    pressing_.reset();
    auto cancelled = std::move(touches_);
    touches_.clear();
    for (auto& held : cancelled) end(std::move(held), true);
}

bool PointerInput::moveFocus(int step) {
    auto frame = describe();
    const auto* layout = frame.topLayout();
    if (layout == nullptr || pressing_) return false;
    // Every target but the whole screen beside a sheet, in reading order.
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < layout->targets.size(); ++i)
        if (layout->targets[i].role != PresentedTargetRole::outside) order.push_back(i);
    if (order.empty()) return false;
    auto at = std::find(order.begin(), order.end(), interaction_.pressedTarget.value_or(SIZE_MAX));
    long long position = at == order.end() ? (step > 0 ? -1 : 0) : at - order.begin();
    long long count = static_cast<long long>(order.size());
    position = ((position + step) % count + count) % count;
    interaction_.pressedTarget = order[static_cast<std::size_t>(position)];
    return true;
}

bool PointerInput::chooseFocused() {
    if (!pressing_ && interaction_.pressedTarget) {
        auto frame = describe();
        auto focused = interaction_.pressedTarget;
        const auto* layout = frame.topLayout();
        interaction_.pressedTarget.reset();
        if (layout != nullptr && *focused < layout->targets.size()) {
            if (auto problem = respondToTarget(application_, *layout, *focused))
                showProblem(application_, *problem);
            return true;
        }
    }
    return performDefaultAction(application_);
}

void PointerInput::scroll(int rows) {
    auto frame = describe();
    const auto* layout = frame.topLayout();
    if (layout == nullptr) return;
    // No further than the last rows showing.
    std::size_t last = layout->pickerRowCount > layout->pickerVisibleRows
                           ? layout->pickerRowCount - layout->pickerVisibleRows
                           : 0;
    long long first = static_cast<long long>(std::min(interaction_.pickerFirstRow, last)) + rows;
    interaction_.pickerFirstRow =
        static_cast<std::size_t>(std::clamp(first, 0LL, static_cast<long long>(last)));
}

}  // namespace ui
