// Item analysis: facility, discrimination, option and word counts per question, and the paper's reliability.
#include "report/itemanalysis.h"

#include "paper/onechoices.h"
#include "paper/paperformat.h"
#include "paper/scoring.h"

#include <QHash>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace report {

namespace {

constexpr int optionSlots = oneChoice::optionCount;

QuestionKind kindOf(const QString &code)
{
    if (code == paper::kindSingle)
        return QuestionKind::Single;
    if (code == paper::kindMultiple)
        return QuestionKind::Multiple;
    if (code == paper::kindBlank)
        return QuestionKind::Blank;
    if (code == paper::kindTrueFalse)
        return QuestionKind::TrueFalse;
    return QuestionKind::Unknown;
}

// Values that differ only by the rounding of their sums count as the same.
bool hasSpread(const std::vector<double> &values)
{
    if (values.empty())
        return false;
    const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
    return *hi - *lo > 1e-9 * std::max({ 1.0, std::abs(*lo), std::abs(*hi) });
}

double mean(const std::vector<double> &values)
{
    double sum = 0;
    for (double v : values)
        sum += v;
    return values.empty() ? 0 : sum / double(values.size());
}

// Of the population: divided by the count, not the count less one.
double variance(const std::vector<double> &values)
{
    const double m = mean(values);
    double sum = 0;
    for (double v : values)
        sum += (v - m) * (v - m);
    return values.empty() ? 0 : sum / double(values.size());
}

std::optional<double> pearson(const std::vector<double> &x, const std::vector<double> &y)
{
    if (!hasSpread(x) || !hasSpread(y))
        return std::nullopt;
    const double mx = mean(x);
    const double my = mean(y);
    double sxx = 0, syy = 0, sxy = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        sxx += (x[i] - mx) * (x[i] - mx);
        syy += (y[i] - my) * (y[i] - my);
        sxy += (x[i] - mx) * (y[i] - my);
    }
    return std::clamp(sxy / std::sqrt(sxx * syy), -1.0, 1.0);
}

// A top or bottom group: those wholly in it, and those tied at its edge who share its last places.
struct Group {
    std::vector<size_t> whole;
    std::vector<size_t> tied;
    size_t places = 0;
    size_t shared = 0; // places the tied share in equal parts
};

// The group taken in order from the front of byRank; those tied with its last place share
// what is left of it, so the order among ties does not matter.
Group groupOf(const std::vector<size_t> &byRank, const std::vector<double> &totals, size_t places)
{
    Group group;
    group.places = places;
    const double edge = totals[byRank[places - 1]];
    size_t i = 0;
    for (; totals[byRank[i]] != edge; ++i)
        group.whole.push_back(byRank[i]);
    for (; i < byRank.size() && totals[byRank[i]] == edge; ++i)
        group.tied.push_back(byRank[i]);
    group.shared = places - group.whole.size();
    return group;
}

double groupFacility(const Group &group, const std::vector<double> &points, double marks)
{
    double whole = 0, tied = 0;
    for (size_t c : group.whole)
        whole += points[c];
    for (size_t c : group.tied)
        tied += points[c];
    // Multiplied before dividing, so a group that all earned full marks comes to exactly 1.
    const double share = tied * double(group.shared) / double(group.tied.size());
    return (whole + share) / (double(group.places) * marks);
}

// The six blanks of a fill-in answer, each trimmed; text past the sixth "~" is not a blank.
std::array<QStringView, optionSlots> blanksOf(QStringView answer)
{
    std::array<QStringView, optionSlots> blanks;
    qsizetype from = 0;
    for (int b = 0; b < optionSlots && from <= answer.size(); ++b) {
        qsizetype end = answer.indexOf(u'~', from);
        if (end < 0)
            end = answer.size();
        blanks[size_t(b)] = answer.mid(from, end - from).trimmed();
        from = end + 1;
    }
    return blanks;
}

bool anyBlankWritten(const QString &answer)
{
    const auto blanks = blanksOf(answer);
    return std::any_of(blanks.begin(), blanks.end(), [](QStringView b) { return !b.isEmpty(); });
}

bool isOptionNumbers(const QString &answer)
{
    return std::all_of(answer.begin(), answer.end(), [](QChar c) { return c >= u'1' && c <= u'6'; });
}

// The options an answer names, one bit each from bit 1 for A.
unsigned chosenOptions(const QString &answer)
{
    unsigned bits = 0;
    for (QChar c : answer) {
        if (c >= u'1' && c <= u'6')
            bits |= 1u << (c.unicode() - u'0');
    }
    return bits;
}

QList<WordCount> commonest(const QHash<QString, qsizetype> &counts)
{
    QList<WordCount> words;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        words.append({ it.key(), it.value() });
    std::sort(words.begin(), words.end(), [](const WordCount &a, const WordCount &b) {
        return a.count != b.count ? a.count > b.count : a.word < b.word;
    });
    if (words.size() > 3)
        words.resize(3);
    return words;
}

enum class Reading { Other, Choice, FillIn };

