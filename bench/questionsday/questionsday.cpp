// A day held in secure mode, made up for the pictures of the report viewer's questions tab: a paper, sheets, results.
#include "centrum/dayfilewriter.h"
#include "centrum/securepaper.h"
#include "centrum/serversecret.h"
#include "centrum/texts.h"
#include "common/clsencryptxor.h"
#include "common/multilanguage.h"
#include "paper/paperformat.h"
#include "report/answerfile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>

namespace {

// A question and how the room answers it: candidates of ability t answer right with the chance 1 / (1 + e^(-1.7 a (t -
// b))); a < 0 is a question whose key rewards the weaker.
struct Question {
    const char *line; // text^image^answer^marks^kind^options, as the paper holds it
    double a;
    double b;
    QStringList wrongWords = {}; // a fill-in's words written instead, for each blank in turn
};

const Question questions[] = {
    { "Which planet is closest to the Sun? 哪颗行星离太阳最近?^0^2^2^9^Venus "
      "金星^Mercury 水星^Mars 火星^Earth 地球",
      1.2, -1.0 },
    { "Which of these are prime numbers? 下列哪些是质数?^0^134^3^8^2^9^7^11", 1.0, 0.3 },
    { "Gold is ___ and iron is ___. 金是___,铁是___。^0^^1^7^Au^Fe", 1.3, 0.0, { "Ag", "Ir" } },
    { "At sea level, water boils at 100 °C. "
      "在海平面,水在100摄氏度沸腾。^0^1^1^6^True 对^False 错",
      1.0, -3.6 },
    { "Which is the longest river in China? "
      "中国最长的河流是哪条?^0^3^2^9^Yellow River 黄河^Pearl River 珠江^Yangtze "
      "长江",
      1.1, -0.8 },
    { "Light travels at about ... 光速约为……^0^1^2^9^300000 km/s^30000 "
      "km/s^3000 km/s^300 km/s",
      1.0, 1.1 },
    { "The Moon gives off its own light. 月亮自己发光。^0^2^1^6^True 对^False "
      "错",
      0.9, -1.5 },
    { "What is the formula of water? 水的化学式是?^0^1^2^9^H2O^CO2^O2^H2O2", 0.8, -2.0 },
    { "Which are mammals? 哪些是哺乳动物?^0^13^3^8^Whale 鲸^Shark 鲨鱼^Bat "
      "蝙蝠^Penguin 企鹅",
      1.4, 0.8 },
    { "The largest planet is ___. 最大的行星是___。^0^^2^7^Jupiter", 1.0, 0.5, { "Saturn" } },
    { "Who proposed the theory of relativity? 谁提出了相对论?^0^2^2^9^Newton "
      "牛顿^Einstein 爱因斯坦^Bohr 玻尔^Curie 居里",
      1.0, -0.5 },
    { "Plants take in which gas to make food? "
      "植物进行光合作用吸收哪种气体?^0^1^2^9^Oxygen 氧气^Carbon dioxide "
      "二氧化碳^Nitrogen 氮气^Helium 氦气",
      -0.9, 0.2 },
    { "Sound travels faster than light. 声音比光传播得快。^0^2^1^6^True "
      "对^False 错",
      1.0, -2.2 },
    { "Which element melts at the highest temperature? "
      "哪种元素熔点最高?^0^4^2^9^Iron 铁^Gold 金^Lead 铅^Tungsten 钨",
      1.2, 2.6 },
    { "Which are noble gases? 哪些是稀有气体?^0^13^3^8^Helium 氦^Nitrogen "
      "氮^Neon 氖^Oxygen 氧",
      1.2, 1.0 },
    { "Water is made of hydrogen and ___. 水由氢和___组成。^0^^2^7^oxygen", 1.1, -0.8, { "carbon" } },
    { "What is 7 × 8? 7乘8等于多少?^0^3^1^9^54^64^56^48", 0.9, -2.6 },
    { "A nucleus holds protons and neutrons. "
      "原子核由质子和中子组成。^0^1^1^6^True 对^False 错",
      0.3, -1.0 },
    { "The unit of electric resistance is ... 电阻的单位是……^0^1^2^9^Ohm "
      "欧姆^Volt 伏特^Ampere 安培^Watt 瓦特",
      1.0, 0.6 },
    { "The powerhouse of the cell is the ___. "
      "细胞的能量工厂是___。^0^^2^7^mitochondria",
      1.3,
      1.5,
      { "nucleus" } },
};

class Room
{
public:
    explicit Room(quint32 seed) : m_random(seed) { }

    double uniform() { return m_random.generateDouble(); }
    double normal()
    {
        return std::sqrt(-2.0 * std::log(1.0 - uniform())) * std::cos(2.0 * std::numbers::pi * uniform());
    }

