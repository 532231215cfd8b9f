#include "dialer.h"

#include "gui_runtime.h"
#include "main_window.h"

namespace quillo::app {

std::unique_ptr<WebPageOperator>& Operator() {
  static std::unique_ptr<WebPageOperator> instance;
  return instance;
}

void AppendKey(std::string_view key) {
  Text number = ReadControlText(kNumberBox);
  number += key;
  WriteControlText(kNumberBox, number);
}

void PlaceCall() {
  WebPageOperator* dialer = Operator().get();
  if (dialer == nullptr) return;  // only before start-up, as in a test of the window alone
  dialer->Bind(ControlWindowHandle(kCallingBox));
  const Text number = ReadControlText(kNumberBox);
  dialer->FillTextBox("phone-number", number, 0);
  dialer->ClickButton("ext-gen69", 0);
}

void DoNothing() {}

void IgnoreMouse(int, int, int) {}

}  // namespace quillo::app
