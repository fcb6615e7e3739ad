// Shuffled papers through real loopback candidates: whole, checked, scored full, each in its own order.
#include "tests/centrum/serverfixture.h"

#include "centrum/shuffledpaper.h"
#include "centrum/texts.h"
#include "examdesk/testrecord.h"
#include "paper/onechoice.h"
#include "paper/onechoices.h"
#include "paper/papercheck.h"
#include "paper/paperformat.h"
#include "tests/support/paperfiles.h"

#include <QDir>
#include <QRandomGenerator>

#include <sys/stat.h>

namespace {

const QStringList plainPaper = {
    QStringLiteral("417^60^Maths^Midterm^14^Ann"),
    QStringLiteral("Capital of France?^0^2^2^9^Rome^Paris^Oslo^Bern"),
    QStringLiteral("Which are prime?^3^134^3^8^2^4^5^7^9"),
    QStringLiteral("Which are even?^0^24^2^8^1^2^3^4"),
    QStringLiteral("The sky is^0^^1^7^blue"),
    QStringLiteral("Water is wet^7^1^2^6^True^False"),
    QStringLiteral("Largest planet?^0^3^1^9^Mars^Venus^Jupiter"),
    QStringLiteral("Yes or no?^0^1^1^9^yes^no"),
    QStringLiteral("哪一个是偶数?^0^2^2^9^三^四^五"),
};

// The answer that is right in a copy: the options the original marks right, found by their text.
QString rightAnswerIn(const oneChoice &copy, const oneChoice &original)
{
    if (original.getType() == paper::kindBlank)
        return original.getOption(0);
    if (original.getType() == paper::kindTrueFalse)
        return original.getAnswer();
    QString answer;
    for (int slot = 0; slot < oneChoice::optionCount; ++slot) {
        for (QChar digit : original.getAnswer()) {
            if (!copy.getOption(slot).isEmpty() && copy.getOption(slot) == original.getOption(digit.unicode() - u'1'))
                answer += QChar(u'1' + slot);
        }
    }
    return answer;
}

} // namespace

