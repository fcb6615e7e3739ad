// The login window driven from the keyboard through its states, in both languages.
#include "entrant/form1.h"
#include "tests/entrant/clientfixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using entrant::Form1;
using entrant::State;

namespace {

TEST_F(ClientTest, WindowShowsEveryTextWholeInBothLanguages)
{
    for (int lcid : { 1033, 2052 }) {
        m_clients[0].reset();
        Form1 form(client(0, lcid));
        form.start();
        EXPECT_EQ(form.windowTitle(), lcid == 2052 ? QStringLiteral("Orla客户端程序V1.1") : QStringLiteral("ZeloClientV1.1"));
        EXPECT_EQ(form.Label1->text(), text(entrant::text::IdLimit));
        EXPECT_EQ(form.focusWidget(), form.Text1);
        EXPECT_FALSE(form.CmdSubmit->isVisible());
        for (QWidget *w : form.findChildren<QWidget *>()) {
            EXPECT_TRUE(form.rect().contains(w->geometry())) << w->objectName().toStdString();
            if (w != form.Label1) {
                EXPECT_GE(w->width(), w->sizeHint().width()) << w->objectName().toStdString();
            }
        }
        // A long status line wraps inside the window instead of being cut.
        writeSettings(QStringLiteral("eight six zero one, as the examiner said at the start"), QStringLiteral("0"));
        QTest::keyClicks(form.Text1, QStringLiteral("abc"));
        QTest::keyClick(form.Text1, Qt::Key_Return);
        EXPECT_TRUE(form.Label1->text().startsWith(text(entrant::text::BadPort)));
        EXPECT_GE(form.Label1->height(), form.Label1->heightForWidth(form.Label1->width()));
        EXPECT_TRUE(form.rect().contains(form.Label1->geometry()));
        EXPECT_LT(form.Text1->geometry().right(), form.Command1->x());
        EXPECT_LT(form.Label2->geometry().right(), form.Text1->x());
    }
}

TEST_F(ClientTest, WindowGoesFromLoginThroughTheTestToARetriedDelivery)
{
    writePaper(QStringLiteral("maths1.dat"), 5000);
    startServer(QStringLiteral("maths1.dat"));
    const quint16 port = m_server->messagePort();
    Form1 form(client());
    QSignalSpy closed(&form, &Form1::closed);
    form.start();
    QTest::keyClicks(form.Text1, QStringLiteral("   "));
    QTest::keyClick(form.Text1, Qt::Key_Return);
    EXPECT_EQ(form.Label1->text(), text(entrant::text::BlankId));
    EXPECT_TRUE(form.Text1->isVisible() && form.Command1->isVisible() && form.Command3->isVisible());

    form.Text1->clear();
    QTest::keyClicks(form.Text1, QStringLiteral("abc"));
    QTest::keyClick(form.Text1, Qt::Key_Return);
    EXPECT_TRUE(form.isVisible() && form.Label1->isVisible());
    EXPECT_FALSE(form.Text1->isVisible() || form.Label2->isVisible() || form.Command1->isVisible() || form.Command3->isVisible());
    ASSERT_TRUE(waitFor([&] { return form.isHidden(); }));
    EXPECT_EQ(client().view().state, State::Testing);

    // examdesk gone without a result: the window comes back, and Enter starts it again.
    m_launcher.end();
    ASSERT_TRUE(form.isVisible() && form.CmdRestart->isVisible());
    EXPECT_EQ(form.Label1->text(), text(entrant::text::ExamdeskEnded));
    EXPECT_EQ(form.focusWidget(), form.CmdRestart);
    EXPECT_FALSE(form.Text1->isVisible() || form.CmdSubmit->isVisible());
    EXPECT_FALSE(form.close());
    ASSERT_TRUE(form.closeQuestion());
    QTest::keyClick(form.closeQuestion(), Qt::Key_Escape);
    ASSERT_TRUE(waitFor([&] { return !form.closeQuestion(); }));
    QTest::keyClick(form.CmdRestart, Qt::Key_Return);
    EXPECT_TRUE(form.isHidden());
    EXPECT_EQ(m_launcher.started.size(), 2);

    m_server->stop();
    auto taken = handOver(QStringLiteral("C0DE"));
    ASSERT_TRUE(waitFor([&] { return form.isVisible() && form.CmdSubmit->isVisible(); }));
    EXPECT_EQ(form.CmdSubmit->text(), QStringLiteral("Submit"));
    EXPECT_EQ(form.Label1->text(), text(entrant::text::ServerNotFound));
    EXPECT_FALSE(form.Text1->isVisible());
    EXPECT_TRUE(client().resultUndelivered());
    EXPECT_FALSE(client().connectionsOpen());

    // Closing now would lose the result, so the window asks first.
    EXPECT_FALSE(form.close());
    ASSERT_TRUE(form.closeQuestion());
    QTest::keyClick(form.closeQuestion(), Qt::Key_Escape);
    EXPECT_TRUE(form.isVisible());

    startServer(QStringLiteral("maths1.dat"), port);
    form.activateWindow();
    form.CmdSubmit->setFocus();
    QTest::keyClick(form.CmdSubmit, Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return closed.count() == 1; }));
    EXPECT_EQ(reportEntries(), QStringList { QStringLiteral("127.0.0.1:abc:C0DE") });
    taken.wait();
}

TEST_F(ClientTest, WindowAsksForAMissingServerAddressAndStoresIt)
{
    writeSettings(QStringLiteral("8601"), QStringLiteral("8602"), 0, QString());
    Form1 form(client());
    form.start();
    ASSERT_TRUE(form.addressPrompt());
    EXPECT_EQ(form.addressPrompt()->labelText(), text(entrant::text::AddressPrompt));
    QTest::keyClicks(form.addressPrompt()->focusWidget(), QStringLiteral("192.168.1.9"));
    QTest::keyClick(form.addressPrompt()->focusWidget(), Qt::Key_Return);
    EXPECT_EQ(client().getInf(QStringLiteral("comm"), QStringLiteral("rmtHost")), QStringLiteral("192.168.1.9"));

    // Asked again from the setting button, and cancelled: nothing changes.
    QTest::keyClick(form.Command3, Qt::Key_Space);
    ASSERT_TRUE(waitFor([&] { return form.addressPrompt() != nullptr; }));
    QTest::keyClicks(form.addressPrompt()->focusWidget(), QStringLiteral("10.1.1.1"));
    QTest::keyClick(form.addressPrompt()->focusWidget(), Qt::Key_Escape);
    EXPECT_EQ(client().getInf(QStringLiteral("comm"), QStringLiteral("rmtHost")), QStringLiteral("192.168.1.9"));
}

} // namespace
