// Preview requests (placeholder until the preview window is built).
#include "preview.h"

namespace etb::reports {

void preview(ReportTemplate&) {}

}  // namespace etb::reports
