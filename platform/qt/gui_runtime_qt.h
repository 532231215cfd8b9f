// What the Qt GUI runtime offers beyond the toolkit-free services: the widgets it built, the
// address rule and the font, for the runtime's own parts and for the window's tests.
#pragma once

#include <QFont>
#include <QString>
#include <QUrl>
#include <QWidget>
#include <string_view>

namespace quillo::qt {

// The loaded window, or nullptr.
QWidget* LoadedWindow();

// True once the browser boxes of the loaded window stand in it: they start right after the
// window's first paint, and plain stand-ins hold their places until then.
bool BrowserBoxesStarted();

// The widget of the named control of the loaded window, or nullptr.
QWidget* ControlWidget(std::string_view name);

// The folder of the built-in pages: <program dir>/../share/quillo/pages, the same in the
// build tree and below the install prefix.
QString PagesFolder();

// A table address as a URL: used as it is when it holds "://", otherwise a built-in page
// below PagesFolder(), with its "?query" kept.
QUrl ResolveAddress(std::string_view address);

// The GUI font: a CJK font at a pixel size at which every caption fits its control.
QFont GuiFont();

}  // namespace quillo::qt
