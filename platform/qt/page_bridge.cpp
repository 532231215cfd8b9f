#include "page_bridge.h"

#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <limits>
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
  return QString(reinterpret_cast<const QChar*>(utf16.data()),
                 static_cast<qsizetype>(utf16.size()));
}

Text FromQString(QStringView string) {
  return TextFromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(string.utf16()),
                                           static_cast<size_t>(string.size())));
}

// Appends a text as a JSON string: the page reads it as data, whatever it holds.
void AppendJsonString(QString& out, QStringView text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += QLatin1Char('"');
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    if (u == '"' || u == '\\') {
      out += QLatin1Char('\\');
      out += c;
    } else if (u < 0x20 || u == 0x2028 || u == 0x2029 || (u >= 0xD800 && u <= 0xDFFF)) {
      // Control characters, the two line separators and every surrogate half go as escapes,
      // so that the script text stays valid whatever pairs they form.
      out += QLatin1String("\\u");
      for (int shift = 12; shift >= 0; shift -= 4) out += QLatin1Char(kHex[(u >> shift) & 0xF]);
    } else {
      out += c;
    }
  }
  out += QLatin1Char('"');
}

// A request to the page side, written as a JSON object.
class Request {
 public:
  explicit Request(QLatin1StringView op) {
    text_ = QStringLiteral("{\"op\":\"");
    text_ += op;
    text_ += QLatin1Char('"');
  }
  Request& Text(QLatin1StringView key, QStringView value) {
    Key(key);
    AppendJsonString(text_, value);
    return *this;
  }
  Request& Number(QLatin1StringView key, qint64 value) {
    Key(key);
    text_ += QString::number(value);
    return *this;
  }
  // A value that is JSON already.
  Request& Json(QLatin1StringView key, QStringView json) {
    Key(key);
    text_ += json;
    return *this;
  }
  QString Finish(QStringView releases) && {
    if (!releases.isEmpty()) {
      Key(QLatin1StringView("release"));
      text_ += QLatin1Char('[');
      text_ += releases;
      text_ += QLatin1Char(']');
    }
    text_ += QLatin1Char('}');
    return std::move(text_);
  }

 private:
  void Key(QLatin1StringView key) {
    text_ += QLatin1String(",\"");
    text_ += key;
    text_ += QLatin1String("\":");
  }
  QString text_;
};

