#include "page_bridge.h"

namespace quillo::qt {

PageBridge::PageBridge(QWebEnginePage* page) : page_(page) {}

PageBridge::~PageBridge() = default;

std::optional<LRESULT> PageBridge::DocumentRequest(unsigned, bool) { return std::nullopt; }

}  // namespace quillo::qt
