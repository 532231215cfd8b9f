#include "fake_dom.h"

#include <algorithm>
#include <cmath>

namespace quillo::testing {
namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace

class FakeDom::Object : public Dispatch {
 public:
  explicit Object(FakeDom& dom) : dom_(dom) {}
  ~Object() override = default;

  void AddRef() noexcept override {
    ++refs_;
    ++dom_.live_;
  }
  void Release() noexcept override {
    if (refs_ == 0) {
      dom_.overReleased_ = true;
      return;
    }
    --refs_;
    --dom_.live_;
  }
  std::optional<Value> Get(std::string_view name) override {
    if (dom_.Rejects(name)) return std::nullopt;
    return DoGet(name);
  }
  bool Put(std::string_view name, const Value& value) override {
    if (dom_.Rejects(name)) return false;
    return DoPut(name, value);
  }
  std::optional<Value> Call(std::string_view name, std::span<const Value> arguments) override {
    if (dom_.Rejects(name)) return std::nullopt;
    return DoCall(name, arguments);
  }
  bool RaiseEvent(std::string_view type) override {
    return !dom_.Rejects("event") && DoRaiseEvent(type);
  }

 protected:
  virtual bool DoRaiseEvent(std::string_view) { return false; }
  virtual std::optional<Value> DoGet(std::string_view) { return std::nullopt; }
  virtual bool DoPut(std::string_view, const Value&) { return false; }
  virtual std::optional<Value> DoCall(std::string_view, std::span<const Value>) {
    return std::nullopt;
  }
  FakeDom& dom_;

 private:
  int refs_ = 0;
};

class FakeDom::Collection : public FakeDom::Object {
 public:
  Collection(FakeDom& dom, std::string tag) : Object(dom), tag_(std::move(tag)) {}

 protected:
  std::optional<Value> DoGet(std::string_view name) override {
    if (name != "length") return std::nullopt;
    if (dom_.hasLengthOverride_) return Value(dom_.lengthOverride_);
    return Value(static_cast<double>(dom_.Attached(tag_).size()));
  }
  std::optional<Value> DoCall(std::string_view name, std::span<const Value> arguments) override;

 private:
  std::string tag_;  // empty: every element of the body
};

class FakeDom::Element : public FakeDom::Object {
 public:
  Element(FakeDom& dom, PageElement elementData, int elementIndex)
      : Object(dom), data(std::move(elementData)), index(elementIndex) {}

  PageElement data;
  int index;
  std::string value;
  int clicks = 0;
  std::vector<std::string> events;
  bool attached = true;

 protected:
  bool Is(std::initializer_list<std::string_view> tags) const {
    return std::find(tags.begin(), tags.end(), data.tag) != tags.end();
  }
  std::optional<Value> DoGet(std::string_view name) override {
    if (name == "type") {
      // As browsers report it: in lower case; inputs of no or an unknown type are text,
      // buttons submit.
      static const std::set<std::string, std::less<>> inputTypes = {
          "button", "checkbox", "color", "date",   "datetime-local", "email",
          "file",   "hidden",   "image", "month",  "number",         "password",
          "radio",  "range",    "reset", "search", "submit",         "tel",
          "text",   "time",     "url",   "week"};
      const std::string type = Lower(data.type);
      if (data.tag == "input") return Value(inputTypes.count(type) != 0 ? type : "text");
      if (data.tag == "button") {
        return Value(type == "button" || type == "reset" ? type : "submit");
      }
      if (data.tag == "textarea") return Value(Text("textarea"));
      return std::nullopt;
    }
    if (name == "name") {
      if (!Is({"input", "button", "textarea", "select", "a", "form"})) return std::nullopt;
      return Value(data.name);
    }
    if (name == "id") return Value(data.id);
    if (name == "title") return Value(data.title);
    if (name == "value" && Is({"input", "button", "textarea"})) return Value(value);
    if (name == "all") {
      // Only the body has descendants in this flat page.
      if (this != dom_.body_)
        return dom_.Hand(
            dom_.objects_.emplace_back(std::make_unique<Collection>(dom_, "\x01")).get());
      return dom_.Hand(dom_.objects_.emplace_back(std::make_unique<Collection>(dom_, "")).get());
    }
    return std::nullopt;
  }
  bool DoPut(std::string_view name, const Value& newValue) override {
    if (name != "value" || !Is({"input", "button", "textarea"})) return false;
    const auto* text = std::get_if<Text>(&newValue);
    if (text == nullptr) return false;
    // A file input takes no text but the empty one.
    const std::optional<Value> type = DoGet("type");
    const auto* typeText = type ? std::get_if<Text>(&*type) : nullptr;
    if (!text->empty() && typeText != nullptr && *typeText == "file") return false;
    value = *text;
    return true;
  }
  bool DoRaiseEvent(std::string_view type) override {
    events.push_back(std::string(type) + "=" + value);
    return true;
  }
  std::optional<Value> DoCall(std::string_view name, std::span<const Value> arguments) override {
    if (name == "getElementsByTagName" && arguments.size() == 1) {
      const auto* tag = std::get_if<Text>(&arguments[0]);
      if (tag == nullptr) return std::nullopt;
      // Only the body has descendants; "*" means all of them.
      const std::string lower = Lower(*tag);
      return dom_.Hand(
          dom_.objects_
              .emplace_back(std::make_unique<Collection>(dom_, this != dom_.body_ ? "\x01"
                                                               : lower == "*"     ? ""
                                                                                  : lower))
              .get());
    }
    if (name != "click") return std::nullopt;
    ++clicks;
    return Value();
  }
};

class FakeDom::DocumentObject : public FakeDom::Object {
 public:
  using Object::Object;

