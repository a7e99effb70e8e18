#include "transfer/status_lines.h"

#include "resources/control_ids.h"

platform::WindowHandle mainDialog = nullptr;

void setStatusText(const char* text, int line) {
    if (line == 0) {
        platform::setControlText(mainDialog, IDC_STATUS_LINE_0, text);
    } else if (line == 1) {
        platform::setControlText(mainDialog, IDC_STATUS_LINE_1, text);
    }
}
