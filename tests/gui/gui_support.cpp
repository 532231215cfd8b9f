#include "gui_support.h"

#include <QTest>
#include <QWebEnginePage>
#include <memory>
#include <optional>

namespace quillo::testing {

QVariant Evaluate(QWebEngineView& view, const QString& script, int timeoutMs) {
  auto result = std::make_shared<std::optional<QVariant>>();
  view.page()->runJavaScript(script, [result](const QVariant& value) { *result = value; });
  if (!QTest::qWaitFor([&] { return result->has_value(); }, timeoutMs)) return QVariant();
  return **result;
}

}  // namespace quillo::testing
