// The fixed sample page QuickRep1 (placeholder until it is built).
#include "form2.h"

namespace etb::reports {

void buildQuickRep1(ReportTemplate& report) {
    report.name = QStringLiteral("QuickRep1");
}

}  // namespace etb::reports