    // The answer of a candidate of ability t, as examdesk hands it in.
    QString answer(const Question &q, double t)
    {
        const QStringList fields = QString::fromUtf8(q.line).split(u'^');
        const QString key = fields[2];
        const QString kind = fields[4];
        const QStringList options = fields.mid(5);
        const double right = 1.0 / (1.0 + std::exp(-1.7 * q.a * (t - q.b)));
        if (kind == u"7") {
            // Each blank on its own: right, a word often written instead, or nothing.
            QStringList blanks(6);
            for (qsizetype i = 0; i < options.size(); ++i) {
                const double r = uniform();
                blanks[i] = r < right ? options[i] : r < right + (1 - right) * 0.6 ? q.wrongWords.value(i) : QString();
            }
            const QString text = blanks.join(u'~');
            return text.count(u'~') == text.size() ? QString() : text;
        }
        if (uniform() < 0.02 + 0.08 * (1 - right))
            return {};
        if (uniform() < right)
            return key;
        if (kind == u"6")
            return key == u"1" ? QStringLiteral("2") : QStringLiteral("1");
        if (kind == u"8") {
            // One right option left out, or one wrong one added.
            QString chosen = key;
            if (uniform() < 0.5) {
                chosen.remove(int(uniform() * chosen.size()), 1);
                return chosen.isEmpty() ? QStringLiteral("2") : chosen;
            }
            for (int o = 1; o <= options.size(); ++o) {
                if (!key.contains(QChar(u'0' + o))) {
                    chosen += QChar(u'0' + o);
                    break;
                }
            }
            std::sort(chosen.begin(), chosen.end());
            return chosen;
        }
        // A wrong option, the first wrong one drawing most.
        QStringList wrong;
        for (int o = 1; o <= options.size(); ++o) {
            if (QString::number(o) != key)
                wrong << QString::number(o);
        }
        const double r = uniform();
        return wrong[r < 0.55 ? 0 : r < 0.85 ? 1 : int(wrong.size()) - 1];
    }

private:
    QRandomGenerator m_random;
};

int fail(const QString &why)
{
    std::fprintf(stderr, "questionsday: %s\n", qUtf8Printable(why));
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("Writes a day held in secure mode into FOLDER: midterm.dat and "
                                                     "makeup.dat, and the day's .rpt and .ans."));
    options.addHelpOption();
    options.addPositionalArgument(QStringLiteral("FOLDER"), QStringLiteral("the server's folder"));
    const QCommandLineOption candidates(QStringLiteral("candidates"), QStringLiteral("sheets of midterm.dat (58)"),
                                        QStringLiteral("N"), QStringLiteral("58"));
    const QCommandLineOption day(QStringLiteral("day"), QStringLiteral("the day (2026-12-7)"), QStringLiteral("DATE"),
                                 QStringLiteral("2026-12-7"));
    options.addOptions({ candidates, day });
    options.process(app);
    const QDate date = QDate::fromString(options.value(day), QStringLiteral("yyyy-M-d"));
    const int room = options.value(candidates).toInt();
    if (options.positionalArguments().size() != 1 || !date.isValid() || room < 1)
        return fail(QStringLiteral("one FOLDER, a day as yyyy-M-d and at least one candidate are needed"));
    const QDir folder(options.positionalArguments().constFirst());

    // The paper, and a make-up sitting of the same questions under another name.
    QByteArray paperBytes =
        paper::encipherLine(QStringLiteral("417^45^Science 科学^Midterm 期中^40^Exam office 考务组")).toLatin1()
        + "\r\n";
    for (const Question &q : questions)
        paperBytes += paper::encipherLine(QString::fromUtf8(q.line)).toLatin1() + "\r\n";
    const std::unique_ptr<CmultiLanguage> texts = centrum::stringTable(1033);
    // Scored as the server scores a sheet, under a secret of this folder's own.
    const std::optional<centrum::ServerSecret> secret = centrum::ServerSecret::loadOrCreate(
        folder.path(), [] { return quint8(QRandomGenerator::global()->bounded(256)); });
    if (!secret)
        return fail(QStringLiteral("no server key can be made in ") + folder.path());
    QHash<QString, std::shared_ptr<const centrum::SecurePaper>> papers;
    for (const QString &name : { QStringLiteral("midterm.dat"), QStringLiteral("makeup.dat") }) {
        QFile f(folder.filePath(name));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(paperBytes) != paperBytes.size())
            return fail(name + QStringLiteral(" cannot be written"));
        QString why;
        papers[name] = centrum::SecurePaper::parse(paperBytes, name, *secret, {}, false, *texts, &why);
        if (!papers[name])
            return fail(why);
    }

    // The answers first, each naming its report entry, as the server stores a sheet.
    centrum::DayFileWriter reports(folder.path(), QStringLiteral(".rpt"), centrum::DayFileWriter::Mode::Durable);
    centrum::DayFileWriter answers(folder.path(), QStringLiteral(".ans"), centrum::DayFileWriter::Mode::Durable);
    Room generator(2026);
    const clsEncryptXOR cipher;
    for (int i = 0; i < room + 3; ++i) {
        const QString name = i < room ? QStringLiteral("midterm.dat") : QStringLiteral("makeup.dat");
        const QString id = QStringLiteral("S2026%1").arg(i + 1, 3, 10, QChar(u'0'));
        const double ability = generator.normal();
        QStringList given;
        for (const Question &q : questions)
            given << generator.answer(q, ability);
        const centrum::SecurePaper::Marked marked = papers[name]->mark(id, given);
        report::AnswerEntry entry { {}, id, name, 1500 + qint64(generator.uniform() * 1200), marked.score, {} };
        for (qsizetype q = 0; q < marked.answers.size(); ++q)
            entry.questions.append({ marked.answers[q], marked.points.value(q) });
        const QDateTime when(date, QTime(9, 0).addSecs(1500 + 25 * i));
        entry.reportKey = reports.reserveKey(when);
        const QString result = QStringLiteral("%1:%2:%3").arg(entry.score).arg(name).arg(entry.seconds);
        QString why;
        if (!answers.write(when, report::formatAnswerEntry(entry), &why)
            || !reports.write(
                { { when, QStringLiteral("192.168.1.%1:%2:").arg(10 + i).arg(id) + cipher.HexEncrypt(result),
                    entry.reportKey } },
                &why))
            return fail(why);
    }
    std::printf("%s\n", qUtf8Printable(reports.pathFor(date)));
    return 0;
}
