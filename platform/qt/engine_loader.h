// The browser engine comes after the window: its module is loaded once the window has
// painted itself for the first time, so the window shows without waiting for it.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "browser_engine.h"

namespace quillo::qt {

// Runs start once, right after the window's first paint.
void AfterFirstPaint(QWidget* window, std::function<void()> start);

// Loads the engine's module, from ../lib/quillo beside the program's folder (in the build
// tree as below the install prefix), and makes the engine; nullptr when the module is
// missing. Sets the engine's switches first: one renderer per profile, and the context its
// contexts share. The module stays loaded for the process's lifetime.
std::unique_ptr<BrowserEngine> LoadEngine();

}  // namespace quillo::qt