// Without the paper: fill-in when an answer holds a blank's end, a choice when every answer is option numbers.
Reading readingOf(const std::vector<const QString *> &answers)
{
    bool anyAnswer = false;
    bool allNumbers = true;
    for (const QString *a : answers) {
        if (a->contains(u'~'))
            return Reading::FillIn;
        anyAnswer = anyAnswer || !a->isEmpty();
        allNumbers = allNumbers && isOptionNumbers(*a);
    }
    return anyAnswer && allNumbers ? Reading::Choice : Reading::Other;
}

void countOptions(QuestionFigures &q, const std::vector<const QString *> &answers, const QuestionKey *key)
{
    std::array<qsizetype, optionSlots + 1> counts {};
    unsigned listed = 0;
    for (const QString *a : answers) {
        const unsigned bits = chosenOptions(*a);
        listed |= bits;
        for (int o = 1; o <= optionSlots; ++o)
            counts[size_t(o)] += (bits >> o) & 1u;
    }
    unsigned correct = 0;
    if (key) {
        // Every option the paper shows, and any the key or a candidate names besides.
        correct = chosenOptions(key->answer);
        listed |= correct;
        for (int o = 1; o <= optionSlots && o <= key->options.size(); ++o) {
            if (!key->options[o - 1].isEmpty())
                listed |= 1u << o;
        }
    } else if (listed) {
        // Options up to the last one chosen, so one nobody chose still shows.
        int last = optionSlots;
        while (!((listed >> last) & 1u))
            --last;
        listed = ((1u << (last + 1)) - 1) & ~1u;
    }
    for (int o = 1; o <= optionSlots; ++o) {
        if ((listed >> o) & 1u)
            q.options.append({ o, counts[size_t(o)], bool((correct >> o) & 1u) });
    }
}

void countWords(QuestionFigures &q, const std::vector<const QString *> &answers, const QuestionKey *key)
{
    std::array<QHash<QString, qsizetype>, optionSlots> counts;
    std::array<QString, optionSlots> expected;
    std::array<bool, optionSlots> shown {};
    for (int b = 0; key && b < optionSlots && b < key->options.size(); ++b) {
        expected[size_t(b)] = key->options[b];
        shown[size_t(b)] = !expected[size_t(b)].isEmpty();
    }
    for (const QString *a : answers) {
        const auto blanks = blanksOf(*a);
        for (size_t b = 0; b < blanks.size(); ++b) {
            const QStringView word = blanks[b];
            if (word.isEmpty())
                continue;
            if (key) {
                if (shown[b] && !word.contains(expected[b], Qt::CaseSensitive))
                    ++counts[b][word.toString()];
            } else {
                shown[b] = true;
                ++counts[b][word.toString()];
            }
        }
    }
    for (size_t b = 0; b < shown.size(); ++b) {
        if (shown[b])
            q.blanks.append({ int(b) + 1, commonest(counts[b]) });
    }
}

std::optional<double> reliabilityOf(const std::vector<std::vector<double>> &points, const std::vector<double> &totals,
                                    const std::vector<double> &marks, bool &kr20)
{
    const size_t k = points.size();
    kr20 = false;
    if (totals.size() < 2 || k < 2 || !hasSpread(totals))
        return std::nullopt;
    const double factor = double(k) / double(k - 1);
    bool allOrNothing = true;
    for (size_t i = 0; i < k && allOrNothing; ++i) {
        allOrNothing = marks[i] > 0 && std::all_of(points[i].begin(), points[i].end(), [&](double p) {
            return p == 0 || p == marks[i];
        });
    }
    if (allOrNothing) {
        std::vector<double> right(totals.size(), 0);
        double sumPq = 0;
        for (size_t i = 0; i < k; ++i) {
            qsizetype full = 0;
            for (size_t c = 0; c < totals.size(); ++c) {
                if (points[i][c] != 0) {
                    ++full;
                    ++right[c];
                }
            }
            const double p = double(full) / double(totals.size());
            sumPq += p * (1 - p);
        }
        if (!hasSpread(right))
            return std::nullopt;
        kr20 = true;
        return factor * (1 - sumPq / variance(right));
    }
    double sumVar = 0;
    for (const std::vector<double> &q : points)
        sumVar += variance(q);
    return factor * (1 - sumVar / variance(totals));
}

} // namespace

QList<QuestionKey> questionKeys(const oneChoices &paper)
{
    QList<QuestionKey> keys;
    for (int k = 1; k <= paper.getCount(); ++k) {
        const oneChoice *q = paper.getOne(k);
        QuestionKey key;
        key.kind = kindOf(q->getType());
        for (int o = 0; o < optionSlots; ++o)
            key.options.append(q->getOption(o));
        const double points = paper::pointsOf(q->getPoint());
        if (key.kind == QuestionKind::Blank) {
            const auto words = std::count_if(key.options.cbegin(), key.options.cend(), [](const QString &w) { return !w.isEmpty(); });
            key.marks = points * double(words);
        } else {
            key.marks = points;
            key.answer = q->getAnswer();
        }
        keys.append(key);
    }
    return keys;
}

