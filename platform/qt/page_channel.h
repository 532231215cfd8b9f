// The page bridge's channel into a page: one synchronous call at a time, waited for in a
// nested event loop that takes no user input, with the page's hung and crashed states and
// the epoch that looks are measured against. Shared by the bridge, its objects and the
// callbacks of calls in flight, which may outlive both the bridge and the call that started
// them.
#pragma once

#include <QEventLoop>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QWebEnginePage>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "page_wire.h"

namespace quillo::qt {

struct PageChannel : std::enable_shared_from_this<PageChannel> {
  // The script world of the bridge's own calls: any number but 0, the page's own world, and
  // 1, which Qt WebEngine keeps for the application's user scripts.
  static constexpr quint32 kWorld = 0x5149;

  // A channel into page that follows the page itself: a load moves the epoch on and ends the
  // hung and crashed states, a renderer's end makes it crashed and ends the waits.
  static std::shared_ptr<PageChannel> Open(QWebEnginePage* page);

  struct Wait {
    bool done = false;
    QVariant result;
    QEventLoop* loop = nullptr;
  };

  QPointer<QWebEnginePage> page;
  bool hung = false;
  bool dead = false;
  std::vector<std::weak_ptr<Wait>> waiting;
  QString releases;  // ["token",id] entries, comma-separated, still to be sent
  long long roundTrips = 0;
  // Moves on with every write and call of ours and every load, hang and crash: a look taken
  // at another epoch answers nothing.
  unsigned long long epoch = 0;
  QString token;  // of the document last seen
  std::function<void()> onHung;

  // One synchronous call into the page: its answer, or std::nullopt when it did not answer
  // in time. Releases still to be sent go along with it.
  std::optional<QVariant> Run(Request request, unsigned timeoutMs, bool abortIfHung);

  // Runs source in the bridge's world and waits for its value, at most timeoutMs.
  std::optional<QVariant> Evaluate(const QString& source, unsigned timeoutMs);

  void QueueReleases(QStringView entries);
  void QueueRelease(const QString& documentToken, qint64 id);

  // The token of the document shown now.
  std::optional<QString> DocumentToken(unsigned timeoutMs, bool abortIfHung);

  // Ends every wait in progress at once (the renderer is gone).
  void AbortWaits();

  // Asks the page, without waiting, whether it answers; an answer ends its hung state.
  void Probe();
};

}  // namespace quillo::qt
