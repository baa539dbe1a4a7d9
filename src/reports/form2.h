// The report host: owns the two report templates and their handlers. Never shown.
#pragma once

#include "report_model.h"

namespace etb::data {
class TDataSet;
}

namespace etb::reports {

class TForm2 {
public:
    // q1 is the statement query the statement report reads (the main window's Form1.Q1).
    // The handlers are bound to this object: it is neither copied nor moved.
    explicit TForm2(data::TDataSet* q1);
    TForm2(const TForm2&) = delete;
    TForm2& operator=(const TForm2&) = delete;

    ReportTemplate QuickRep1;  // the fixed sample page
    ReportTemplate QuickRep2;  // "ETAT DE MOUVEMENT BUDGETAIRE"

    // Handlers of QuickRep2.
    void DetailBand2BeforePrint(Band& band);
    void QRLabel34Print(QString& text);

private:
    data::TDataSet* m_q1;
    // Elements of QuickRep2 that the handlers change.
    Element* QRDBText1 = nullptr;
    Element* QRDBText2 = nullptr;
    Element* QRShape32 = nullptr;
    Element* QRShape33 = nullptr;
    Element* QRShape34 = nullptr;
    Element* QRLabel34 = nullptr;
};

// Builders of the two templates' fixed parts (statement_report.cpp, sample_report.cpp).
void buildQuickRep1(ReportTemplate& report);
void buildQuickRep2(ReportTemplate& report, data::TDataSet* q1);

}  // namespace etb::reports
