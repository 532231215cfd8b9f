#include "page_bridge.h"

#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <unordered_map>
#include <utility>
#include <vector>

#include "window_registry.h"

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

QString ToQString(std::string_view text) {
  const std::u16string utf16 = TextToUtf16(text);
  return QString(reinterpret_cast<const QChar*>(utf16.data()), static_cast<qsizetype>(utf16.size()));
}

Text FromQString(const QString& string) {
  return TextFromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(string.utf16()),
                                           static_cast<size_t>(string.size())));
}

}  // namespace

// The state the bridge shares with its objects and with the callbacks of calls in flight,
// which may outlive both the bridge and the call that started them.
struct PageBridge::Core : std::enable_shared_from_this<PageBridge::Core> {
  struct Wait {
    bool done = false;
    QVariant result;
    QEventLoop* loop = nullptr;
  };

  QPointer<QWebEnginePage> page;
  bool hung = false;
  bool dead = false;
  std::vector<std::weak_ptr<Wait>> waiting;
  QJsonArray releases;  // [token, id] pairs still to be sent

  // One synchronous call into the page; std::nullopt when it did not answer in time.
  std::optional<QVariantMap> Run(QJsonObject request, unsigned timeoutMs, bool abortIfHung) {
    if (page.isNull() || dead || (hung && abortIfHung)) return std::nullopt;
    const QJsonArray sent = std::exchange(releases, QJsonArray());
    if (!sent.isEmpty()) request.insert(QStringLiteral("release"), sent);
    const QString json =
        QString::fromUtf8(QJsonDocument(request).toJson(QJsonDocument::Compact));
    // A new document has no bridge yet: the short call answers so, and the bridge is
    // installed with the call, once.
    std::optional<QVariant> answer =
        Evaluate(QStringLiteral("typeof __quilloCall==='function'?__quilloCall(") + json +
                     QStringLiteral("):'install'"),
                 timeoutMs);
    if (answer && answer->userType() == QMetaType::QString) {
      answer = Evaluate(QStringLiteral("(") + BridgeScript() + QStringLiteral(")()(") + json +
                            QLatin1Char(')'),
                        timeoutMs);
    }
    if (!answer) {
      // Sent or not, these may be sent again: freeing an entry twice is harmless.
      for (const QJsonValue& entry : sent) releases.append(entry);
      return std::nullopt;
    }
    return answer->toMap();
  }

  // Runs source in the bridge's world and waits for its value, at most timeoutMs.
  std::optional<QVariant> Evaluate(const QString& source, unsigned timeoutMs) {
    if (page.isNull() || dead) return std::nullopt;
    auto wait = std::make_shared<Wait>();
    std::weak_ptr<Core> self = weak_from_this();
    page->runJavaScript(source, kWorld, [wait, self](const QVariant& result) {
      wait->done = true;
      wait->result = result;
      if (wait->loop != nullptr) wait->loop->quit();
      if (auto core = self.lock()) core->hung = false;  // it answers again
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
      if (!dead) hung = true;
      return std::nullopt;
    }
    return wait->result;
  }

  // Ends every wait in progress at once (the renderer is gone).
  void AbortWaits() {
    for (const auto& weak : waiting) {
      if (auto wait = weak.lock(); wait && wait->loop != nullptr) wait->loop->quit();
    }
  }
};

namespace {

// One object of the page, as the automation layer sees it. It is reference counted the COM
// way: the pool below owns it, and its last release takes it out of the pool and tells the
// page, with the next call, that the entry can go.
class BridgeObject final : public Dispatch {
 public:
  BridgeObject(std::weak_ptr<PageBridge::Core> core, QString token, qint64 id)
      : core_(std::move(core)), token_(std::move(token)), id_(id) {}

  static AutomationObject Make(std::weak_ptr<PageBridge::Core> core, QString token, qint64 id);

  void AddRef() noexcept override { ++refs_; }
  void Release() noexcept override;

  std::optional<Value> Get(std::string_view name) override {
    return Answer(Request(QStringLiteral("get"), name));
  }
  bool Put(std::string_view name, const Value& value) override {
    QJsonObject request = Request(QStringLiteral("put"), name);
    request.insert(QStringLiteral("value"), Encode(value));
    const auto answer = Send(request);
    return answer && !answer->contains(QStringLiteral("error"));
  }
  std::optional<Value> Call(std::string_view name, std::span<const Value> arguments) override {
    QJsonObject request = Request(QStringLiteral("call"), name);
    QJsonArray args;
    for (const Value& argument : arguments) args.append(Encode(argument));
    request.insert(QStringLiteral("args"), args);
    return Answer(request);
  }

 private:
  QJsonObject Request(const QString& op, std::string_view name) const {
    return {{QStringLiteral("op"), op},
            {QStringLiteral("token"), token_},
            {QStringLiteral("id"), id_},
            {QStringLiteral("name"), ToQString(name)}};
  }

