// One form element of a test page, as data: the fake page builds it directly and the real
// browser engine loads it as HTML, so the same table of cases runs against both.
#pragma once

#include <string>
#include <vector>

namespace quillo::testing {

struct PageElement {
  std::string tag = {};   // "input", "button", "textarea", "a", "div", ...
  std::string type = {};  // the type attribute; empty: none (inputs read "text", buttons "submit")
  std::string name = {};
  std::string id = {};
  std::string title = {};
};

// The elements as the body of an HTML page (UTF-8), each with a data-index attribute.
std::string ToHtml(const std::vector<PageElement>& elements);

}  // namespace quillo::testing
