// The report model: plain values that describe a report template (page setup, bands,
// elements). Nothing here paints or lays out; see report_layout.h and page_painter.h.
//
// Lengths are whole 96-dpi design pixels (1 px = 25.4/96 mm), measured from the band's
// top-left corner for elements and from the sheet's top-left corner for pages.
#pragma once

#include <QColor>
#include <QString>
#include <deque>
#include <functional>

namespace etb::data {
class TDataSet;
}

namespace etb::reports {

inline constexpr double kMmPerDesignPx = 25.4 / 96.0;

// The whole design pixels a length in millimetres (given to 0.01 mm) stands for.
constexpr int designPxFromMm(double mm) {
    const double px = mm / kMmPerDesignPx;
    return static_cast<int>(px < 0 ? px - 0.5 : px + 0.5);
}
constexpr double mmFromDesignPx(double px) { return px * kMmPerDesignPx; }

enum class HAlign { Left, Center, Right };
enum class ReadingOrder { LeftToRight, RightToLeft };

struct FontSpec {
    QString family = QStringLiteral("Arial");
    int pointSize = 10;
    bool bold = false;
    QColor color = Qt::black;  // the window-text colour
};

struct PageSetup {
    double paperWidthMm = 210.0;  // A4 portrait
    double paperHeightMm = 297.0;
    double topMarginMm = 10.0;
    double bottomMarginMm = 10.0;
    double leftMarginMm = 10.0;
    double rightMarginMm = 10.0;
    int columns = 1;
    double columnSpaceMm = 0.0;
    FontSpec font;  // the report font: Arial 10 pt regular, black
    bool printIfEmpty = true;
};

enum class ElementKind { Label, DataText, Shape };

struct Element {
    QString name;  // "QRLabel34"
    ElementKind kind = ElementKind::Label;
    int leftPx = 0;
    int topPx = 0;
    int widthPx = 0;
    int heightPx = 0;
    bool enabled = true;

    // Labels and data texts.
    FontSpec font;
    HAlign alignment = HAlign::Left;
    bool alignToBand = false;  // the box itself is placed in the band by its alignment
    bool autoSize = false;
    bool wordWrap = true;
    bool transparent = false;  // false: the white background box is painted under the text
    QColor background = Qt::white;
    ReadingOrder readingOrder = ReadingOrder::LeftToRight;

    // Labels: the caption, and a handler that may replace the text for one printing.
    QString caption;
    std::function<void(QString& text)> onPrint;

    // Data texts: the column whose display text prints, in the data set.
    data::TDataSet* dataSet = nullptr;
    QString dataField;

    // Shapes: a rectangle with a solid fill and a solid pen.
    QColor brushColor = Qt::white;
    QColor penColor = Qt::black;
    int penWidthPx = 1;
};

enum class BandKind { Title, ColumnHeader, Detail };

struct Band {
    QString name;  // "DetailBand2"
    BandKind kind = BandKind::Detail;
    int heightPx = 0;
    // Elements print in this order; a later one paints over an earlier one. A deque keeps
    // the addresses of elements stable, so handlers may hold pointers to them.
    std::deque<Element> elements;
    std::function<void(Band& band)> beforePrint;

    Element& add(Element element) { return elements.emplace_back(std::move(element)); }
};

struct ReportTemplate {
    QString name;  // "QuickRep2"
    PageSetup page;
    std::deque<Band> bands;
    data::TDataSet* dataSet = nullptr;  // none for a template that reads no data

    Band& add(Band band) { return bands.emplace_back(std::move(band)); }
    Element* findElement(const QString& name);
    Band* findBand(const QString& name);
};

}  // namespace etb::reports
