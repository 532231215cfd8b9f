// Automation objects over the system's IDispatch: by-name reads, writes and calls go through
// GetIDsOfNames and Invoke, and VARIANTs turn into the program's values and back. Texts
// cross as BSTRs through GB18030 (text.h). Every failure is quiet.
#pragma once

#include <optional>

#include "automation.h"
#include "scoped_win.h"

namespace quillo::win32 {

// A handle with a reference of its own to the object's IDispatch (which the object is asked
// for); empty when it has none.
AutomationObject WrapUnknown(IUnknown* object);

// The IDispatch behind a handle made here, or nullptr (empty, or another backend's object).
// The handle keeps the reference.
IDispatch* DispatchOf(const AutomationObject& object);

// Nothing for VT_EMPTY and VT_NULL, a number for the numeric types and VT_BOOL (1 or 0), a
// text for VT_BSTR, an object for VT_DISPATCH and VT_UNKNOWN; std::nullopt for anything else.
std::optional<Value> ValueFromVariant(const VARIANT& variant);

// Fills an empty VARIANT: VT_EMPTY, VT_I4 for a whole number that fits, else VT_R8, VT_BSTR
// or VT_DISPATCH. False when the value cannot cross (an object of another backend).
bool VariantFromValue(const Value& value, VARIANT& variant);

}  // namespace quillo::win32
