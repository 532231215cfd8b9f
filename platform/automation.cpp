#include "automation.h"

#include <array>
#include <charconv>
#include <cmath>
#include <utility>

namespace quillo {
namespace {

Text AsText(const Value& value) {
  if (const auto* text = std::get_if<Text>(&value)) return *text;
  if (const auto* number = std::get_if<double>(&value)) {
    // The shortest text that reads back as the same number; no text for the non-finite ones,
    // and 0 without a sign.
    if (!std::isfinite(*number)) return {};
    if (*number == 0) return "0";
    std::array<char, 32> text{};
    const auto written = std::to_chars(text.data(), text.data() + text.size(), *number);
    return Text(text.data(), written.ptr);
  }
  return {};
}

double AsNumber(const Value& value) {
  if (const auto* number = std::get_if<double>(&value)) return *number;
  if (const auto* text = std::get_if<Text>(&value)) return TextToNumber(*text);
  return 0.0;
}

AutomationObject AsObject(Value&& value) {
  if (auto* object = std::get_if<AutomationObject>(&value)) return std::move(*object);
  return {};
}

std::optional<Value> GetValue(Dispatch* object, std::string_view name) {
  if (object == nullptr) return std::nullopt;
  return object->Get(name);
}

std::optional<Value> CallValue(Dispatch* object, std::string_view name,
                               std::span<const Value> arguments) {
  if (object == nullptr) return std::nullopt;
  return object->Call(name, arguments);
}

}  // namespace

AutomationObject AutomationObject::Adopt(Dispatch* object) noexcept {
  return AutomationObject(object);
}

AutomationObject AutomationObject::Share(Dispatch* object) noexcept {
  if (object != nullptr) object->AddRef();
  return AutomationObject(object);
}

AutomationObject::AutomationObject(const AutomationObject& other) noexcept
    : object_(other.object_) {
  if (object_ != nullptr) object_->AddRef();
}

AutomationObject::AutomationObject(AutomationObject&& other) noexcept
    : object_(std::exchange(other.object_, nullptr)) {}

AutomationObject& AutomationObject::operator=(const AutomationObject& other) noexcept {
  if (this != &other) {
    AutomationObject copy(other);
    std::swap(object_, copy.object_);
  }
  return *this;
}

AutomationObject& AutomationObject::operator=(AutomationObject&& other) noexcept {
  if (this != &other) {
    Release();
    object_ = std::exchange(other.object_, nullptr);
  }
  return *this;
}

AutomationObject::~AutomationObject() { Release(); }

void AutomationObject::Release() noexcept {
  // Cleared before the release, so a release that re-enters this handle sees it empty.
  if (Dispatch* object = std::exchange(object_, nullptr)) object->Release();
}

AutomationObject AutomationObject::GetObject(std::string_view name) const {
  auto value = GetValue(object_, name);
  return value ? AsObject(std::move(*value)) : AutomationObject();
}

Text AutomationObject::GetText(std::string_view name) const {
  auto value = GetValue(object_, name);
  return value ? AsText(*value) : Text();
}

double AutomationObject::GetNumber(std::string_view name) const {
  auto value = GetValue(object_, name);
  return value ? AsNumber(*value) : 0.0;
}

bool AutomationObject::PutText(std::string_view name, std::string_view value) const {
  return object_ != nullptr && object_->Put(name, Value(Text(value)));
}

void AutomationObject::Call(std::string_view name) const { CallValue(object_, name, {}); }

bool AutomationObject::RaiseEvent(std::string_view type) const {
  return object_ != nullptr && object_->RaiseEvent(type);
}

AutomationObject AutomationObject::CallObject(std::string_view name,
                                              std::string_view argument) const {
  const Value arguments[] = {Text(argument)};
  auto value = CallValue(object_, name, arguments);
  return value ? AsObject(std::move(*value)) : AutomationObject();
}

AutomationObject AutomationObject::CallObject(std::string_view name, double argument) const {
  const Value arguments[] = {argument};
  auto value = CallValue(object_, name, arguments);
  return value ? AsObject(std::move(*value)) : AutomationObject();
}

}  // namespace quillo
