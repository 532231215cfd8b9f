#include "page_bridge.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

#include "page_channel.h"
#include "page_wire.h"
#include "window_registry.h"

namespace quillo::qt {

namespace {

// The reads a look answers, in the order of its rows.
constexpr std::array<std::string_view, 4> kLookNames = {"type", "name", "id", "title"};

// One look at a collection (see page_bridge.js): what reading each element's type, name, id
// and title answered when it was taken, and the page-side list that reaches each element.
struct Look {
  std::weak_ptr<PageChannel> channel;
  QString token;
  qint64 list = 0;
  unsigned long long epoch = 0;
  LookTexts texts;  // kLookNames.size() per element

  Look() = default;
  Look(const Look&) = delete;
  Look& operator=(const Look&) = delete;
  ~Look() {
    if (auto open = channel.lock()) open->QueueRelease(token, list);
  }
  qsizetype size() const { return std::ssize(texts.ends) / std::ssize(kLookNames); }
  // True while nothing can have changed what it saw: no write or call of ours, no other
  // document, no hang or crash since it was taken.
  bool Fresh() const {
    const auto open = channel.lock();
    // A new document token, a hang and a crash all move the epoch on.
    return open && open->epoch == epoch;
  }
};

// One object of the page, as the automation layer sees it. It goes with its last reference,
// and tells the page, with the next call, that the entry can go. A collection that came with a
// look, and each element of that look, answer the look's reads from it while it is fresh; such an
// element has no id of its own until its first other use picks it from the look's list.
class BridgeObject final : public CountedDispatch {
 public:
  static constexpr qint64 kUnpicked = -1;
  static constexpr qint64 kGone = -2;

  BridgeObject(std::weak_ptr<PageChannel> channel, QString token, qint64 id,
               std::shared_ptr<const Look> look, qsizetype index)
      : channel_(std::move(channel)),
        token_(std::move(token)),
        id_(id),
        look_(std::move(look)),
        index_(index) {}

  static AutomationObject Make(std::weak_ptr<PageChannel> channel, QString token, qint64 id,
                               std::shared_ptr<const Look> look = {}, qsizetype index = -1) {
    return AutomationObject::Adopt(  // the reference it was born with
        New<BridgeObject>(std::move(channel), std::move(token), id, std::move(look), index));
  }

  ~BridgeObject() override {
    if (auto channel = channel_.lock(); channel && id_ > 0) channel->QueueRelease(token_, id_);
  }
  BridgeObject(const BridgeObject&) = delete;
  BridgeObject& operator=(const BridgeObject&) = delete;

  std::optional<Value> Get(std::string_view name) override {
    if (look_ && id_ != kGone && look_->Fresh()) {
      if (index_ < 0 && name == "length") return Value(static_cast<double>(look_->size()));
      const auto slot = std::find(kLookNames.begin(), kLookNames.end(), name);
      if (index_ >= 0 && slot != kLookNames.end()) {
        const qsizetype at = index_ * std::ssize(kLookNames) + (slot - kLookNames.begin());
        const auto other = look_->texts.Other(at);
        if (!other) return Value(FromQString(look_->texts.At(at)));
        if (*other != QLatin1String("x")) return Answer(QVariant(other->toString()), 0);
      }
    }
    return Answer(Send(Ask(QLatin1StringView("get"), name)), 0);
  }

  bool Put(std::string_view name, const Value& value) override {
    PickArguments(std::span(&value, 1));
    NextEpoch();
    const auto answer = Send(std::move(
        Ask(QLatin1StringView("put"), name).Json(QLatin1StringView("value"), Encode(value))));
    return answer && answer->toString().startsWith(QLatin1Char('u'));
  }

  bool RaiseEvent(std::string_view type) override {
    NextEpoch();  // the page's handlers may change anything a look saw
    const auto answer = Send(Ask(QLatin1StringView("event"), type));
    return answer && answer->toString().startsWith(QLatin1Char('u'));
  }

  std::optional<Value> Call(std::string_view name, std::span<const Value> arguments) override {
    if (look_ && index_ < 0 && name == "item" && arguments.size() == 1 && look_->Fresh()) {
      const auto* index = std::get_if<double>(&arguments[0]);
      if (index != nullptr && *index >= 0 && *index < static_cast<double>(look_->size()) &&
          *index == std::trunc(*index)) {
        return Value(Make(channel_, token_, kUnpicked, look_, static_cast<qsizetype>(*index)));
      }
    }
    PickArguments(arguments);
    const auto epoch = NextEpoch();
    QString args = QStringLiteral("[");
    for (const Value& argument : arguments) {
      if (args.size() > 1) args += QLatin1Char(',');
      args += Encode(argument);
    }
    args += QLatin1Char(']');
    return Answer(
        Send(std::move(Ask(QLatin1StringView("call"), name).Json(QLatin1StringView("args"), args))),
        epoch);
  }

 private:
  Request Ask(QLatin1StringView op, std::string_view name) const {
    Request request(op);
    request.Text(QLatin1StringView("token"), token_);
    if (id_ == kUnpicked) {
      request.Number(QLatin1StringView("list"), look_->list)
          .Number(QLatin1StringView("index"), index_);
    } else {
      request.Number(QLatin1StringView("id"), id_);
    }
    request.Text(QLatin1StringView("name"), ToQString(name));
    return request;
  }

