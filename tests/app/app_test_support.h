// Helpers shared by the application tests: a recorder that answers message boxes, an
// in-memory data set that can be told to refuse posts, and a working directory laid out as
// the program expects (W next to Dozor/Data_Db).
#pragma once

#include "app/message_box.h"
#include "data/data_error.h"
#include "data/data_set.h"
#include "data/field.h"
#include "data/paradox_table.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <deque>
#include <optional>
#include <vector>

namespace etb::app::testing {

inline QApplication& application() {
    return static_cast<QApplication&>(*QCoreApplication::instance());
}

// Records every box and answers with the queued buttons (OK once the queue is empty).
// With showBoxes set, each box is really shown (modal, taking the focus as a user's box
// does) and answered as soon as its event loop runs.
struct BoxRecorder {
    std::vector<MessageBoxRequest> boxes;
    std::deque<QMessageBox::StandardButton> answers;
    bool showBoxes = false;

    MessageBoxHandler handler() {
        return [this](const MessageBoxRequest& request) {
            boxes.push_back(request);
            auto answer = QMessageBox::Ok;
            if (!answers.empty()) {
                answer = answers.front();
                answers.pop_front();
            }
            if (showBoxes)
                return execMessageBox(request, [answer](QMessageBox& box) {
                    QTimer::singleShot(50, &box, [&box, answer] { box.done(answer); });
                });
            return answer;
        };
    }
};

// A movement row as the tests write it: Chp, Art, Type, Montant (nullopt: blank amount).
struct Movement {
    QString chp;
    QString art;
    QString type;
    std::optional<double> montant;
};

// The movement fields over rows held in memory; posts can be made to fail.
class MemoryDataSet : public data::TDataSet {
public:
    explicit MemoryDataSet(std::vector<Movement> movements = {}) {
        for (const Movement& m : movements)
            rows.push_back({m.chp.isEmpty() ? QVariant() : QVariant(m.chp),
                            m.art.isEmpty() ? QVariant() : QVariant(m.art),
                            m.type.isEmpty() ? QVariant() : QVariant(m.type),
                            m.montant ? QVariant(*m.montant) : QVariant()});
        chp = addField<data::TStringField>(QStringLiteral("Chp"), 3);
        chp->setAlignment(Qt::AlignCenter);
        art = addField<data::TStringField>(QStringLiteral("Art"), 3);
        art->setAlignment(Qt::AlignCenter);
        type = addField<data::TStringField>(QStringLiteral("Type"), 8);
        type->setAlignment(Qt::AlignCenter);
        montant = addField<data::TFloatField>(QStringLiteral("Montant"));
        montant->setAlignment(Qt::AlignRight);
        montant->setDisplayFormat(QStringLiteral("##,##0.00"));
    }

    std::vector<std::vector<QVariant>> rows;
    bool failPosts = false;
    int stores = 0;  // successful updates, inserts and deletes
    data::TStringField* chp;
    data::TStringField* art;
    data::TStringField* type;
    data::TFloatField* montant;

    bool canModify() const override { return true; }

protected:
    void doOpen() override {
        bindFields({{QStringLiteral("Chp"), data::FieldType::String},
                    {QStringLiteral("Art"), data::FieldType::String},
                    {QStringLiteral("Type"), data::FieldType::String},
                    {QStringLiteral("Montant"), data::FieldType::Float}});
    }
    void doClose() override {}
    qint64 storedRowCount() const override { return static_cast<qint64>(rows.size()); }
    QVariant storedValue(qint64 row, int field) const override {
        return rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(field)];
    }
    void storeUpdate(qint64 row, const std::vector<QVariant>& values,
                     const std::vector<bool>& changed) override {
        refuseIfAsked();
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (changed[i])
                rows[static_cast<std::size_t>(row)][i] = values[i];
        }
        ++stores;
    }
    void storeInsert(qint64 beforeRow, const std::vector<QVariant>& values) override {
        refuseIfAsked();
        rows.insert(rows.begin() + beforeRow, values);
        ++stores;
    }
    void storeDelete(qint64 row) override {
        refuseIfAsked();
        rows.erase(rows.begin() + row);
        ++stores;
    }

private:
    void refuseIfAsked() const {
        if (failPosts)
            throw data::DataError(data::DataError::Kind::Io,
                                  QStringLiteral("Erreur d'écriture sur le disque"));
    }
};

// A temporary tree root/W (the working directory while the object lives) and
// root/Dozor/Data_Db, the program's data directory seen from W.
class WorkDir {
public:
    explicit WorkDir(bool withDataDirectory = true) : m_previous(QDir::currentPath()) {
        QDir root(m_root.path());
        root.mkpath(QStringLiteral("W"));
        if (withDataDirectory)
            root.mkpath(QStringLiteral("Dozor/Data_Db"));
        QDir::setCurrent(root.filePath(QStringLiteral("W")));
    }
    ~WorkDir() { QDir::setCurrent(m_previous); }
    WorkDir(const WorkDir&) = delete;
    WorkDir& operator=(const WorkDir&) = delete;

    QString tablePath() const {
        return QDir(m_root.path()).filePath(QStringLiteral("Dozor/Data_Db/DozorDb.db"));
    }

    void createMovements(const std::vector<Movement>& movements) const {
        data::ParadoxTable::createMovementTable(tablePath());
        auto table = data::ParadoxTable::open(tablePath(), data::ParadoxTable::Access::Write);
        for (const Movement& m : movements)
            table->appendRow({QVariant(m.chp), QVariant(m.art), QVariant(m.type),
                              m.montant ? QVariant(*m.montant) : QVariant()});
    }

    // A table of other fields, for the failures of opening.
    void createTable(const std::vector<data::ParadoxField>& fields) const {
        data::ParadoxTable::create(tablePath(), fields);
    }

    std::vector<data::ParadoxRow> readRows() const {
        auto table = data::ParadoxTable::open(tablePath(), data::ParadoxTable::Access::Read);
        std::vector<data::ParadoxRow> rows;
        for (qint64 row = 0; row < table->rowCount(); ++row)
            rows.push_back(table->row(row));
        return rows;
    }

private:
    QTemporaryDir m_root;
    QString m_previous;
};

inline std::vector<Movement> sampleMovements() {
    return {{QStringLiteral("900"), QStringLiteral("900"), QStringLiteral("DEPENSE"), 20000},
            {QStringLiteral("900"), QStringLiteral("901"), QStringLiteral("DEPENSE"), 350000},
            {QStringLiteral("900"), QStringLiteral("900"), QStringLiteral("RECETTE"), 100000}};
}

}  // namespace etb::app::testing
