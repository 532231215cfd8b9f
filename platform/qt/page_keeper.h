// The page keeper brings a browser box's page back when its renderer is gone or stays hung.
//
// When the renderer ends (crash, kill, out of memory), the keeper loads again what the page
// showed at that moment: after the first wait, and while the page keeps dying, after waits
// that double up to the longest wait, so a page that crashes at once costs little. The wait
// falls back to the first one once a page has loaded and its renderer has then lived for the
// calm time. A load that someone else starts in the meantime takes the place of the reload.
//
// When the bridge reports the page hung, the keeper asks the page, without waiting, whether
// it answers, once per probe interval. An answer ends the watch; a page that has not
// answered for the hang time has its renderer ended (the engine has no gentler way out of a
// script that never yields), which the rule above then reloads. While a page message waits
// for the user, no page counts as hung: the engine's work stands still until it is answered.
//
// A page that merely failed to load is left as it is. Everything runs from timers on the GUI
// thread, owned by the keeper, which its browser box destroys before the page and the bridge:
// nothing fires once the box is gone.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QUrl>

class QWebEnginePage;

namespace quillo::qt {

class PageBridge;

// How long the keeper waits, in milliseconds. Apart from the class, so that the tests and the
// benchmark can give a keeper shorter waits without reaching into it.
struct KeeperTimings {
  int firstWaitMs = 1000;  // from a renderer's end to the first reload
  int longestWaitMs = 60000;
  int calmMs = 60000;  // a page that lived this long after loading starts afresh
  int hangMs = 10000;  // how long a hung page may stay silent
  int probeMs = 1000;  // how often a hung page is asked
};

class PageKeeper : public QObject {
  Q_OBJECT

 public:
  using Timings = KeeperTimings;

  PageKeeper(QWebEnginePage* page, PageBridge& bridge, Timings timings = {});
  ~PageKeeper() override;
  PageKeeper(const PageKeeper&) = delete;
  PageKeeper& operator=(const PageKeeper&) = delete;

  // New timings; the next wait is the first one again.
  void setTimings(const Timings& timings);

 signals:
  // The keeper loads url again, now.
  void reloading(const QUrl& url);

 private:
  void rendererEnded();
  void reload();
  void pageHung();
  void probeHung();

  QWebEnginePage* page_;
  PageBridge& bridge_;
  Timings timings_;
  int nextWaitMs_;
  QUrl lost_;  // what the page showed when its renderer ended
  QTimer reload_;
  QTimer calm_;
  QTimer probe_;
  QElapsedTimer hungFor_;
};

}  // namespace quillo::qt
