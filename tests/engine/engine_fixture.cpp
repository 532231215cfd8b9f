#include "engine_fixture.h"

#include <signal.h>
#include <unistd.h>

#include <QEventLoop>
#include <QTimer>
#include <QWebEnginePage>
#include <cstdlib>

#include "process_switches.h"
#include "web_page_operator.h"

namespace quillo::testing {
bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
  QEventLoop loop;
  QTimer timeout;
  timeout.setSingleShot(true);
  QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
  timeout.start(timeoutMs);
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done()) loop.quit();
  });
  poll.start(1);
  if (!done()) loop.exec();
  return done();
}

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
  bool finished = false;
  bool ok = false;
  const auto connection = QObject::connect(box_, &QWebEngineView::loadFinished, box_,
                                           [&](bool success) {
                                             finished = true;
                                             ok = success;
                                           });
  box_->setHtml(html, QUrl(QStringLiteral("https://calling.test/")));
  WaitUntil([&] { return finished; }, timeoutMs);
  QObject::disconnect(connection);
  return finished && ok;
}

bool EnginePage::LoadBody(const QString& body) {
  return Load(QStringLiteral(
                  "<!doctype html><html><head><meta charset=\"utf-8\"><script>"
                  "window.clicks = {};"
                  "document.addEventListener('click', (e) => {"
                  "  const i = e.target.dataset && e.target.dataset.index;"
                  "  if (i !== undefined) clicks[i] = (clicks[i] || 0) + 1;"
                  "}, true);"
                  "</script></head><body>") +
              body + QStringLiteral("</body></html>"));
}

QVariant EnginePage::Evaluate(const QString& script, quint32 world, int timeoutMs) {
  auto result = std::make_shared<std::optional<QVariant>>();
  box_->page()->runJavaScript(script, world, [result](const QVariant& value) { *result = value; });
  WaitUntil([&] { return result->has_value(); }, timeoutMs);
  return result->value_or(QVariant());
}

bool PressWorks(EnginePage& page) {
  WebPageOperator op;
  const bool bound = op.Bind(page.box().windowHandle());
  const bool filled = op.FillTextBox("phone-number", "+8613800138000", 0);
  return op.ClickButton("ext-gen69", 0) && bound && filled;
}

void KillRenderer(QWebEnginePage* page) {
  // Never pid 0: that would be the whole process group.
  if (const qint64 pid = page->renderProcessPid(); pid > 0) kill(static_cast<pid_t>(pid), SIGKILL);
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
