// A drawing as the program makes it: the view controller on a phone-sized
// scene view whose world tracking runs, placing sprites at the usual
// distance. The benchmarks deliver the frames they need.
#pragma once

#include <memory>

#include "controller/ViewController.h"
#include "platform/ar/Session.h"

inline std::shared_ptr<scrawlet::ViewController> phoneDrawing() {
    auto controller = std::make_shared<scrawlet::ViewController>(ui::Coder{});
    auto view = std::make_shared<ui::SceneView>();
    view->setFrame({{0, 0}, {390, 844}});
    view->setScene(std::make_shared<scene::Scene>());
    controller->setSceneView(view);
    controller->distance = 1.234f;
    view->session().run(std::make_shared<ar::WorldTrackingConfiguration>(), ar::RunOptions::none);
    return controller;
}
