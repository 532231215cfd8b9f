#include "process_switches.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QFile>

namespace quillo::qt {

void AvoidSessionBusAutolaunch() {
  // Without a session bus address, the toolkit's accessibility bridge has the bus library
  // start dbus-launch and read its answer from a pipe. The engine forks its helpers at the
  // same time; a helper that inherits the pipe keeps it open, and the read, with the GUI
  // thread waiting on it, never ends. Where dbus-launch is not even installed there is no
  // bus to find, so the bus library is told at once. The path is the one the bus library was
  // built to start (Debian's libdbus looks there, not on PATH).
  if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") &&
      !QFile::exists(QStringLiteral("/usr/bin/dbus-launch"))) {
    qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
  }
}

void AllowEngineAsRoot() {
  if (geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

void DrawInSoftware() {
  // Unless the user chose a backend: a GL driver costs tens of MiB in every start (on a
  // machine without a GPU, llvmpipe with a whole compiler), and the three small pages gain
  // nothing from it. The toolkit then loads no GL at all, and the engine composites in
  // software (no GPU work in any of its processes).
  if (qEnvironmentVariableIsSet("QT_QUICK_BACKEND")) return;
  qputenv("QT_QUICK_BACKEND", "software");
  if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION")) qputenv("QT_XCB_GL_INTEGRATION", "none");
}

bool DrawsInSoftware() { return qgetenv("QT_QUICK_BACKEND") == "software"; }

void PrepareToolkit() {
  AllowEngineAsRoot();
  AvoidSessionBusAutolaunch();
  DrawInSoftware();
  if (!DrawsInSoftware()) QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

}  // namespace quillo::qt