  // Our own write or call may change anything a look saw: the epoch moves on. Answers the
  // new epoch, the one a look taken by this call belongs to.
  unsigned long long NextEpoch() const {
    const auto channel = channel_.lock();
    return channel ? ++channel->epoch : 0;
  }

  // Sends a request; an element not picked yet is picked with it, or is gone for good when
  // the page no longer holds it in its document.
  std::optional<QVariant> Send(Request request) {
    auto channel = channel_.lock();
    if (!channel || id_ == kGone) return std::nullopt;
    auto answer = channel->Run(std::move(request), PageBridge::kCallTimeoutMs, true);
    if (id_ != kUnpicked || !answer) return answer;
    if (auto picked = ReadPick(*answer)) {
      id_ = picked->first;
      return std::move(picked->second);
    }
    id_ = kGone;
    return std::nullopt;
  }

  // Objects of this page that go to it as arguments need their ids first.
  static void PickArguments(std::span<const Value> arguments) {
    for (const Value& argument : arguments) {
      const auto* object = std::get_if<AutomationObject>(&argument);
      if (object == nullptr) continue;
      auto* mine = dynamic_cast<BridgeObject*>(object->get());
      if (mine != nullptr && mine->id_ == kUnpicked) {
        mine->Send(mine->Ask(QLatin1StringView("pick"), ""));
      }
    }
  }

  // An answer of the page: a short text, or a look that the new collection keeps.
  std::optional<Value> Answer(const std::optional<QVariant>& reply,
                              unsigned long long epoch) const {
    if (!reply) return std::nullopt;
    PageAnswer answer = ReadAnswer(*reply);
    if (auto* look = std::get_if<LookAnswer>(&answer)) {
      auto kept = std::make_shared<Look>();
      kept->channel = channel_;
      kept->token = token_;
      kept->list = look->list;
      kept->epoch = epoch;
      kept->texts = std::move(look->texts);
      return Value(Make(channel_, token_, look->collection, std::move(kept)));
    }
    if (std::holds_alternative<Nothing>(answer)) return Value();
    if (const auto* text = std::get_if<QString>(&answer)) return Value(FromQString(*text));
    if (const auto* number = std::get_if<double>(&answer)) return Value(*number);
    if (const auto* object = std::get_if<ObjectId>(&answer)) {
      return Value(Make(channel_, token_, object->id));
    }
    return std::nullopt;  // the page rejected the call
  }

  // A value for the page; an object only when it is of the same page and document.
  QString Encode(const Value& value) const {
    if (const auto* text = std::get_if<quillo::Text>(&value)) return TextValue(ToQString(*text));
    if (const auto* number = std::get_if<double>(&value)) return NumberValue(*number);
    if (const auto* object = std::get_if<AutomationObject>(&value)) {
      if (const auto* found = dynamic_cast<const BridgeObject*>(object->get())) {
        const BridgeObject& other = *found;
        const bool sameChannel =
            !other.channel_.owner_before(channel_) && !channel_.owner_before(other.channel_);
        if (sameChannel && other.token_ == token_ && other.id_ >= 0) return ObjectValue(other.id_);
      }
    }
    return NothingValue();
  }

  std::weak_ptr<PageChannel> channel_;
  QString token_;
  qint64 id_;
  std::shared_ptr<const Look> look_;  // the look this came with, if any
  qsizetype index_;                   // an element's place in the look; -1 for a collection
};

}  // namespace

PageBridge::PageBridge(QWebEnginePage* page) : channel_(PageChannel::Open(page)) {}

PageBridge::~PageBridge() { channel_->AbortWaits(); }

AutomationObject PageBridge::Document(unsigned timeoutMs) {
  const auto token = channel_->DocumentToken(timeoutMs, true);
  return token ? BridgeObject::Make(channel_, *token, 0) : AutomationObject();
}

std::optional<LRESULT> PageBridge::DocumentRequest(unsigned timeoutMs, bool abortIfHung) {
  const std::shared_ptr<PageChannel> channel =
      channel_;  // outlives this bridge if it goes during the wait
  const auto token = channel->DocumentToken(timeoutMs, abortIfHung);
  if (!token) return std::nullopt;
  return registry::LresultFromObject(BridgeObject::Make(channel, *token, 0));
}

int PageBridge::RegistrySize() {
  const auto token = channel_->DocumentToken(kCallTimeoutMs, true);
  if (!token) return -1;
  Request request(QLatin1StringView("count"));
  request.Text(QLatin1StringView("token"), *token);
  const QString answer =
      channel_->Run(std::move(request), kCallTimeoutMs, true).value_or(QVariant()).toString();
  return answer.startsWith(QLatin1Char('n')) ? answer.mid(1).toInt() : -1;
}

bool PageBridge::hung() const { return channel_->hung; }

void PageBridge::SetHungHandler(std::function<void()> handler) {
  channel_->onHung = std::move(handler);
}

void PageBridge::Probe() { channel_->Probe(); }

long long PageBridge::roundTrips() const { return channel_->roundTrips; }

}  // namespace quillo::qt
