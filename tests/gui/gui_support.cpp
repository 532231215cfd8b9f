#include "gui_support.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <QWebEnginePage>
#include <memory>

namespace quillo::testing {

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
  QDeadlineTimer deadline(timeoutMs);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QEventLoop loop;
    QTimer::singleShot(10, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

QVariant Evaluate(QWebEngineView& view, const QString& script, int timeoutMs) {
  auto result = std::make_shared<std::optional<QVariant>>();
  view.page()->runJavaScript(script, [result](const QVariant& value) { *result = value; });
  WaitUntil([&] { return result->has_value(); }, timeoutMs);
  return result->value_or(QVariant());
}

}  // namespace quillo::testing
