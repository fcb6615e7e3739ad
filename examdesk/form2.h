// The test window: the bar across the top of the screen with Start, previous, next, Submit and the labels.
#pragma once

#include "examdesk/testsession.h"
#include "examdesk/views.h"

#include <QPointer>
#include <QRect>
#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;
class QTimer;

namespace examdesk {


class Form2 : public QWidget
{
    Q_OBJECT
public:
    // What differs between a real run and a test.
    struct Seams {
        TestSession::Clock clock;
        TestSession::Sender send;
        // Shows a warning and returns once the candidate has read it.
        std::function<void(const QString &title, const QString &text)> warn;
        // Tells the candidate something that went right, and returns once it has been read;
        // unset: nothing is shown.
        std::function<void(const QString &title, const QString &text)> inform;
        QString programFolder;
        QString spareFolder; // for the result copy when the paper's folder does not take it
        int tickIntervalMs = 1000;
        QRect screen; // the screen's geometry; empty for the primary screen's
    };

    Form2(const CmultiLanguage &table, const QString &paperPath, Seams seams);

    QPushButton *Command6; // Start
    QPushButton *Command3; // previous
    QPushButton *Command1; // next
    QPushButton *Command4; // Submit
    QLabel *Label1;        // remaining time
    QLabel *Label2;        // question number
    QLabel *Label3;        // total marks
    QTimer *Timer1;

    TestSession &session() { return m_session; }
    subject *currentView() const { return m_currentView; }
    // 0 once the result was handed over (or kept), 1 when the paper could not be taken.
    int exitCode() const { return m_exitCode; }

public slots:
    void startTest();
    void nextQuestion();
    void previousQuestion();
    void timerTick();
    void submitTest();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void showCurrentQuestion();
    void showCount();
    void moveBy(int step);
    void closeCurrentView();
    void endWith(int exitCode);
    int twips(int value) const { return examdesk::twips(this, value); }
    void placeTotalLabel();

    const CmultiLanguage &m_table;
    Seams m_seams;
    TestSession m_session;
    QPointer<subject> m_currentView;
    bool m_mayClose = false;
    int m_exitCode = 0;
};

} // namespace examdesk