  std::optional<QVariantMap> Send(const QJsonObject& request) const {
    auto core = core_.lock();
    if (!core) return std::nullopt;
    return core->Run(request, PageBridge::kCallTimeoutMs, true);
  }

  std::optional<Value> Answer(const QJsonObject& request) const {
    const auto answer = Send(request);
    if (!answer || answer->contains(QStringLiteral("error"))) return std::nullopt;
    if (auto it = answer->find(QStringLiteral("s")); it != answer->end()) {
      return Value(FromQString(it->toString()));
    }
    if (auto it = answer->find(QStringLiteral("n")); it != answer->end()) {
      return Value(it->toDouble());
    }
    if (auto it = answer->find(QStringLiteral("o")); it != answer->end()) {
      return Value(Make(core_, token_, it->toLongLong()));
    }
    return Value();
  }

  QJsonObject Encode(const Value& value) const {
    if (const auto* text = std::get_if<Text>(&value)) return {{QStringLiteral("s"), ToQString(*text)}};
    if (const auto* number = std::get_if<double>(&value)) return {{QStringLiteral("n"), *number}};
    if (const auto* object = std::get_if<AutomationObject>(&value)) {
      // Only an object of the same page and document can travel back into it.
      const auto it = Pool().find(object->get());
      if (it != Pool().end()) {
        const BridgeObject& other = *it->second;
        const bool sameCore =
            !other.core_.owner_before(core_) && !core_.owner_before(other.core_);
        if (sameCore && other.token_ == token_) return {{QStringLiteral("o"), other.id_}};
      }
    }
    return {};
  }

  static std::unordered_map<const Dispatch*, std::unique_ptr<BridgeObject>>& Pool() {
    static std::unordered_map<const Dispatch*, std::unique_ptr<BridgeObject>> pool;
    return pool;
  }

  std::weak_ptr<PageBridge::Core> core_;
  QString token_;
  qint64 id_;
  int refs_ = 1;
};

AutomationObject BridgeObject::Make(std::weak_ptr<PageBridge::Core> core, QString token,
                                    qint64 id) {
  auto object = std::make_unique<BridgeObject>(std::move(core), std::move(token), id);
  BridgeObject* raw = object.get();
  Pool().emplace(raw, std::move(object));
  return AutomationObject::Adopt(raw);  // the reference it was born with
}

void BridgeObject::Release() noexcept {
  if (--refs_ > 0) return;
  if (auto core = core_.lock(); core && id_ != 0) {
    core->releases.append(QJsonArray{token_, id_});
  }
  Pool().erase(this);  // destroys this object: nothing may touch it afterwards
}

}  // namespace

PageBridge::PageBridge(QWebEnginePage* page) : core_(std::make_shared<Core>()) {
  core_->page = page;
  std::weak_ptr<Core> weak = core_;
  QObject::connect(page, &QWebEnginePage::renderProcessTerminated, page, [weak] {
    if (auto core = weak.lock()) {
      core->dead = true;
      core->AbortWaits();
    }
  });
  QObject::connect(page, &QWebEnginePage::loadFinished, page, [weak] {
    if (auto core = weak.lock()) {
      core->dead = false;
      core->hung = false;
    }
  });
}

PageBridge::~PageBridge() { core_->AbortWaits(); }

AutomationObject PageBridge::Document(unsigned timeoutMs) {
  const auto answer = core_->Run({{QStringLiteral("op"), QStringLiteral("document")}}, timeoutMs,
                                 true);
  if (!answer || !answer->contains(QStringLiteral("token"))) return {};
  return BridgeObject::Make(core_, answer->value(QStringLiteral("token")).toString(), 0);
}

std::optional<LRESULT> PageBridge::DocumentRequest(unsigned timeoutMs, bool abortIfHung) {
  const std::shared_ptr<Core> core = core_;  // outlives this bridge if it goes during the wait
  const auto answer = core->Run({{QStringLiteral("op"), QStringLiteral("document")}}, timeoutMs,
                                 abortIfHung);
  if (!answer || !answer->contains(QStringLiteral("token"))) return std::nullopt;
  return windows::LresultFromObject(
      BridgeObject::Make(core, answer->value(QStringLiteral("token")).toString(), 0));
}

int PageBridge::RegistrySize() {
  const auto document = core_->Run({{QStringLiteral("op"), QStringLiteral("document")}},
                                   kCallTimeoutMs, true);
  if (!document) return -1;
  const auto answer = core_->Run({{QStringLiteral("op"), QStringLiteral("count")},
                                  {QStringLiteral("token"), document->value(QStringLiteral("token")).toString()}},
                                 kCallTimeoutMs, true);
  return answer ? answer->value(QStringLiteral("n")).toInt() : -1;
}

bool PageBridge::hung() const { return core_->hung; }

}  // namespace quillo::qt
