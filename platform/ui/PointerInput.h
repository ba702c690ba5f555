// Pointers as a phone's user would have them: a mouse, fingers on a touch
// screen or the browser's pointer events become the application's touches,
// or presses on the presented screen's targets (chosen when released over
// the target pressed). The keyboard moves through those targets too. The
// one path every host with a pointer or keys takes.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/ui/Application.h"
#include "platform/ui/Frame.h"

namespace ui {

class PointerInput {
public:
    using PointerId = std::int64_t;

    explicit PointerInput(Application& application) : application_(application) {}

    void down(PointerId id, graphics::Point point);
    // Kept until `deliverMoves`: a phone delivers touch moves at most once
    // per displayed frame, each finger at its latest position.
    void move(PointerId id, graphics::Point point);
    void up(PointerId id, graphics::Point point);
    // The pointers are gone (the window lost them): touches are cancelled
    // and a held target is let go.
    void cancelAll();
    // Scrolls the photo picker by `rows`, down for positive.
    void scroll(int rows);
    // The arrow keys: the next (or, with -1, the previous) target of the
    // presented screen is marked. False when nothing is presented.
    bool moveFocus(int step);
    // Enter: the marked target is chosen, or else the default action.
    // False when neither was there.
    bool chooseFocused();

    // Sends the moves kept since the last call; true when there were any.
    bool deliverMoves();
    // The frame as it is now, with the user's hold on the top screen.
    FrameDescription describe();

    bool touching() const { return !touches_.empty(); }

private:
    struct Held {
        PointerId id;
        std::shared_ptr<Touch> touch;
        bool moved = false;
    };
    Held* find(PointerId id);
    void end(Held held, bool cancelled);

    Application& application_;
    FrameBuilder frames_;
    PresentedInteraction interaction_;
    // The screen the interaction is with: it starts afresh for another.
    std::weak_ptr<ViewController> interactingWith_;
    // The pointer that holds a target down.
    std::optional<PointerId> pressing_;
    // Pointers that are touches, in the order they went down.
    std::vector<Held> touches_;
};

}  // namespace ui
