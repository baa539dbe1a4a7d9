// Message boxes of the program and the replaceable handler that shows them.
#include "message_box.h"

#include "data/data_error.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <utility>

namespace etb::app {

namespace {

MessageBoxHandler& currentHandler() {
    static MessageBoxHandler handler;
    return handler;
}

QString messageOf(const std::exception& error) {
    if (const auto* dataError = dynamic_cast<const data::DataError*>(&error))
        return dataError->message();
    return QString::fromUtf8(error.what());
}

QString classNameOf(const std::exception& error) {
    if (const auto* dataError = dynamic_cast<const data::DataError*>(&error))
        return QString::fromLatin1(dataError->className());
    return QStringLiteral("Exception");
}

}  // namespace

ScopedMessageBoxHandler::ScopedMessageBoxHandler(MessageBoxHandler handler)
    : m_previous(std::exchange(currentHandler(), std::move(handler))) {}

ScopedMessageBoxHandler::~ScopedMessageBoxHandler() {
    currentHandler() = std::move(m_previous);
}

QMessageBox::StandardButton showMessageBox(const MessageBoxRequest& request) {
    if (currentHandler())
        return currentHandler()(request);
    return execMessageBox(request);
}

QMessageBox::StandardButton execMessageBox(const MessageBoxRequest& request,
                                           const std::function<void(QMessageBox&)>& whileShown) {
    const QPointer<QWidget> focused = QApplication::focusWidget();
    QMessageBox box(request.icon, request.title, request.text, request.buttons);
    // Qt has no task-modal level of its own: application-modal blocks every window of the
    // program, which is what a task-modal box does.
    box.setWindowModality(Qt::ApplicationModal);
    // Enter answers the first button (OK), as the platform's boxes do.
    if (request.buttons & QMessageBox::Ok)
        box.setDefaultButton(QMessageBox::Ok);
    if (QAbstractButton* cancel = box.button(QMessageBox::Cancel))
        cancel->setText(QStringLiteral("Annuler"));
    if (whileShown)
        whileShown(box);
    const auto answer = static_cast<QMessageBox::StandardButton>(box.exec());
    // A cell editor waiting for a correction, or the grid, gets its keys again.
    if (focused) {
        focused->activateWindow();
        focused->setFocus(Qt::OtherFocusReason);
    }
    return answer;
}

QString applicationTitle() {
    const QString name = QCoreApplication::applicationName();
    if (!name.isEmpty())
        return name;
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

QString withFullStop(const QString& message) {
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

QString startupFailureText(const QString& className, const QString& moduleName, quintptr address,
                           const QString& message) {
    const auto address32 = static_cast<quint32>(address & 0xFFFFFFFFu);
    return QStringLiteral("Exception %1 dans le module %2 dans %3.\n%4")
        .arg(className, moduleName,
             QStringLiteral("%1").arg(address32, 8, 16, QLatin1Char('0')).toUpper(),
             withFullStop(message));
}

void reportError(const QString& message) {
    showMessageBox(
        {applicationTitle(), withFullStop(message), QMessageBox::Critical, QMessageBox::Ok, false});
}

void reportError(const std::exception& error) {
    reportError(messageOf(error));
}

void reportStartupFailure(const std::exception& error, quintptr address) {
    const QString module = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    showMessageBox({QStringLiteral("Erreur d'application"),
                    startupFailureText(classNameOf(error), module, address, messageOf(error)),
                    QMessageBox::Critical, QMessageBox::Ok, true});
}

bool runHandler(const std::function<void()>& action) {
    try {
        action();
        return true;
    } catch (const std::exception& error) {
        reportError(error);
        return false;
    }
}

}  // namespace etb::app