 protected:
  std::optional<Value> DoGet(std::string_view name) override {
    if (name == "body") return dom_.Hand(dom_.body_);
    return std::nullopt;
  }
};

std::optional<Value> FakeDom::Collection::DoCall(std::string_view name,
                                                 std::span<const Value> arguments) {
  if (arguments.size() != 1) return std::nullopt;
  if (name == "tags") {
    const auto* tag = std::get_if<Text>(&arguments[0]);
    if (tag == nullptr || !tag_.empty()) return std::nullopt;
    return dom_.Hand(
        dom_.objects_.emplace_back(std::make_unique<Collection>(dom_, Lower(*tag))).get());
  }
  if (name == "item") {
    const auto* index = std::get_if<double>(&arguments[0]);
    if (index == nullptr) return std::nullopt;
    if (dom_.onItem_) dom_.onItem_(static_cast<int>(*index));
    const std::vector<Element*> elements = dom_.Attached(tag_);
    if (*index < 0 || *index >= static_cast<double>(elements.size())) return Value();
    return dom_.Hand(elements[static_cast<size_t>(*index)]);
  }
  return std::nullopt;
}

FakeDom::FakeDom() {
  document_ = static_cast<DocumentObject*>(
      objects_.emplace_back(std::make_unique<DocumentObject>(*this)).get());
  body_ = static_cast<Element*>(
      objects_
          .emplace_back(std::make_unique<Element>(*this, PageElement{"body", "", "", "", ""}, -1))
          .get());
}

FakeDom::FakeDom(const std::vector<PageElement>& elements) : FakeDom() {
  for (const PageElement& data : elements) Add(data);
}

FakeDom::~FakeDom() = default;

int FakeDom::Add(const PageElement& data) {
  const int index = static_cast<int>(elements_.size());
  elements_.push_back(static_cast<Element*>(
      objects_.emplace_back(std::make_unique<Element>(*this, data, index)).get()));
  return index;
}

void FakeDom::Remove(int index) { elements_.at(static_cast<size_t>(index))->attached = false; }

AutomationObject FakeDom::Document() { return Hand(document_); }

AutomationObject FakeDom::Hand(Object* object) { return AutomationObject::Share(object); }

std::vector<FakeDom::Element*> FakeDom::Attached(std::string_view tag) const {
  std::vector<Element*> out;
  for (Element* element : elements_) {
    if (element->attached && (tag.empty() || element->data.tag == tag)) out.push_back(element);
  }
  return out;
}

const PageElement& FakeDom::element(int index) const {
  return elements_.at(static_cast<size_t>(index))->data;
}

const std::string& FakeDom::value(int index) const {
  return elements_.at(static_cast<size_t>(index))->value;
}

int FakeDom::clicks(int index) const { return elements_.at(static_cast<size_t>(index))->clicks; }

const std::vector<std::string>& FakeDom::events(int index) const {
  return elements_.at(static_cast<size_t>(index))->events;
}

int FakeDom::IndexOf(const AutomationObject& object) const {
  for (const Element* element : elements_) {
    if (static_cast<const Dispatch*>(element) == object.get()) return element->index;
  }
  return -1;
}

std::string ToHtml(const std::vector<PageElement>& elements) {
  auto attribute = [](const char* name, const std::string& value) {
    std::string escaped;
    for (char c : value) {
      // clang-format off
      switch (c) {
        case '&': escaped += "&amp;"; break;
        case '"': escaped += "&quot;"; break;
        case '<': escaped += "&lt;"; break;
        default: escaped += c;
      }
      // clang-format on
    }
    return value.empty() ? std::string() : " " + std::string(name) + "=\"" + escaped + "\"";
  };
  std::string html;
  for (size_t i = 0; i < elements.size(); ++i) {
    const PageElement& e = elements[i];
    html += "<" + e.tag + " data-index=\"" + std::to_string(i) + "\"" + attribute("type", e.type) +
            attribute("name", e.name) + attribute("id", e.id) + attribute("title", e.title) + ">";
    if (e.tag != "input") html += "</" + e.tag + ">";
    html += "\n";
  }
  return html;
}

}  // namespace quillo::testing