class ShuffleTest : public ServerTest
{
protected:
    void writeSettingsShuffle(const QString &papers, const QString &shuffleLine)
    {
        QFile f(path(QStringLiteral("setting.ini")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("[comm]\nmsg=0\nfile=8602\nweb=0\n[subject]\nfile=%1\n%2\n").arg(papers, shuffleLine).toUtf8());
    }

    QByteArray writePaper(const QString &name, const QStringList &plainLines)
    {
        const QByteArray bytes = paperBytes(plainLines);
        QFile f(path(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return bytes;
    }

    QByteArray fetch(const QString &id)
    {
        Candidate &c = candidate(id);
        c.fetch(server().messagePort());
        EXPECT_TRUE(waitFor([&] { return c.finished; })) << id.toStdString();
        return c.papers.value(0);
    }
};

TEST_F(ShuffleTest, EachCandidateGetsAWholeCopyInAnOrderOfItsOwnThatChecksAndScoresFull)
{
    auto generator = std::make_shared<QRandomGenerator>(20261207);
    m_random = [generator](quint32 bound) { return generator->bounded(bound); };
    const QByteArray original = writePaper(QStringLiteral("mid.dat"), plainPaper);
    writeSettingsShuffle(QStringLiteral("mid.dat"), QStringLiteral("shuffle=1"));
    const auto r = server().start();
    ASSERT_TRUE(r.messageService) << r.problem.toStdString();
    EXPECT_TRUE(logTexts().contains(QStringLiteral(" Papers are shuffled for each candidate")));

    oneChoices originals;
    ASSERT_EQ(originals.init(path(QStringLiteral("mid.dat"))), oneChoices::LoadStatus::Loaded);
    QList<QStringList> orders;
    QList<QByteArray> copies;
    bool optionsMoved = false;
    for (const QString &id : { QStringLiteral("s01"), QStringLiteral("s02") }) {
        SCOPED_TRACE(id.toStdString());
        const QByteArray copy = fetch(id);
        copies << copy;
        ASSERT_EQ(copy.size(), original.size());
        EXPECT_EQ(copy.left(copy.indexOf('\n')), original.left(original.indexOf('\n')));
        const QString copyPath = path(id + QStringLiteral(".dat"));
        QFile f(copyPath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(copy);
        f.close();
        const paper::CheckResult checked = paper::checkPaper(copyPath);
        EXPECT_TRUE(checked.opened && checked.problems.empty())
            << (checked.problems.empty() ? std::string() : checked.problems.front().message.toStdString());

        // A candidate who picks the right options in the copy earns the full marks.
        oneChoices taken;
        ASSERT_EQ(taken.init(copyPath), oneChoices::LoadStatus::Loaded);
        ASSERT_EQ(taken.getCount(), originals.getCount());
        examdesk::testRecord record;
        record.setAns(taken.getCount(), taken);
        QStringList order;
        for (int k = 1; k <= taken.getCount(); ++k) {
            const oneChoice *q = taken.getOne(k);
            const oneChoice *from = nullptr;
            for (int j = 1; j <= originals.getCount(); ++j) {
                if (originals.getOne(j)->getContext() == q->getContext())
                    from = originals.getOne(j);
            }
            ASSERT_NE(from, nullptr);
            EXPECT_EQ(q->getImg(), from->getImg());
            EXPECT_EQ(q->getPoint(), from->getPoint());
            if (from->getType() == paper::kindBlank || from->getType() == paper::kindTrueFalse) {
                EXPECT_EQ(q->getOptStr(), from->getOptStr());
            }
            optionsMoved = optionsMoved || q->getOptStr() != from->getOptStr();
            record.addSel(k - 1, rightAnswerIn(*q, *from));
            order << q->getContext();
        }
        EXPECT_EQ(record.getResult(taken), std::optional<qint64>(14));
        EXPECT_EQ(record.getFullPoint(taken), std::optional<qint64>(14));
        orders << order;
    }
    EXPECT_NE(orders[0], orders[1]);
    EXPECT_TRUE(optionsMoved);
    // Logging in again after a restart of its client, a candidate gets the very same copy, so
    // its test program can take its test up again.
    for (int i : { 1, 0 })
        EXPECT_EQ(fetch(QStringLiteral("s0%1").arg(i + 1)), copies[i]);
    EXPECT_EQ(logTexts().filter(QStringLiteral(" Resumed login:")).size(), 2);

    // The order comes from the server's secret, kept for its owner alone: after a restart of
    // the service, whatever the random source now draws, a candidate gets the very same copy.
    const QString keyPath = path(QStringLiteral("server.key"));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(keyPath).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    QFile key(keyPath);
    ASSERT_TRUE(key.open(QIODevice::ReadOnly));
    const QByteArray secret = key.readAll();
    m_server.reset();
    m_random = [](quint32) { return 0u; };
    ASSERT_TRUE(server().start().messageService);
    EXPECT_EQ(fetch(QStringLiteral("s02")), copies[1]);
    key.seek(0);
    EXPECT_EQ(key.readAll(), secret);
}

// A secret that is there but cannot be read or is damaged refuses the start and stays as it is:
// another one would give the candidates taking their test up again other copies.
TEST_F(ShuffleTest, ADamagedOrUnreadableSecretRefusesTheStartAndIsKept)
{
    writePaper(QStringLiteral("mid.dat"), plainPaper);
    writeSettingsShuffle(QStringLiteral("mid.dat"), QStringLiteral("shuffle=1"));
    const QString keyPath = path(QStringLiteral("server.key"));
    using Refusal = centrum::Server::StartResult::Refusal;
    const struct {
        const char *name;
        QByteArray content; // none: a folder in its place
        QString problem;
        Refusal refusal;
    } rows[] = {
        { "short", QByteArray(63, 'a') + '\n', QStringLiteral(" Server key file is damaged (it is not replaced):") + keyPath,
          Refusal::BadSecret },
        { "not hexadecimal", QByteArray(63, 'a') + "g\n", QStringLiteral(" Server key file is damaged (it is not replaced):") + keyPath,
          Refusal::BadSecret },
        { "empty", QByteArray(""), QStringLiteral(" Server key file is damaged (it is not replaced):") + keyPath, Refusal::BadSecret },
        { "a folder", QByteArray(), QStringLiteral(" File cannot be read:") + keyPath, Refusal::Unreadable },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        if (row.content.isNull()) {
            ASSERT_TRUE(QFile::remove(keyPath));
            ASSERT_TRUE(QDir(folder()).mkdir(QStringLiteral("server.key")));
        } else {
            QFile f(keyPath);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(row.content);
        }
        const auto r = server().start();
        EXPECT_FALSE(r.messageService || r.httpService);
        EXPECT_EQ(r.refusal, row.refusal);
        EXPECT_EQ(r.problem, row.problem);
        EXPECT_EQ(logTexts().last(), row.problem);
        if (!row.content.isNull()) {
            QFile f(keyPath);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            EXPECT_EQ(f.readAll(), row.content);
        }
    }
}

TEST_F(ShuffleTest, WithoutTheKeyOrWithAnotherValueTheFileGoesAsItIs)
{
    const QByteArray original = writePaper(QStringLiteral("mid.dat"), plainPaper);
    int n = 0;
    for (const QString &line : { QString(), QStringLiteral("shuffle=0"), QStringLiteral("shuffle=yes") }) {
        SCOPED_TRACE(line.toStdString());
        writeSettingsShuffle(QStringLiteral("mid.dat"), line);
        ASSERT_TRUE(server().start().messageService);
        EXPECT_EQ(fetch(QStringLiteral("plain%1").arg(++n)), original);
    }
    EXPECT_FALSE(logTexts().contains(QStringLiteral(" Papers are shuffled for each candidate")));
}

TEST_F(ShuffleTest, APaperThatCannotBeShuffledIsRefusedAtStartNamingTheLine)
{
    QStringList badAnswer = plainPaper;
    badAnswer[2] = QStringLiteral("Which are prime?^0^31^3^8^2^4^5^7");
    writePaper(QStringLiteral("answer.dat"), badAnswer);
    QByteArray notHex = paperBytes(plainPaper);
    notHex.insert(notHex.indexOf('\n') + 1, "XY");
    QFile f(path(QStringLiteral("hex.dat")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(notHex);
    f.close();

    const std::pair<QString, QString> rows[] = {
        { QStringLiteral("answer.dat"),
          QStringLiteral(" Paper cannot be shuffled:answer.dat (line 3: a multiple-select answer must be digits "
                         "from 1 to 6 in ascending order, not \"31\")") },
        { QStringLiteral("hex.dat"), QStringLiteral(" Paper cannot be shuffled:hex.dat (line 2: not hexadecimal at character 1)") },
    };
    for (const auto &[name, problem] : rows) {
        SCOPED_TRACE(name.toStdString());
        writeSettingsShuffle(name, QStringLiteral("shuffle=1"));
        const auto r = server().start();
        EXPECT_FALSE(r.messageService);
        EXPECT_EQ(r.refusal, centrum::Server::StartResult::Refusal::BadPaper);
        EXPECT_EQ(r.problem, problem);
        EXPECT_EQ(logTexts().last(), problem);
    }
}

// The log words the paper check's findings in its own language; in English exactly as
// papertool does, so a log reads the same whichever tool found the fault.
TEST(ShuffleRefusal, EveryQuestionFaultHasBothWordingsAndTheEnglishIsTheChecks)
{
    using Kind = paper::QuestionFault::Kind;
    const auto english = centrum::stringTable(1033);
    const auto chinese = centrum::stringTable(chineseLcid);
    for (const Kind kind : { Kind::QuestionEmpty, Kind::MarksMissing, Kind::MarksNotNumber, Kind::OptionAEmpty,
                             Kind::OptionBEmpty, Kind::KindMissing, Kind::KindUnknown, Kind::SingleAnswer,
                             Kind::MultipleAnswer, Kind::TrueFalseAnswer, Kind::AnswerOptionEmpty }) {
        const paper::QuestionFault fault { kind, QStringLiteral("X7") };
        SCOPED_TRACE(fault.message().toStdString());
        EXPECT_EQ(centrum::questionFaultText(fault, *english), fault.message());
        const QString zh = centrum::questionFaultText(fault, *chinese);
        EXPECT_FALSE(zh.isEmpty());
        EXPECT_EQ(zh.contains(u"X7"), fault.message().contains(u"X7"));
    }
}
