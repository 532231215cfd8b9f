// A flat fake page with the by-name face and, on Windows, IDispatch's (win32/win32_test.cpp).
#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "automation.h"
#ifdef _WIN32
#include "automation_win32.h"
#endif

namespace quillo::testing {

// One form element as data; an empty type is the tag's default.
struct PageElement {
  std::string tag = {}, type = {}, name = {}, id = {}, title = {};
};

// The elements as the body of an HTML page (UTF-8), each with a data-index attribute.
inline std::string ToHtml(const std::vector<PageElement>& elements) {
  auto attribute = [](const char* name, const std::string& value) {
    std::string escaped;
    for (char c : value)
      escaped += c == '&' ? "&amp;" : c == '"' ? "&quot;" : c == '<' ? "&lt;" : std::string(1, c);
    return value.empty() ? std::string() : " " + std::string(name) + "=\"" + escaped + "\"";
  };
  std::string html;
  for (size_t i = 0; i < elements.size(); ++i) {
    const PageElement& e = elements[i];
    html += "<" + e.tag + " data-index=\"" + std::to_string(i) + "\"" + attribute("type", e.type) +
            attribute("name", e.name) + attribute("id", e.id) + attribute("title", e.title) + ">";
    html += (e.tag == "input" ? "" : "</" + e.tag + ">") + "\n";
  }
  return html;
}

class FakePage {
 public:
  class Node;
  // What the page answers: nothing, a number, a text or one of its objects.
  using Answer = std::variant<std::monostate, double, Text, Node*>;

  class Node final : public Dispatch {
   public:
    enum class Kind { kDocument, kElement, kCollection, kEvent };
    Node(FakePage& page, Kind what) : page_(&page), kind(what) {}

    void AddRef() noexcept override { page_->Count(refs_, 1); }
    void Release() noexcept override { page_->Count(refs_, -1); }
    std::optional<Value> Get(std::string_view key) override { return Face(page_->Get(*this, key)); }
    bool Put(std::string_view key, const Value& to) override { return page_->Put(*this, key, to); }
    std::optional<Value> Call(std::string_view name, std::span<const Value> arguments) override {
      return Face(page_->Call(*this, name, arguments));
    }
    bool RaiseEvent(std::string_view event) override { return page_->RaiseEvent(*this, event); }
    bool Is(std::initializer_list<std::string_view> tags) const {
      return std::find(tags.begin(), tags.end(), data.tag) != tags.end();
    }

    FakePage* page_;
    Kind kind;
    PageElement data;  // an element's
    int index = -1;    // an element's place in the page; -1 for the body
    bool attached = true;
    std::string value;
    int clicks = 0;
    std::vector<std::string> events;
    std::string tag;   // a collection's: empty for every element, "\x01" for none
    std::string type;  // an event's, once initialised, and whether it bubbles
    bool bubbles = false, initialised = false;
#ifdef _WIN32
    IDispatch* face = nullptr;  // the page owns it
#endif

   private:
    static std::optional<Value> Face(std::optional<Answer> answer) {
      if (!answer) return std::nullopt;
      if (Node** node = std::get_if<Node*>(&*answer)) return AutomationObject::Share(*node);
      if (double* number = std::get_if<double>(&*answer)) return *number;
      if (Text* text = std::get_if<Text>(&*answer)) return std::move(*text);
      return Value();
    }
    int refs_ = 0;
  };
  using Kind = Node::Kind;

  explicit FakePage(const std::vector<PageElement>& elements = {}, int documentMode = 11)
      : mode_(documentMode) {
    document_ = Make(Node(*this, Kind::kDocument));
    body_ = Make(Node(*this, Kind::kElement));
    body_->data.tag = "body";
    for (const PageElement& data : elements) {
      elements_.push_back(Make(Node(*this, Kind::kElement)));
      elements_.back()->data = data;
      elements_.back()->index = static_cast<int>(elements_.size()) - 1;
    }
  }
  FakePage(const FakePage&) = delete;
  FakePage& operator=(const FakePage&) = delete;

  AutomationObject Document() { return AutomationObject::Share(document_); }
  void Remove(int index) { at(index).attached = false; }  // from the body; its index stays
  void Reject(const std::string& name) { rejected_.insert(name); }  // Get, Put or Call of it
  void OverrideLength(double length) { lengthOverride_ = length; }  // of every collection
  void OnItem(std::function<void(int index)> hook) { onItem_ = std::move(hook); }

  int liveReferences() const { return live_; }  // handed out and not released
  bool overReleased() const { return overReleased_; }
  int calls() const { return calls_; }  // by-name calls that reached the page
  const std::string& value(int index) const { return at(index).value; }
  int clicks(int index) const { return at(index).clicks; }
  // The events raised on the element, in order, each as "type=the value it held then".
  const std::vector<std::string>& events(int index) const { return at(index).events; }
  int IndexOf(const AutomationObject& object) const {  // of either face; -1 for no element
    for (const Node* element : elements_) {
#ifdef _WIN32
      if (element->face != nullptr && win32::DispatchOf(object) == element->face)
        return element->index;
#endif
      if (object.get() == element) return element->index;
    }
    return -1;
  }

#ifdef _WIN32
  IUnknown* document();  // the document's IDispatch face, without a reference
  bool releasedWithoutCom() const { return releasedWithoutCom_; }
  // The event members called, as "initEvent(input,true,false)" or "fireEvent(onchange)".
  const std::vector<std::string>& eventCalls() const { return eventCalls_; }
#endif

