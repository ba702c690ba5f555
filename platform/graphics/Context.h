// What one application's drawing works with: its back end, its main
// screen's scale, the image contexts begun and not yet ended, the bitmaps
// its images share and the named images read. The application's
// environment owns one; the functions of this level reach the one in force
// on the calling thread (ContextScope), since they cannot ask `ui`.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Current.h"
#include "platform/graphics/ImageContext.h"

namespace graphics {

// Bitmaps that images made from image contexts show, by content, without
// keeping them alive. Every touch sample of a stroke draws the same emoji;
// its images share one bitmap, so a drawing of ten thousand sprites does not
// hold ten thousand copies of the same pixels.
class SharedBitmaps {
public:
    std::shared_ptr<const Bitmap> share(std::shared_ptr<const Bitmap> bitmap);

private:
    void sweep();

    std::unordered_multimap<std::uint64_t, std::weak_ptr<const Bitmap>> table_;
    std::size_t liveAfterSweep_ = 0;
};

struct Context {
    std::shared_ptr<Backend> backend;
    // Pixels per point of the main screen; what an image context's scale 0
    // stands for.
    double screenScale = 1.0;
    // Contexts in the order they were begun; the last is current. A context
    // that could not be made is kept as none so that begin and end still
    // pair up.
    std::vector<std::unique_ptr<ImageContext>> imageContexts;
    SharedBitmaps sharedBitmaps;
    // Named images by name and scale: one decode each for the context's life.
    std::map<std::string, std::shared_ptr<const Image>> namedImages;
};

// Puts a context in force on this thread while it lives.
using ContextScope = platform::Current<Context>;

// The context in force on this thread; a broken precondition without one.
Context& currentContext();

}  // namespace graphics
