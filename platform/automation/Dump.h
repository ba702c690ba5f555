// The state dump every host can give, as one JSON object: the platform's
// part (the session, the 3-D scene, the overlay's nodes, what is presented),
// and the application's part, which the application registers at launch.
// Keys may be added over time; none is ever renamed.
#pragma once

#include <nlohmann/json.hpp>

#include "platform/overlay/Node.h"
#include "platform/scene/Node.h"
#include "platform/ui/Application.h"

namespace automation {

using Json = nlohmann::ordered_json;

// A single-precision value as the shortest decimal that reads back as the
// same float (1.234f is 1.234, not 1.2339999675750732).
Json floatValue(float value);

Json dumpNode(const scene::Node& node);
// The session of the scene view: whether it runs, how often it ran and
// paused, its configuration, and the current frame's camera and projection.
Json dumpSession(const ui::SceneView& view);
// One overlay node; `field` names the application's field that holds it.
Json dumpOverlayNode(const overlay::Node& node, const char* field);
// The framework screen presented over the root, or null.
Json dumpPresented(const ui::Application& application);

// The whole state. The application's dump, when it registered one, decides
// what goes in and in which order, calling the functions above for the
// platform's parts; without one, the platform's parts alone.
using StateDump = Json (*)(const ui::Application& application);
void registerStateDump(StateDump dump);
Json dumpState(const ui::Application& application);

}  // namespace automation
