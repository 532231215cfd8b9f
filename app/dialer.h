// The dialer's handlers and its one operator. AppendKey and PlaceCall act only through the
// GUI runtime's services and the operator; they keep no state and examine no result.
#pragma once

#include <memory>
#include <string_view>

#include "web_page_operator.h"

namespace quillo::app {

// The operator variable: set by the start-up routine, used by PlaceCall, destroyed by the
// end routine.
std::unique_ptr<WebPageOperator>& Operator();

// A dial pad key: reads the number box, appends key (one character) and writes it back.
// Whatever the caret or the selection, the character goes at the very end.
void AppendKey(std::string_view key);

// The call button: binds the operator to the hidden browser box, reads the number box
// afresh, writes the number into the page's "phone-number" and clicks "ext-gen69".
void PlaceCall();

// The handlers bound to events that need no action.
void DoNothing();
void IgnoreMouse(int x, int y, int keys);

}  // namespace quillo::app