  // The page's objects by name, rejections and all; both faces call these.
  std::optional<Answer> Get(Node& node, std::string_view name) {
    if (Rejects(name)) return std::nullopt;
    if (node.kind == Kind::kDocument && name == "body") return body_;
    if (node.kind == Kind::kCollection && name == "length")
      return lengthOverride_.value_or(static_cast<double>(Attached(node.tag).size()));
    if (node.kind != Kind::kElement) return std::nullopt;
    const PageElement& data = node.data;
    if (name == "type") {  // as browsers report it: lower case, else the tag's default
      static const std::string inputTypes =
          " button checkbox color date datetime-local email file hidden image month number "
          "password radio range reset search submit tel text time url week ";
      const std::string type = Lower(data.type);
      const bool known = !type.empty() && inputTypes.find(" " + type + " ") != std::string::npos;
      if (data.tag == "input") return Text(known ? type : "text");
      if (data.tag == "button") return Text(type == "button" || type == "reset" ? type : "submit");
      if (data.tag == "textarea") return Text("textarea");
      return std::nullopt;
    }
    if (name == "name" && node.Is({"input", "button", "textarea", "select", "a", "form"}))
      return Text(data.name);
    if (name == "id") return Text(data.id);
    if (name == "title") return Text(data.title);
    if (name == "value" && node.Is({"input", "button", "textarea"})) return Text(node.value);
    if (name != "all") return std::nullopt;
    Node all(*this, Kind::kCollection);
    all.tag = &node == body_ ? "" : "\x01";  // only the body has descendants in this flat page
    return Make(std::move(all));
  }
  bool Put(Node& node, std::string_view name, const Value& value) {
    const auto* text = std::get_if<Text>(&value);
    // Only a control's value takes a text, and a file input's only the empty one.
    if (Rejects(name) || name != "value" || !node.Is({"input", "button", "textarea"}) || !text ||
        (!text->empty() && node.Is({"input"}) && Lower(node.data.type) == "file")) {
      return false;
    }
    node.value = *text;
    return true;
  }
  std::optional<Answer> Call(Node& node, std::string_view name, std::span<const Value> arguments) {
    if (Rejects(name)) return std::nullopt;
    if (node.kind == Kind::kElement && name == "click") {
      ++node.clicks;
      return Answer();
    }
    if (arguments.size() != 1) return std::nullopt;
    const auto* text = std::get_if<Text>(&arguments[0]);
    Node collection(*this, Kind::kCollection);
    if (node.kind == Kind::kElement && name == "getElementsByTagName" && text != nullptr) {
      // Only the body has descendants; "*" means all of them.
      collection.tag = &node != body_ ? "\x01" : Lower(*text) == "*" ? "" : Lower(*text);
      return Make(std::move(collection));
    }
    if (node.kind != Kind::kCollection) return std::nullopt;
    if (name == "tags" && text != nullptr && node.tag.empty()) {
      collection.tag = Lower(*text);
      return Make(std::move(collection));
    }
    const auto* index = std::get_if<double>(&arguments[0]);
    if (name != "item" || index == nullptr) return std::nullopt;
    if (onItem_) onItem_(static_cast<int>(*index));
    const std::vector<Node*> elements = Attached(node.tag);
    if (*index < 0 || *index >= static_cast<double>(elements.size())) return Answer();
    return elements[static_cast<size_t>(*index)];
  }
  bool RaiseEvent(Node& node, std::string_view type) {
    if (Rejects("event") || node.kind != Kind::kElement) return false;
    node.events.push_back(std::string(type) + "=" + node.value);
    return true;
  }

 private:
  void Count(int& refs, int change) {  // a node's references, and the page's
    if (refs + change < 0) {
      overReleased_ = true;
      return;
    }
    refs += change;
    live_ += change;
#ifdef _WIN32
    APTTYPE type{};
    APTTYPEQUALIFIER qualifier{};
    if (live_ == 0 && CoGetApartmentType(&type, &qualifier) == CO_E_NOTINITIALIZED)
      releasedWithoutCom_ = true;
#endif
  }
  bool Rejects(std::string_view name) {
    ++calls_;
    return rejected_.count(name) != 0;
  }
  Node* Make(Node node) {
    return nodes_.emplace_back(std::make_unique<Node>(std::move(node))).get();
  }
  Node& at(int index) const { return *elements_.at(static_cast<size_t>(index)); }
  static std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  }
  std::vector<Node*> Attached(std::string_view tag) const {
    std::vector<Node*> out;
    for (Node* element : elements_)
      if (element->attached && (tag.empty() || element->data.tag == tag)) out.push_back(element);
    return out;
  }

  std::vector<std::unique_ptr<Node>> nodes_;  // everything, freed with the page
  std::vector<Node*> elements_;               // in document order, detached ones too
  Node* document_ = nullptr;
  Node* body_ = nullptr;
  std::set<std::string, std::less<>> rejected_;
  std::optional<double> lengthOverride_;
  std::function<void(int)> onItem_;
  int live_ = 0, calls_ = 0;
  bool overReleased_ = false;
  const int mode_;  // the browser control's document mode, which the IDispatch face follows
#ifdef _WIN32
  friend class ComFace;
  std::vector<std::shared_ptr<IDispatch>> faces_;
  std::vector<std::string> eventCalls_;
  bool releasedWithoutCom_ = false;
#endif
};

}  // namespace quillo::testing
