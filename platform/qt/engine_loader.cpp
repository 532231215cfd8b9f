#include "engine_loader.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLibrary>
#include <QOpenGLContext>
#include <QTimer>
#include <utility>

// QtGui's, outside its public headers: the context the engine's contexts share.
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext* context);

namespace quillo::qt {
namespace {

// The engine starts as few renderer processes as it can: the pages of one profile share
// one, and pages of different profiles never do. Read once, when the engine starts.
void LimitRenderers() {
  QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
  if (flags.contains("--renderer-process-limit")) return;
  flags += (flags.isEmpty() ? "" : " ") + QByteArray("--renderer-process-limit=1");
  qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
}

// The shared context the engine asks for when the toolkit was started without one (drawing
// in software, where it is never made current).
std::unique_ptr<QOpenGLContext>& ShareContext() {
  static std::unique_ptr<QOpenGLContext> context;
  return context;
}

// The engine reads the format of the context its contexts share, which the toolkit makes at
// its start only when drawing through GL. In software the engine gets one here, before it
// loads; it is never made current, and it goes when the toolkit ends, after the engine.
void ShareContextForEngine() {
  if (QOpenGLContext::globalShareContext() != nullptr) return;
  ShareContext() = std::make_unique<QOpenGLContext>();
  ShareContext()->create();  // fails at once without GL, which the engine copes with
  qt_gl_set_global_share_context(ShareContext().get());
  qAddPostRoutine([] {
    qt_gl_set_global_share_context(nullptr);
    ShareContext().reset();
  });
}

// Runs its start once the window has painted itself for the first time.
class FirstPaintWatcher : public QObject {
 public:
  FirstPaintWatcher(std::function<void()> start, QObject* parent)
      : QObject(parent), start_(std::move(start)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !started_) {
      started_ = true;
      QTimer::singleShot(0, this, [this] { start_(); });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> start_;
  bool started_ = false;
};

}  // namespace

void AfterFirstPaint(QWidget* window, std::function<void()> start) {
  window->installEventFilter(new FirstPaintWatcher(std::move(start), window));
}

std::unique_ptr<BrowserEngine> LoadEngine() {
  LimitRenderers();
  ShareContextForEngine();
  QLibrary module(QCoreApplication::applicationDirPath() +
                  QStringLiteral("/../lib/quillo/quillo_engine"));
  auto make = reinterpret_cast<MakeBrowserEngine>(module.resolve(kMakeBrowserEngine));
  if (make == nullptr) {
    qWarning("The browser engine is missing: %s", qPrintable(module.errorString()));
    return nullptr;
  }
  return make();
}

}  // namespace quillo::qt