// A number as the page writes it, with its words for the non-finite ones.
double ParseNumber(QStringView text) {
  if (text == u"Infinity") return std::numeric_limits<double>::infinity();
  if (text == u"-Infinity") return -std::numeric_limits<double>::infinity();
  if (text == u"NaN") return std::numeric_limits<double>::quiet_NaN();
  return text.toDouble();
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
  QString releases;  // ["token",id] entries, comma-separated, still to be sent
  long long roundTrips = 0;
  std::function<void()> onHung;

  // One synchronous call into the page: its answer, or std::nullopt when it did not answer
  // in time. Releases still to be sent go along with it.
  std::optional<QString> Run(Request request, unsigned timeoutMs, bool abortIfHung) {
    if (page.isNull() || dead || (hung && abortIfHung)) return std::nullopt;
    const QString sent = std::exchange(releases, QString());
    const QString json = std::move(request).Finish(sent);
    // A new document has no bridge yet: the short call answers so, and the bridge is
    // installed with the call, once.
    std::optional<QVariant> answer = Evaluate(
        QStringLiteral("typeof __quilloCall==='function'?__quilloCall(") + json +
            QStringLiteral("):'i'"),
        timeoutMs);
    if (answer && answer->toString() == QLatin1String("i")) {
      answer = Evaluate(QStringLiteral("(") + BridgeScript() + QStringLiteral(")()(") + json +
                            QLatin1Char(')'),
                        timeoutMs);
    }
    if (!answer) {
      // Sent or not, these may be sent again: freeing an entry twice is harmless.
      QueueReleases(sent);
      return std::nullopt;
    }
    return answer->toString();
  }

  // Runs source in the bridge's world and waits for its value, at most timeoutMs.
  std::optional<QVariant> Evaluate(const QString& source, unsigned timeoutMs) {
    if (page.isNull() || dead) return std::nullopt;
    ++roundTrips;
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
      if (!dead && !std::exchange(hung, true) && onHung) onHung();
      return std::nullopt;
    }
    return wait->result;
  }

  void QueueReleases(QStringView entries) {
    if (entries.isEmpty()) return;
    if (!releases.isEmpty()) releases += QLatin1Char(',');
    releases += entries;
  }

  // The token of the document shown now.
  std::optional<QString> DocumentToken(unsigned timeoutMs, bool abortIfHung) {
    const auto answer = Run(Request(QLatin1StringView("document")), timeoutMs, abortIfHung);
    if (!answer || !answer->startsWith(QLatin1Char('d'))) return std::nullopt;
    return answer->mid(1);
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

  static AutomationObject Make(std::weak_ptr<PageBridge::Core> core, QString token, qint64 id) {
    auto object = std::make_unique<BridgeObject>(std::move(core), std::move(token), id);
    BridgeObject* raw = object.get();
    Pool().emplace(raw, std::move(object));
    return AutomationObject::Adopt(raw);  // the reference it was born with
  }

  void AddRef() noexcept override { ++refs_; }

  void Release() noexcept override {
    if (--refs_ > 0) return;
    if (auto core = core_.lock(); core && id_ != 0) {
      QString entry = QStringLiteral("[");
      AppendJsonString(entry, token_);
      entry += QLatin1Char(',') + QString::number(id_) + QLatin1Char(']');
      core->QueueReleases(entry);
    }
    Pool().erase(this);  // destroys this object: nothing may touch it afterwards
  }

  std::optional<Value> Get(std::string_view name) override {
    return Answer(Send(Ask(QLatin1StringView("get"), name)));
  }

  bool Put(std::string_view name, const Value& value) override {
    const auto answer = Send(std::move(Ask(QLatin1StringView("put"), name)
                                           .Json(QLatin1StringView("value"), Encode(value))));
    return answer && answer->startsWith(QLatin1Char('u'));
  }

  std::optional<Value> Call(std::string_view name, std::span<const Value> arguments) override {
    QString args = QStringLiteral("[");
    for (const Value& argument : arguments) {
      if (args.size() > 1) args += QLatin1Char(',');
      args += Encode(argument);
    }
    args += QLatin1Char(']');
    return Answer(
        Send(std::move(Ask(QLatin1StringView("call"), name).Json(QLatin1StringView("args"), args))));
  }

 private:
  Request Ask(QLatin1StringView op, std::string_view name) const {
    Request request(op);
    request.Text(QLatin1StringView("token"), token_)
        .Number(QLatin1StringView("id"), id_)
        .Text(QLatin1StringView("name"), ToQString(name));
    return request;
  }

  std::optional<QString> Send(Request request) const {
    auto core = core_.lock();
    if (!core) return std::nullopt;
    return core->Run(std::move(request), PageBridge::kCallTimeoutMs, true);
  }

  std::optional<Value> Answer(const std::optional<QString>& answer) const {
    if (!answer || answer->isEmpty()) return std::nullopt;
    const QStringView rest = QStringView(*answer).mid(1);
    switch (answer->front().unicode()) {
      case 'u':
        return Value();
      case 's':
        return Value(FromQString(rest));
      case 'n':
        return Value(ParseNumber(rest));
      case 'o':
        return Value(Make(core_, token_, rest.toLongLong()));
      default:  // 'e': the page rejected the call
        return std::nullopt;
    }
  }

  // A value as JSON for the page: {"s":text}, {"n":number}, {"o":id} or {} for nothing.
  QString Encode(const Value& value) const {
    if (const auto* text = std::get_if<quillo::Text>(&value)) {
      QString json = QStringLiteral("{\"s\":");
      AppendJsonString(json, ToQString(*text));
      return json + QLatin1Char('}');
    }
    if (const auto* number = std::get_if<double>(&value)) {
      // JSON has no words for the non-finite numbers; the page reads them as text.
      QString json = QStringLiteral("{\"n\":");
      AppendJsonString(json, QString::number(*number, 'g', 17)
                                 .replace(QLatin1String("inf"), QLatin1String("Infinity"))
                                 .replace(QLatin1String("nan"), QLatin1String("NaN")));
      return json + QLatin1Char('}');
    }
    if (const auto* object = std::get_if<AutomationObject>(&value)) {
      // Only an object of the same page and document can travel back into it.
      const auto it = Pool().find(object->get());
      if (it != Pool().end()) {
        const BridgeObject& other = *it->second;
        const bool sameCore = !other.core_.owner_before(core_) && !core_.owner_before(other.core_);
        if (sameCore && other.token_ == token_) {
          return QStringLiteral("{\"o\":%1}").arg(other.id_);
        }
      }
    }
    return QStringLiteral("{}");
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
  const auto token = core_->DocumentToken(timeoutMs, true);
  return token ? BridgeObject::Make(core_, *token, 0) : AutomationObject();
}

std::optional<LRESULT> PageBridge::DocumentRequest(unsigned timeoutMs, bool abortIfHung) {
  const std::shared_ptr<Core> core = core_;  // outlives this bridge if it goes during the wait
  const auto token = core->DocumentToken(timeoutMs, abortIfHung);
  if (!token) return std::nullopt;
  return windows::LresultFromObject(BridgeObject::Make(core, *token, 0));
}

int PageBridge::RegistrySize() {
  const auto token = core_->DocumentToken(kCallTimeoutMs, true);
  if (!token) return -1;
  Request request(QLatin1StringView("count"));
  request.Text(QLatin1StringView("token"), *token);
  const auto answer = core_->Run(std::move(request), kCallTimeoutMs, true);
  return answer && answer->startsWith(QLatin1Char('n')) ? answer->mid(1).toInt() : -1;
}

bool PageBridge::hung() const { return core_->hung; }

void PageBridge::SetHungHandler(std::function<void()> handler) { core_->onHung = std::move(handler); }

void PageBridge::Probe() {
  if (core_->page.isNull() || core_->dead) return;
  std::weak_ptr<Core> weak = core_;
  core_->page->runJavaScript(QStringLiteral("0"), kWorld, [weak](const QVariant&) {
    if (auto core = weak.lock()) core->hung = false;
  });
}

long long PageBridge::roundTrips() const { return core_->roundTrips; }

}  // namespace quillo::qt
