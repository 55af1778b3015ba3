// A stored page as an HTML page (the preview's command "Page en HTML"): its texts as absolutely
// placed cells in their fonts and colours, its lines and rectangles as bordered boxes, in
// Windows-1252 as the page holds them. Pictures and barcodes are left out.
#pragma once

#include <string>
#include <string_view>

#include "reports/engine/core/page_store.h"

namespace reports {

std::string PageAsHtml(const PreviewPage& page, std::string_view title);

}  // namespace reports
