// The main window Form1: the movement grid, the three buttons and the data components it
// owns (the movement table TB1, its data source DS1 and the statement query Q1).
#pragma once

#include "data/data_source.h"
#include "data/query.h"
#include "data/statement.h"
#include "data/table.h"

#include <QPushButton>
#include <QScrollArea>
#include <QWidget>
#include <functional>

namespace etb::reports {
class TForm2;
struct ReportTemplate;
}  // namespace etb::reports

namespace etb::app {

class MovementGrid;

class TForm1 : public QWidget {
    Q_OBJECT
public:
    // Design sizes in pixels. The window's outer size is 414 x 280; on a desktop whose
    // window manager draws the frame, the client area is held at the size it has inside
    // the classic frame (4-pixel borders, 19-pixel caption): 406 x 253.
    static constexpr int kOuterWidthPx = 414;
    static constexpr int kOuterHeightPx = 280;
    static constexpr int kClientWidthPx = 406;
    static constexpr int kClientHeightPx = 253;

    // Records the steps of creation and destruction ("Q1.open", "FormCreate", ...); may be
    // empty.
    using StepLog = std::function<void(const QString& step)>;

    // Creates the window and its components: the data components take their settings, the
    // statement query (active when loaded) runs, then FormCreate runs. An error of the query
    // leaves the constructor; an error of FormCreate is reported in a box and the window is
    // created with an empty grid.
    explicit TForm1(StepLog log = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    // The report host, once created (after this window).
    reports::TForm2* Form2 = nullptr;
    // How a preview is requested; tests replace it.
    std::function<void(reports::ReportTemplate&)> previewRequest;

    // Data components. Declared before the controls: the grid reads them until it is gone.
    data::TTable TB1;
    data::TQuery Q1;
    data::TDataSource DS1;
    data::TStringField* TB1Chp = nullptr;
    data::TStringField* TB1Art = nullptr;
    data::TStringField* TB1Type = nullptr;
    data::TFloatField* TB1Montant = nullptr;
    data::TFloatField* Q1N = nullptr;
    data::TStringField* Q1type = nullptr;
    data::TStringField* Q1MINOFchp = nullptr;
    data::TStringField* Q1MINOFart = nullptr;
    data::TFloatField* Q1SUMOFmontant = nullptr;

    QWidget* client() const { return m_client; }
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn3 = nullptr;
    MovementGrid* DBGrid2 = nullptr;
    QPushButton* BitBtn2 = nullptr;

    // Handlers. Errors they raise propagate; the button connections report them.
    void FormCreate();
    void FormDestroy();
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();

    // Places the window centred on the primary screen and shows it with the focus on the
    // first control in tab order.
    void showCentred();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void loadComponents();
    void createControls();
    void logStep(const QString& step) const;
    bool postBeforeClose();

    StepLog m_log;
    QScrollArea* m_scroll = nullptr;
    QWidget* m_client = nullptr;
    bool m_ending = false;        // the close was accepted: the program is ending
    bool m_closeRefused = false;  // the last close was refused because a post failed
};

}  // namespace etb::app
