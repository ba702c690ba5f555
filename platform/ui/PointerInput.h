// Pointers as a phone's user would have them: a mouse, fingers on a touch
// screen or the browser's pointer events become the application's touches,
// or presses on the presented screen's targets (chosen when released over
// the target pressed). The keyboard moves through those targets too. The
// one path every host with a pointer or keys takes.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/ui/Application.h"
#include "platform/ui/Frame.h"

namespace ui {

class PointerInput {
public:
    using PointerId = std::int64_t;
    // When the input happened, on the host's own clock: only the time
    // between a pointer's events counts.
    using InputTime = std::chrono::duration<double, std::milli>;
    // A stroke takes one sample for each display refresh of the finger's
    // own movement, whatever the rate of drawn frames or of the device's
    // events: a slow frame does not thin it into dots, and a mouse that
    // reports a thousand times a second does not pile its samples up.
    static constexpr InputTime sampleInterval{1000.0 / 60};

    explicit PointerInput(Application& application) : application_(application) {}

    void down(PointerId id, graphics::Point point, InputTime time);
    // Kept until `deliverMoves`: the latest position in each sample
    // interval since the pointer went down (the interval of the down
    // itself, and of samples already delivered, take no more).
    void move(PointerId id, graphics::Point point, InputTime time);
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

    // Sends the samples kept since the last call, oldest first, one
    // movement of the touches for each; true when there were any.
    bool deliverMoves();
    // The frame as it is now, with the user's hold on the top screen.
    FrameDescription describe();

    bool touching() const { return !touches_.empty(); }

private:
    struct Sample {
        long long interval;
        graphics::Point point;
    };
    struct Held {
        PointerId id;
        std::shared_ptr<Touch> touch;
        InputTime start{};
        // The newest interval with a sample, kept or delivered.
        long long lastInterval = 0;
        std::vector<Sample> kept;
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
