// The state dump of the headless front end: the controller's fields, the
// session, the 3-D scene, the HUD and what is presented, as one JSON object.
// Keys may be added over time; none is ever renamed.
#pragma once

#include <nlohmann/json.hpp>

#include "controller/ViewController.h"
#include "platform/ui/Application.h"

namespace headless {

using Json = nlohmann::ordered_json;

// A single-precision value as the shortest decimal that reads back as the
// same float (1.234f is 1.234, not 1.2339999675750732).
Json floatValue(float value);

Json dumpNode(const scene::Node& node);
Json dumpPresented(ui::ViewController* presented);
Json dumpState(const ui::Application& application, const scrawlet::ViewController& controller);

}  // namespace headless
