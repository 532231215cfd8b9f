// What the Qt GUI runtime offers beyond the toolkit-free services: the widgets it built and
// the address rule, for tests and the program's start-up.
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

// Turns Qt WebEngine's sandbox off for this process when it runs as root, where the engine
// refuses to start with it; does nothing otherwise. Must run before the toolkit starts.
void AllowEngineAsRoot();

// Keeps the toolkit from trying to start a session bus where none can be started: the
// attempt can leave the GUI thread waiting for good. Must run before the toolkit starts.
void AvoidSessionBusAutolaunch();

// Has the window and the browser boxes draw in software, without GL, unless the user chose
// a Qt Quick backend. Must run before the toolkit starts.
void DrawInSoftware();
// Whether they do: then the window needs no GL surface and no shared GL contexts.
bool DrawsInSoftware();

// All of the above, as the program starts: the engine's sandbox, the session bus, software
// drawing, and shared GL contexts where a GL backend was chosen. Must run before the
// toolkit starts.
void PrepareToolkit();

}  // namespace quillo::qt
