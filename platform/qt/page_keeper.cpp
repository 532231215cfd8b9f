#include "page_keeper.h"

#include <signal.h>
#include <unistd.h>

#include <QWebEnginePage>
#include <algorithm>

#include "box_page.h"
#include "page_bridge.h"

namespace quillo::qt {

PageKeeper::PageKeeper(QWebEnginePage* page, PageBridge& bridge, Timings timings)
    : page_(page), bridge_(bridge), timings_(timings), nextWaitMs_(timings.firstWaitMs) {
  reload_.setSingleShot(true);
  reload_.setTimerType(Qt::PreciseTimer);
  calm_.setSingleShot(true);
  connect(&reload_, &QTimer::timeout, this, &PageKeeper::reload);
  connect(&calm_, &QTimer::timeout, this, [this] { nextWaitMs_ = timings_.firstWaitMs; });
  connect(&probe_, &QTimer::timeout, this, &PageKeeper::probeHung);

  connect(page, &QWebEnginePage::renderProcessTerminated, this, &PageKeeper::rendererEnded);
  // A load started by anyone else replaces the reload still to come.
  connect(page, &QWebEnginePage::loadStarted, this, [this] { reload_.stop(); });
  connect(page, &QWebEnginePage::loadFinished, this, [this] {
    if (!reload_.isActive()) calm_.start(timings_.calmMs);
  });
  bridge_.SetHungHandler([this] { pageHung(); });
}

PageKeeper::~PageKeeper() { bridge_.SetHungHandler({}); }

void PageKeeper::setTimings(const Timings& timings) {
  timings_ = timings;
  nextWaitMs_ = timings.firstWaitMs;
}

void PageKeeper::rendererEnded() {
  probe_.stop();
  calm_.stop();
  if (reload_.isActive()) return;
  lost_ = page_->url();
  if (lost_.isEmpty()) lost_ = page_->requestedUrl();
  reload_.start(nextWaitMs_);
  nextWaitMs_ = std::min(nextWaitMs_ * 2, timings_.longestWaitMs);
}

void PageKeeper::reload() {
  if (lost_.isEmpty()) return;
  emit reloading(lost_);
  page_->load(lost_);
}

void PageKeeper::pageHung() {
  if (probe_.isActive()) return;
  hungFor_.start();
  probe_.start(timings_.probeMs);
}

void PageKeeper::probeHung() {
  if (!bridge_.hung()) {  // it answered
    probe_.stop();
    return;
  }
  // A page waiting on a message is not hung: the hang time starts again once it is answered.
  if (PageMessageOpen()) {
    hungFor_.start();
    bridge_.Probe();
    return;
  }
  // The probe nearest to the hang time decides.
  if (hungFor_.elapsed() + timings_.probeMs / 2 < timings_.hangMs) {
    bridge_.Probe();
    return;
  }
  // The renderer may be our own process when the engine runs in one process only: then the
  // keeper can only go on asking.
  const qint64 pid = page_->renderProcessPid();
  if (pid <= 0 || pid == getpid()) {
    bridge_.Probe();
    return;
  }
  probe_.stop();
  ::kill(static_cast<pid_t>(pid), SIGKILL);
}

}  // namespace quillo::qt
