// What the application registers with the platform before the loop entry:
// its main interface (which makes the root controller and connects the scene
// view) and its part of the state dump that hosts report.
#pragma once

namespace scrawlet {

void registerMainInterface();
void registerStateDump();

}  // namespace scrawlet
