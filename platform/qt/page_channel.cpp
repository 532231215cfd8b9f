#include "page_channel.h"

#include <QFile>
#include <QTimer>
#include <utility>

namespace quillo::qt {
namespace {

QString BridgeScript() {
  static const QString script = [] {
    QFile file(QStringLiteral(":/quillo/page_bridge.js"));
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll()).trimmed();
  }();
  return script;
}

}  // namespace

std::shared_ptr<PageChannel> PageChannel::Open(QWebEnginePage* page) {
  auto channel = std::make_shared<PageChannel>();
  channel->page = page;
  std::weak_ptr<PageChannel> weak = channel;
  QObject::connect(page, &QWebEnginePage::loadStarted, page, [weak] {
    if (auto self = weak.lock()) ++self->epoch;
  });
  QObject::connect(page, &QWebEnginePage::renderProcessTerminated, page, [weak] {
    if (auto self = weak.lock()) {
      ++self->epoch;
      self->dead = true;
      self->AbortWaits();
    }
  });
  QObject::connect(page, &QWebEnginePage::loadFinished, page, [weak] {
    if (auto self = weak.lock()) {
      ++self->epoch;
      self->dead = false;
      self->hung = false;
    }
  });
  return channel;
}

void PageChannel::Probe() {
  if (page.isNull() || dead) return;
  page->runJavaScript(QStringLiteral("0"), kWorld, [weak = weak_from_this()](const QVariant&) {
    if (auto self = weak.lock()) self->hung = false;
  });
}

std::optional<QVariant> PageChannel::Run(Request request, unsigned timeoutMs, bool abortIfHung) {
  if (page.isNull() || dead || (hung && abortIfHung)) return std::nullopt;
  const QString sent = std::exchange(releases, QString());
  const QString json = std::move(request).Finish(sent);
  // A new document has no bridge yet: the short call answers so, and the bridge is
  // installed with the call, once.
  std::optional<QVariant> answer =
      Evaluate(QStringLiteral("typeof __quilloCall==='function'?__quilloCall(") + json +
                   QStringLiteral("):'i'"),
               timeoutMs);
  if (answer && answer->toString() == QLatin1String("i")) {
    answer = Evaluate(
        QStringLiteral("(") + BridgeScript() + QStringLiteral(")()(") + json + QLatin1Char(')'),
        timeoutMs);
  }
  if (!answer) {
    // Sent or not, these may be sent again: freeing an entry twice is harmless.
    QueueReleases(sent);
    return std::nullopt;
  }
  if (answer->toString() == QLatin1String("estale")) ++epoch;
  return answer;
}

std::optional<QVariant> PageChannel::Evaluate(const QString& source, unsigned timeoutMs) {
  if (page.isNull() || dead) return std::nullopt;
  ++roundTrips;
  auto wait = std::make_shared<Wait>();
  std::weak_ptr<PageChannel> self = weak_from_this();
  page->runJavaScript(source, kWorld, [wait, self](const QVariant& result) {
    wait->done = true;
    wait->result = result;
    if (wait->loop != nullptr) wait->loop->quit();
    if (auto channel = self.lock()) channel->hung = false;  // it answers again
  });
  if (!wait->done) {
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(static_cast<int>(timeoutMs));
    wait->loop = &loop;
    waiting.push_back(wait);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    wait->loop = nullptr;
    std::erase_if(waiting, [](const std::weak_ptr<Wait>& w) { return w.expired(); });
  }
  if (!wait->done) {
    if (!dead && !std::exchange(hung, true) && onHung) onHung();
    ++epoch;
    return std::nullopt;
  }
  return wait->result;
}

void PageChannel::QueueReleases(QStringView entries) {
  if (entries.isEmpty()) return;
  if (!releases.isEmpty()) releases += QLatin1Char(',');
  releases += entries;
}

void PageChannel::QueueRelease(const QString& documentToken, qint64 id) {
  QueueReleases(ReleaseEntry(documentToken, id));
}

std::optional<QString> PageChannel::DocumentToken(unsigned timeoutMs, bool abortIfHung) {
  const auto answer = Run(Request(QLatin1StringView("document")), timeoutMs, abortIfHung);
  const QString text = answer ? answer->toString() : QString();
  if (!text.startsWith(QLatin1Char('d'))) return std::nullopt;
  if (text.mid(1) != token) {
    token = text.mid(1);
    ++epoch;
  }
  return token;
}

void PageChannel::AbortWaits() {
  for (const auto& weak : waiting) {
    if (auto wait = weak.lock(); wait && wait->loop != nullptr) wait->loop->quit();
  }
}

}  // namespace quillo::qt
