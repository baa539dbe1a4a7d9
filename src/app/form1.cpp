// The main window Form1: its controls, its data components and its handlers.
#include "form1.h"

#include "message_box.h"
#include "movement_grid.h"
#include "reports/form2.h"
#include "reports/preview.h"
#include "ui_font.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

namespace etb::app {

TForm1::TForm1(StepLog log, QWidget* parent) : QWidget(parent), m_log(std::move(log)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Form1"));
    previewRequest = [](reports::ReportTemplate& report) { reports::preview(report); };
    createControls();
    try {
        loadComponents();
    } catch (...) {
        DBGrid2->setDataSource(nullptr);
        throw;
    }
    // An error of the create handler is reported; the window is still created.
    runHandler([this] { FormCreate(); });
    DBGrid2->movementModel()->settle();
}

TForm1::~TForm1() {
    try {
        FormDestroy();
    } catch (const std::exception& error) {
        reportError(error);
    }
    DBGrid2->setDataSource(nullptr);
}

void TForm1::logStep(const QString& step) const {
    if (m_log)
        m_log(step);
}

void TForm1::createControls() {
    // The client area keeps its design size; the scroll area shows scroll bars when the
    // window is made smaller than it.
    QPalette buttonFace = palette();
    buttonFace.setColor(QPalette::Window, buttonFace.color(QPalette::Button));
    setPalette(buttonFace);
    setAutoFillBackground(true);
    setFont(sansSerifFont(false));

    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(false);
    m_scroll->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_scroll->viewport()->setBackgroundRole(QPalette::Window);
    m_scroll->viewport()->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_scroll);

    m_client = new QWidget;
    m_client->setObjectName(QStringLiteral("Form1Client"));
    m_client->setFixedSize(kClientWidthPx, kClientHeightPx);
    m_client->setAutoFillBackground(true);

    const auto makeButton = [this](const char* name, const QString& caption, QRect geometry) {
        auto* button = new QPushButton(caption, m_client);
        button->setObjectName(QLatin1String(name));
        button->setGeometry(geometry);
        button->setFont(sansSerifFont(true));
        button->setAutoDefault(false);
        button->setDefault(false);
        button->setFocusPolicy(Qt::StrongFocus);
        return button;
    };
    BitBtn1 = makeButton("BitBtn1", QStringLiteral("Résultat qui je besoin"), {248, 8, 139, 25});
    BitBtn3 = makeButton("BitBtn3", QStringLiteral("FERMER"), {24, 8, 75, 25});
    DBGrid2 = new MovementGrid(m_client);
    DBGrid2->setObjectName(QStringLiteral("DBGrid2"));
    DBGrid2->setGeometry(8, 40, 385, 193);
    BitBtn2 = makeButton("BitBtn2", QStringLiteral("Imprimer"), {128, 8, 75, 25});
    m_scroll->setWidget(m_client);

    setTabOrder(BitBtn1, BitBtn3);
    setTabOrder(BitBtn3, DBGrid2);
    setTabOrder(DBGrid2, BitBtn2);

    const auto connectClick = [this](QPushButton* button, void (TForm1::*handler)()) {
        connect(button, &QPushButton::clicked, this,
                [this, handler] { runHandler([this, handler] { (this->*handler)(); }); });
    };
    connectClick(BitBtn1, &TForm1::BitBtn1Click);
    connectClick(BitBtn2, &TForm1::BitBtn2Click);
    connectClick(BitBtn3, &TForm1::BitBtn3Click);

    resize(kClientWidthPx, kClientHeightPx);
}

void TForm1::loadComponents() {
    const QString databaseName = data::defaultDatabaseName();
    const data::MovementFields movement = data::configureMovementTable(TB1, databaseName);
    TB1Chp = movement.TB1Chp;
    TB1Art = movement.TB1Art;
    TB1Type = movement.TB1Type;
    TB1Montant = movement.TB1Montant;
    const data::StatementFields statement = data::configureStatementQuery(Q1, databaseName);
    Q1N = statement.Q1N;
    Q1type = statement.Q1type;
    Q1MINOFchp = statement.Q1MINOFchp;
    Q1MINOFart = statement.Q1MINOFart;
    Q1SUMOFmontant = statement.Q1SUMOFmontant;
    DS1.dataSet = &TB1;
    DBGrid2->setDataSource(&DS1);
    DBGrid2->setColumnWidths({44, 44, 83, 102});

    // The query is active when loaded: it runs once every component has its settings.
    logStep(QStringLiteral("Q1.open"));
    Q1.open();
}

void TForm1::FormCreate() {
    logStep(QStringLiteral("FormCreate"));
    logStep(QStringLiteral("TB1.open"));
    TB1.open();
    logStep(QStringLiteral("Q1.open"));
    Q1.open();
}

void TForm1::FormDestroy() {
    logStep(QStringLiteral("FormDestroy"));
    logStep(QStringLiteral("TB1.close"));
    TB1.close();
    logStep(QStringLiteral("Q1.close"));
    Q1.close();
}

void TForm1::BitBtn1Click() {
    previewRequest(Form2->QuickRep1);
}

void TForm1::BitBtn2Click() {
    // A row still being edited goes to the table first, as leaving it in the grid would.
    if (!DBGrid2->postPendingRow())
        return;
    previewRequest(Form2->QuickRep2);
}

void TForm1::BitBtn3Click() {
    close();
}

bool TForm1::postBeforeClose() {
    if (DBGrid2->postPendingRow()) {
        m_closeRefused = false;
        return true;
    }
    // Refused once: the next close ends the program whatever the row holds.
    if (m_closeRefused)
        return true;
    m_closeRefused = true;
    return false;
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (!m_ending && !postBeforeClose()) {
        event->ignore();
        return;
    }
    m_ending = true;
    event->accept();
    logStep(QStringLiteral("Application.Terminate"));
    // exit() rather than quit(): it ends a waiting preview's event loop too and asks no
    // other window whether it may close.
    QCoreApplication::exit(0);
}

void TForm1::showCentred() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->geometry();
        const int left = std::max(0, (area.width() - kOuterWidthPx) / 2);
        const int top = std::max(0, (area.height() - kOuterHeightPx) / 2);
        move(area.x() + left, area.y() + top);
    }
    BitBtn1->setFocus();
    show();
    activateWindow();
    BitBtn1->setFocus();
}

}  // namespace etb::app