QList<PaperSheets> papersBySheets(const QList<AnswerEntry> &entries)
{
    QList<PaperSheets> papers;
    QHash<QString, qsizetype> place;
    for (const AnswerEntry &e : entries) {
        const auto at = place.constFind(e.paper);
        if (at != place.cend()) {
            ++papers[*at].sheets;
            continue;
        }
        place.insert(e.paper, papers.size());
        papers.append({ e.paper, 1 });
    }
    std::stable_sort(papers.begin(), papers.end(),
                     [](const PaperSheets &a, const PaperSheets &b) { return a.sheets > b.sheets; });
    return papers;
}

QString commonestPaper(const QList<AnswerEntry> &entries)
{
    const QList<PaperSheets> papers = papersBySheets(entries);
    return papers.isEmpty() ? QString() : papers.constFirst().paper;
}

PaperFigures analyse(const QList<AnswerEntry> &entries, const QString &paper, const QList<QuestionKey> &keys)
{
    PaperFigures figures;
    figures.paper = paper;
    std::vector<const AnswerEntry *> taken;
    std::optional<qsizetype> shape;
    if (!keys.isEmpty())
        shape = keys.size();
    for (const AnswerEntry &e : entries) {
        if (e.paper != paper) {
            ++figures.otherPapers;
            continue;
        }
        if (!shape)
            shape = e.questions.size();
        if (e.questions.size() != *shape) {
            ++figures.otherShape;
            continue;
        }
        taken.push_back(&e);
    }
    const size_t n = taken.size();
    const size_t k = size_t(shape.value_or(0));
    figures.candidates = qsizetype(n);

    // points[question][candidate], the way every figure below reads them.
    std::vector<std::vector<double>> points(k, std::vector<double>(n));
    std::vector<double> totals(n, 0);
    for (size_t c = 0; c < n; ++c) {
        for (size_t i = 0; i < k; ++i) {
            points[i][c] = taken[c]->questions[qsizetype(i)].points;
            totals[c] += points[i][c];
        }
    }

    if (n > 0) {
        figures.mean = mean(totals);
        figures.standardDeviation = std::sqrt(variance(totals));
        std::vector<double> sorted = totals;
        std::sort(sorted.begin(), sorted.end());
        figures.median = n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    }

    // The top and bottom groups are the same for every question.
    const size_t places = n ? std::max<size_t>(1, size_t(std::lround(groupShare * double(n)))) : 0;
    Group top, bottom;
    if (n > 0) {
        std::vector<size_t> byRank(n);
        for (size_t c = 0; c < n; ++c)
            byRank[c] = c;
        std::sort(byRank.begin(), byRank.end(), [&](size_t a, size_t b) { return totals[a] > totals[b]; });
        top = groupOf(byRank, totals, places);
        std::reverse(byRank.begin(), byRank.end());
        bottom = groupOf(byRank, totals, places);
    }

    std::vector<double> marks(k, 0);
    std::vector<double> rest(n);
    std::vector<const QString *> answers(n);
    for (size_t i = 0; i < k; ++i) {
        const QuestionKey *key = keys.isEmpty() ? nullptr : &keys[qsizetype(i)];
        QuestionFigures q;
        q.number = int(i) + 1;
        for (size_t c = 0; c < n; ++c)
            answers[c] = &taken[c]->questions[qsizetype(i)].answer;
        if (key) {
            q.kind = key->kind;
            q.marks = key->marks;
        } else {
            for (double p : points[i])
                q.marks = std::max(q.marks, p);
        }
        marks[i] = q.marks;

        const Reading reading = key ? (key->kind == QuestionKind::Blank ? Reading::FillIn : Reading::Choice) : readingOf(answers);
        for (const QString *a : answers) {
            const bool written = reading == Reading::FillIn ? anyBlankWritten(*a) : !a->isEmpty();
            ++(written ? q.answered : q.blank);
        }
        if (reading == Reading::Choice)
            countOptions(q, answers, key);
        else if (reading == Reading::FillIn)
            countWords(q, answers, key);

        if (n > 0 && q.marks > 0) {
            q.facility = mean(points[i]) / q.marks;
            q.upperLower = groupFacility(top, points[i], q.marks) - groupFacility(bottom, points[i], q.marks);
        }
        for (size_t c = 0; c < n; ++c)
            rest[c] = totals[c] - points[i][c];
        q.correlation = pearson(points[i], rest);

        if (q.facility && *q.facility < hardBelow)
            q.flags |= FlagHard;
        if (q.facility && *q.facility > easyAbove)
            q.flags |= FlagEasy;
        // Where no correlation can be worked out, the groups still tell which way the question leans.
        if (q.correlation ? *q.correlation < 0 : (q.upperLower && *q.upperLower < 0))
            q.flags |= FlagNegativeDiscrimination;
        figures.questions.append(std::move(q));
    }

    figures.reliability = reliabilityOf(points, totals, marks, figures.kr20);
    return figures;
}

} // namespace report
