// The login window: the ID box, login and setting buttons, the status line and the retry of a delivery.
#pragma once

#include "entrant/client.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace entrant {

class Form1 : public QWidget
{
    Q_OBJECT
public:
    explicit Form1(Client &client, QWidget *parent = nullptr);

    QLabel *Label2;         // caption of the ID box
    QLineEdit *Text1;       // the ID or name
    QPushButton *Command1;  // login
    QPushButton *Command3;  // the server address
    QLabel *Label1;         // status line
    QPushButton *CmdSubmit; // another try at delivering the result
    QPushButton *CmdRestart; // the test program again, after it ended without a result

    // Shows the window and, when no server address is set, asks for one.
    void start();
    // Asks for the server address; the answer is stored once given.
    void promptServerAddress();
    // The open address prompt or closing question, for tests and the keyboard.
    QInputDialog *addressPrompt() const { return m_prompt; }
    QMessageBox *closeQuestion() const { return m_closeQuestion; }

signals:
    // The window was closed for good: by the candidate, or after the delivery.
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void applyLanguage();
    void showView();
    void placeControls();

    Client &m_client;
    QPointer<QInputDialog> m_prompt;
    QPointer<QMessageBox> m_closeQuestion;
    bool m_started = false;
    bool m_mayClose = false;
};

} // namespace entrant
