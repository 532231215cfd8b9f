#include "fake_page.h"

#include <algorithm>

#ifdef _WIN32
#include "automation_win32.h"
#endif

namespace quillo::testing {
namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

using Kind = FakePage::Node::Kind;

}  // namespace

bool FakePage::Node::Is(std::initializer_list<std::string_view> tags) const {
  return std::find(tags.begin(), tags.end(), data.tag) != tags.end();
}

std::optional<Value> FakePage::Node::ByName(std::optional<Answer> answer) {
  if (!answer) return std::nullopt;
  if (Node** node = std::get_if<Node*>(&*answer)) return AutomationObject::Share(*node);
  if (double* number = std::get_if<double>(&*answer)) return *number;
  if (Text* text = std::get_if<Text>(&*answer)) return std::move(*text);
  return Value();
}

FakePage::FakePage(const std::vector<PageElement>& elements, [[maybe_unused]] int documentMode)
#ifdef _WIN32
    : mode_(documentMode)
#endif
{
  document_ = Make(Node(*this, Kind::kDocument));
  Node body(*this, Kind::kElement);
  body.data.tag = "body";
  body_ = Make(std::move(body));
  for (const PageElement& data : elements) Add(data);
}

FakePage::~FakePage() = default;

FakePage::Node* FakePage::Make(Node node) {
  return nodes_.emplace_back(std::make_unique<Node>(std::move(node))).get();
}

int FakePage::Add(const PageElement& data) {
  Node element(*this, Kind::kElement);
  element.data = data;
  element.index = static_cast<int>(elements_.size());
  elements_.push_back(Make(std::move(element)));
  return elements_.back()->index;
}

void FakePage::Remove(int index) { elements_.at(static_cast<size_t>(index))->attached = false; }

AutomationObject FakePage::Document() { return AutomationObject::Share(document_); }

void FakePage::Released() {
  --live_;
#ifdef _WIN32
  APTTYPE type{};
  APTTYPEQUALIFIER qualifier{};
  if (live_ == 0 && CoGetApartmentType(&type, &qualifier) == CO_E_NOTINITIALIZED) {
    releasedWithoutCom_ = true;
  }
#endif
}

std::vector<FakePage::Node*> FakePage::Attached(std::string_view tag) const {
  std::vector<Node*> out;
  for (Node* element : elements_) {
    if (element->attached && (tag.empty() || element->data.tag == tag)) out.push_back(element);
  }
  return out;
}

std::optional<FakePage::Answer> FakePage::Get(Node& node, std::string_view name) {
  if (Rejects(name)) return std::nullopt;
  if (node.kind == Kind::kDocument && name == "body") return body_;
  if (node.kind == Kind::kCollection && name == "length") {
    return lengthOverride_.value_or(static_cast<double>(Attached(node.tag).size()));
  }
  if (node.kind != Kind::kElement) return std::nullopt;
  const PageElement& data = node.data;
  if (name == "type") {
    // As browsers report it: in lower case; inputs of no or an unknown type are text, buttons
    // submit.
    static const std::set<std::string, std::less<>> inputTypes = {
        "button", "checkbox", "color", "date",   "datetime-local", "email",
        "file",   "hidden",   "image", "month",  "number",         "password",
        "radio",  "range",    "reset", "search", "submit",         "tel",
        "text",   "time",     "url",   "week"};
    const std::string type = Lower(data.type);
    if (data.tag == "input") return Text(inputTypes.count(type) != 0 ? type : "text");
    if (data.tag == "button") return Text(type == "button" || type == "reset" ? type : "submit");
    if (data.tag == "textarea") return Text("textarea");
    return std::nullopt;
  }
  if (name == "name" && node.Is({"input", "button", "textarea", "select", "a", "form"})) {
    return Text(data.name);
  }
  if (name == "id") return Text(data.id);
  if (name == "title") return Text(data.title);
  if (name == "value" && node.Is({"input", "button", "textarea"})) return Text(node.value);
  if (name == "all") {  // only the body has descendants in this flat page
    Node all(*this, Kind::kCollection);
    all.tag = &node == body_ ? "" : "\x01";
    return Make(std::move(all));
  }
  return std::nullopt;
}

bool FakePage::Put(Node& node, std::string_view name, const Value& value) {
  if (Rejects(name)) return false;
  if (name != "value" || !node.Is({"input", "button", "textarea"})) return false;
  const auto* text = std::get_if<Text>(&value);
  if (text == nullptr) return false;
  // A file input takes no text but the empty one.
  if (!text->empty() && node.data.tag == "input" && Lower(node.data.type) == "file") return false;
  node.value = *text;
  return true;
}

std::optional<FakePage::Answer> FakePage::Call(Node& node, std::string_view name,
                                               std::span<const Value> arguments) {
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

bool FakePage::RaiseEvent(Node& node, std::string_view type) {
  if (Rejects("event") || node.kind != Kind::kElement) return false;
  node.events.push_back(std::string(type) + "=" + node.value);
  return true;
}

const PageElement& FakePage::element(int index) const {
  return elements_.at(static_cast<size_t>(index))->data;
}

const std::string& FakePage::value(int index) const {
  return elements_.at(static_cast<size_t>(index))->value;
}

int FakePage::clicks(int index) const { return elements_.at(static_cast<size_t>(index))->clicks; }

const std::vector<std::string>& FakePage::events(int index) const {
  return elements_.at(static_cast<size_t>(index))->events;
}

int FakePage::IndexOf(const AutomationObject& object) const {
  for (const Node* element : elements_) {
    if (object.get() == element) return element->index;
#ifdef _WIN32
    if (element->face != nullptr && win32::DispatchOf(object) == element->face) {
      return element->index;
    }
#endif
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
