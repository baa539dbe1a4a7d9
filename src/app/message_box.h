// Message boxes of the program: error reports, the start-up failure report and the delete
// prompt. Every box goes through one function, which tests can replace to answer boxes
// without showing them.
#pragma once

#include <QMessageBox>
#include <QString>
#include <exception>
#include <functional>

namespace etb::app {

struct MessageBoxRequest {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    bool taskModal = false;  // modal for the whole application, not only for one window
};

// Shows the box and returns the button that closed it.
using MessageBoxHandler = std::function<QMessageBox::StandardButton(const MessageBoxRequest&)>;

// Replaces the handler for as long as the returned guard lives (an empty handler restores
// the real boxes).
class ScopedMessageBoxHandler {
public:
    explicit ScopedMessageBoxHandler(MessageBoxHandler handler);
    ~ScopedMessageBoxHandler();
    ScopedMessageBoxHandler(const ScopedMessageBoxHandler&) = delete;
    ScopedMessageBoxHandler& operator=(const ScopedMessageBoxHandler&) = delete;

private:
    MessageBoxHandler m_previous;
};

QMessageBox::StandardButton showMessageBox(const MessageBoxRequest& request);

// Shows the box itself, whatever the handler (whileShown runs just before the box's event
// loop starts). The focus goes back to the widget that had it when the box closes.
QMessageBox::StandardButton execMessageBox(
    const MessageBoxRequest& request, const std::function<void(QMessageBox&)>& whileShown = {});

// The application's title: the program file's name (no title of its own is set).
QString applicationTitle();

// The message followed by a full stop when its last character sorts after "." (a message
// that already ends with ".", "!" or a blank gets none).
QString withFullStop(const QString& message);

// "Exception %s dans le module %s dans %p." and, on the next line, the message with the
// full stop rule; the address is written as 8 upper-case hexadecimal digits.
QString startupFailureText(const QString& className, const QString& moduleName, quintptr address,
                           const QString& message);

// Error box for an error raised by a handler: error icon, OK, the application's title.
void reportError(const QString& message);
void reportError(const std::exception& error);

// The start-up failure report: task-modal, error icon, titled "Erreur d'application".
void reportStartupFailure(const std::exception& error, quintptr address);

// Runs an action the way an event handler runs: an error it raises is reported in a box
// and the program goes on. Returns false when the action raised an error.
bool runHandler(const std::function<void()>& action);

}  // namespace etb::app
