// Helpers for tests of the realised window: reading a page through its own scripts, and
// finding the widgets the runtime built.
#pragma once

#include <QVariant>
#include <QWebEngineView>
#include <string_view>

#include "gui_runtime_qt.h"

namespace quillo::testing {

// Runs script in the page of view and waits for its value (invalid on time-out).
QVariant Evaluate(QWebEngineView& view, const QString& script, int timeoutMs = 5000);

// The named control of the loaded window as a W, or nullptr.
template <class W>
W* Control(std::string_view name) {
  return qobject_cast<W*>(qt::ControlWidget(name));
}

}  // namespace quillo::testing
