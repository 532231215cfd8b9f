// The page bridge: automation objects over a Qt WebEngine page. Every by-name call is one
// synchronous call into the page, run in an isolated script world that the page's own
// scripts can neither see nor change.
#pragma once

#include <QObject>
#include <QWebEnginePage>
#include <QPointer>
#include <memory>
#include <optional>

#include "window_api.h"

namespace quillo::qt {

class PageBridge {
 public:
  explicit PageBridge(QWebEnginePage* page);
  ~PageBridge();
  PageBridge(const PageBridge&) = delete;
  PageBridge& operator=(const PageBridge&) = delete;

  // Answers the document request: an LRESULT that ObjectFromLresult turns into the
  // document object of the page shown now, or std::nullopt when the page does not answer
  // within timeoutMs (at once when it is known to be hung and abortIfHung is set).
  std::optional<LRESULT> DocumentRequest(unsigned timeoutMs, bool abortIfHung);

 private:
  QPointer<QWebEnginePage> page_;
};

}  // namespace quillo::qt
