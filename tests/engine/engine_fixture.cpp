#include "engine_fixture.h"

#include <signal.h>
#include <unistd.h>

#include <QSignalSpy>
#include <QWebEnginePage>
#include <cstdlib>

#include "process_switches.h"

namespace quillo::testing {

std::unique_ptr<QApplication> MakeEngineApplication(int& argc, char** argv) {
  qt::AllowEngineAsRoot();
  qt::AvoidSessionBusAutolaunch();
  setenv("QT_QPA_PLATFORM", "offscreen", 0);  // no display needed, unless one is asked for
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  return std::make_unique<QApplication>(argc, argv);
}

EnginePage::EnginePage() : window_(std::make_unique<QWidget>()) {
  window_->resize(400, 300);
  box_ = new qt::BrowserBox(QUrl(QStringLiteral("about:blank")), window_.get());
  box_->setGeometry(0, 0, 400, 300);
  window_->show();
}

EnginePage::~EnginePage() = default;

bool EnginePage::Load(const QString& html, int timeoutMs) {
  QSignalSpy finished(box_, &QWebEngineView::loadFinished);
  box_->setHtml(html, QUrl(QStringLiteral("https://calling.test/")));
  return finished.wait(timeoutMs) && finished.first().first().toBool();
}

bool EnginePage::LoadBody(const QString& body) {
  return Load(
      QStringLiteral("<!doctype html><html><head><meta charset=\"utf-8\"><script>"
                     "window.clicks = {};"
                     "document.addEventListener('click', (e) => {"
                     "  const i = e.target.dataset && e.target.dataset.index;"
                     "  if (i !== undefined) clicks[i] = (clicks[i] || 0) + 1;"
                     "}, true);"
                     // What each element hears: the edits where they bubble to, keys and focus
                     // where they start.
                     "window.events = {};"
                     "for (const type of ['input', 'change', 'keydown', 'keypress', 'keyup',"
                     "    'beforeinput', 'focus', 'blur', 'focusin', 'focusout']) {"
                     "  document.addEventListener(type, (e) => {"
                     "    const i = e.target.dataset && e.target.dataset.index;"
                     "    if (i !== undefined) (events[i] = events[i] || []).push("
                     "        e.type + '=' + e.target.value);"
                     "  }, !['input', 'change'].includes(type));"
                     "}"
                     "</script></head><body>") +
      body + QStringLiteral("</body></html>"));
}

QVariant EnginePage::Evaluate(const QString& script, quint32 world, int timeoutMs) {
  auto result = std::make_shared<std::optional<QVariant>>();
  box_->page()->runJavaScript(script, world, [result](const QVariant& value) { *result = value; });
  if (!QTest::qWaitFor([&] { return result->has_value(); }, timeoutMs)) return QVariant();
  return **result;
}

Pressed EnginePage::Press(WebPageOperator& op, std::string_view number) {
  Pressed press;
  press.bound = op.Bind(box_->registryHandle());
  press.filled = op.FillTextBox("phone-number", number, 0);
  press.clicked = op.ClickButton("ext-gen69", 0);
  return press;
}

Pressed EnginePage::Press() {
  WebPageOperator op;
  return Press(op);
}

QString EnginePage::BusyScript(int ms) {
  return QStringLiteral(
             "setTimeout(() => { const end = Date.now() + %1; "
             "while (Date.now() < end) {} }, 0);")
      .arg(ms < 0 ? QStringLiteral("Infinity") : QString::number(ms));
}

void EnginePage::KeepBusy(int ms) { Evaluate(BusyScript(ms) + QStringLiteral(" 1")); }

void EnginePage::KillRenderer() {
  // Never pid 0: that would be the whole process group.
  if (const qint64 pid = box_->page()->renderProcessPid(); pid > 0) {
    kill(static_cast<pid_t>(pid), SIGKILL);
  }
}

int IndexOf(const AutomationObject& element) {
  if (element.IsEmpty()) return -1;
  const Text index = element.GetObject("dataset").GetText("index");
  return index.empty() ? -2 : static_cast<int>(TextToNumber(index));
}

namespace {

std::unique_ptr<EnginePage>& SharedPageHolder() {
  static std::unique_ptr<EnginePage> page;
  return page;
}

}  // namespace

EnginePage& SharedPage() {
  if (!SharedPageHolder()) SharedPageHolder() = std::make_unique<EnginePage>();
  return *SharedPageHolder();
}

void ReleaseSharedPage() { SharedPageHolder().reset(); }

}  // namespace quillo::testing
