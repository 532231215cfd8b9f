// The process's switches for the toolkit and the engine, set before the toolkit starts.
#pragma once

namespace quillo::qt {

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
