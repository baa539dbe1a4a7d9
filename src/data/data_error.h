// The one exception type of the data layer. It carries the French sentence a user sees,
// apart from the technical detail (file, block, offset) that helps a developer.
#pragma once

#include <QByteArray>
#include <QString>
#include <exception>
#include <utility>

namespace etb::data {

class DataError : public std::exception {
public:
    // What went wrong, for callers and tests that need to tell errors apart.
    enum class Kind {
        NotFound,     // directory, table file, field or column missing
        Locked,       // the table is in use by another program
        Corrupt,      // the file is not a readable table
        ReadOnly,     // the table cannot be changed (keyed, encrypted, write-protected, read-only)
        Io,           // the system refused a read, write, sync or rename
        Convert,      // a text could not be turned into a value
        FieldType,    // a field object does not match the table's field
        State,        // the operation does not fit the data set's state
        Sql,          // the statement could not run
    };

    // className is the error class named in start-up failure reports
    // ("EDatabaseError", "EDBEngineError", "EConvertError").
    DataError(Kind kind, QString message, QString detail = {},
              const char* className = "EDatabaseError")
        : m_kind(kind),
          m_message(std::move(message)),
          m_detail(std::move(detail)),
          m_className(className),
          m_what(m_message.toUtf8()) {}

    Kind kind() const noexcept { return m_kind; }
    const QString& message() const noexcept { return m_message; }
    const QString& detail() const noexcept { return m_detail; }
    const char* className() const noexcept { return m_className; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    Kind m_kind;
    QString m_message;
    QString m_detail;
    const char* m_className;
    QByteArray m_what;
};

}  // namespace etb::data
