// Real pages in the real browser engine, for the engine tests and benchmarks.
#pragma once

#include <signal.h>

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QWebEnginePage>
#include <memory>
#include <string_view>

#include "browser_box.h"
#include "process_switches.h"
#include "web_page_operator.h"

namespace quillo::testing {

inline constexpr char kNumber[] = "+8613800138000";

// What one press of the call button achieved: bind, fill "phone-number", click "ext-gen69".
struct Pressed {
  bool bound = false, filled = false, clicked = false;
  bool works() const { return bound && filled && clicked; }
};

// Prepares the process for Qt WebEngine and makes the application object, before anything else.
inline std::unique_ptr<QApplication> MakeEngineApplication(int& argc, char** argv) {
  qt::AllowEngineAsRoot();
  qt::AvoidSessionBusAutolaunch();
  setenv("QT_QPA_PLATFORM", "offscreen", 0);  // no display needed, unless one is asked for
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  return std::make_unique<QApplication>(argc, argv);
}

// A shown browser box, its timers running; its pages load from HTML as https://calling.test/.
class EnginePage {
 public:
  EnginePage() : window_(std::make_unique<QWidget>()) {
    window_->resize(400, 300);
    box_ = new qt::BrowserBox(QUrl(QStringLiteral("about:blank")), window_.get());
    box_->setGeometry(0, 0, 400, 300);
    window_->show();
  }
  bool Load(const QString& html) {
    QSignalSpy finished(box_, &QWebEngineView::loadFinished);
    box_->setHtml(html, QUrl(QStringLiteral("https://calling.test/")));
    return finished.wait(10000) && finished.first().first().toBool();
  }
  // A page whose body holds these elements; it counts each data-indexed element's clicks, and
  // records its events: edits where they bubble to, keys and focus where they start.
  bool LoadBody(const QString& body) {
    return Load(
        QStringLiteral("<!doctype html><meta charset=\"utf-8\"><script>clicks = {}; events = {};"
                       "for (const type of ['click', 'input', 'change', 'keydown', 'keypress',"
                       "    'keyup', 'beforeinput', 'focus', 'blur', 'focusin', 'focusout']) {"
                       "  document.addEventListener(type, (e) => {"
                       "    const i = e.target.dataset && e.target.dataset.index;"
                       "    if (i === undefined) return;"
                       "    if (type === 'click') clicks[i] = (clicks[i] || 0) + 1;"
                       "    else (events[i] = events[i] || []).push(e.type + '=' + e.target.value);"
                       "  }, !['input', 'change'].includes(type));"
                       "}</script><body>") +
        body);
  }
  // The page with the call button's two elements, its clicks counted, and script of its own.
  static QString CallingPage(const QString& script = {}) {
    return QStringLiteral(
               "<!doctype html><meta charset=\"utf-8\"><input type=\"text\" id=\"phone-number\">"
               "<input type=\"button\" id=\"ext-gen69\"><script>window.clicks = 0;"
               "document.getElementById('ext-gen69').addEventListener('click', () => clicks++);") +
           script + QStringLiteral("</script>");
  }
  // Runs script in a script world (the page's own by default) and waits for its value.
  QVariant Evaluate(const QString& script, quint32 world = 0) {
    auto result = std::make_shared<std::optional<QVariant>>();
    box_->page()->runJavaScript(script, world, [result](const QVariant& v) { *result = v; });
    return QTest::qWaitFor([&] { return result->has_value(); }, 5000) ? **result : QVariant();
  }
  Pressed Press(WebPageOperator& op, std::string_view number = kNumber) {
    return {op.Bind(box_->registryHandle()), op.FillTextBox("phone-number", number, 0),
            op.ClickButton("ext-gen69", 0)};
  }
  Pressed Press(WebPageOperator&& op = {}) { return Press(op); }  // with an operator of its own
  // Script that keeps the page's own thread busy for ms from now (a negative ms: for ever).
  static QString BusyScript(int ms) {
    return QStringLiteral(
               "setTimeout(() => { const end = Date.now() + %1; while (Date.now() < end) {} }, 0);")
        .arg(ms < 0 ? QStringLiteral("Infinity") : QString::number(ms));
  }
  void KillRenderer() {  // as a crash would; never pid 0, the whole process group
    if (const qint64 pid = box_->page()->renderProcessPid(); pid > 0)
      kill(static_cast<pid_t>(pid), SIGKILL);
  }
  qt::BrowserBox& box() { return *box_; }

 private:
  std::unique_ptr<QWidget> window_;
  qt::BrowserBox* box_ = nullptr;  // owned by window_
};

// One page for a whole benchmark, made on first use; released before the application goes.
inline std::unique_ptr<EnginePage> sharedPage;
inline EnginePage& SharedPage() {
  if (!sharedPage) sharedPage = std::make_unique<EnginePage>();
  return *sharedPage;
}
inline void ReleaseSharedPage() { sharedPage.reset(); }

}  // namespace quillo::testing
