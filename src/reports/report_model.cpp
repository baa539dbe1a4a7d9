// Look-ups in a report template by component name.
#include "report_model.h"

namespace etb::reports {

Element* ReportTemplate::findElement(const QString& elementName) {
    for (Band& band : bands)
        for (Element& element : band.elements)
            if (element.name == elementName)
                return &element;
    return nullptr;
}

Band* ReportTemplate::findBand(const QString& bandName) {
    for (Band& band : bands)
        if (band.name == bandName)
            return &band;
    return nullptr;
}

}  // namespace etb::reports
