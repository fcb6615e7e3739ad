// The item analysis as a table in the server's language: the report viewer's "Questions" tab and papertool show the same cells.
#include "centrum/itemtable.h"

#include "centrum/texts.h"
#include "common/csv.h"
#include "common/multilanguage.h"
#include "report/report.h"

namespace centrum {

using report::QuestionFigures;
using report::QuestionKind;

namespace {

QString twoDecimals(double value)
{
    const QString t = QString::number(value, 'f', 2);
    return t == u"-0.00" ? QStringLiteral("0.00") : t; // a tiny negative is no sign worth showing
}

QString figureCell(std::optional<double> value)
{
    return value ? twoDecimals(*value) : QString();
}

int kindText(QuestionKind kind)
{
    switch (kind) {
    case QuestionKind::Unknown:
        break;
    case QuestionKind::Single:
        return text::ItemKindSingle;
    case QuestionKind::Multiple:
        return text::ItemKindMultiple;
    case QuestionKind::Blank:
        return text::ItemKindBlank;
    case QuestionKind::TrueFalse:
        return text::ItemKindTrueFalse;
    }
    return text::ItemKindUnknown;
}

// "A 12, B* 30, C 4" for options, the correct ones starred; "1: Paris 3, paris 2; 2: Oslo 1"
// for the blanks that drew wrong words.
QString choicesCell(const QuestionFigures &q)
{
    QStringList parts;
    for (const report::OptionCount &o : q.options)
        parts.append(QChar(u'A' + o.option - 1) + QString(o.correct ? QStringLiteral("* ") : QStringLiteral(" "))
                     + QString::number(o.count));
    if (!parts.isEmpty())
        return parts.join(QStringLiteral(", "));
    for (const report::BlankWords &b : q.blanks) {
        if (b.words.isEmpty())
            continue;
        QStringList words;
        for (const report::WordCount &w : b.words)
            words.append(w.word + u' ' + QString::number(w.count));
        parts.append(QString::number(b.blank) + QStringLiteral(": ") + words.join(QStringLiteral(", ")));
    }
    return parts.join(QStringLiteral("; "));
}

} // namespace

QStringList itemHeader(const CmultiLanguage &texts)
{
    return { texts.getRes(text::ItemNumberColumn),   texts.getRes(text::ItemKindColumn),
             texts.getRes(text::ItemMarksColumn),    texts.getRes(text::ItemAnsweredColumn),
             texts.getRes(text::ItemBlankColumn),    texts.getRes(text::ItemFacilityColumn),
             texts.getRes(text::ItemCorrelationColumn), texts.getRes(text::ItemUpperLowerColumn),
             texts.getRes(text::ItemChoicesColumn),  texts.getRes(text::ItemFlagsColumn) };
}

QList<QStringList> itemRows(const report::PaperFigures &figures, const CmultiLanguage &texts)
{
    QList<QStringList> rows;
    for (const QuestionFigures &q : figures.questions) {
        rows.append({ QString::number(q.number), texts.getRes(kindText(q.kind)), report::figureText(q.marks),
                      QString::number(q.answered), QString::number(q.blank), figureCell(q.facility),
                      figureCell(q.correlation), figureCell(q.upperLower), choicesCell(q), flagText(q.flags, texts) });
    }
    return rows;
}

QString flagText(unsigned flags, const CmultiLanguage &texts)
{
    QStringList reasons;
    if (flags & report::FlagHard)
        reasons.append(texts.getRes(text::ItemHard).arg(QString::number(report::hardBelow)));
    if (flags & report::FlagEasy)
        reasons.append(texts.getRes(text::ItemEasy).arg(QString::number(report::easyAbove)));
    if (flags & report::FlagNegativeDiscrimination)
        reasons.append(texts.getRes(text::ItemNegative));
    return reasons.join(QStringLiteral("; "));
}

QStringList itemSummaryLines(const report::PaperFigures &figures, const CmultiLanguage &texts)
{
    QStringList lines { texts.getRes(text::ItemPaperLine).arg(figures.paper, QString::number(figures.candidates)) };
    if (figures.candidates > 0)
        lines.append(texts.getRes(text::ItemScoresLine)
                         .arg(twoDecimals(figures.mean), twoDecimals(figures.median),
                              twoDecimals(figures.standardDeviation)));
    if (!figures.reliability)
        lines.append(texts.getRes(text::ItemNoReliability));
    else
        lines.append(texts.getRes(figures.kr20 ? text::ItemKr20 : text::ItemAlpha).arg(twoDecimals(*figures.reliability)));
    if (figures.otherPapers > 0)
        lines.append(texts.getRes(text::ItemOtherPapers).arg(figures.otherPapers));
    if (figures.otherShape > 0)
        lines.append(texts.getRes(text::ItemOtherShape).arg(figures.otherShape));
    return lines;
}

QString itemCsvText(const report::PaperFigures &figures, const CmultiLanguage &texts)
{
    QString out = csv::record(itemHeader(texts));
    for (const QStringList &row : itemRows(figures, texts))
        out += csv::record(row);
    return out;
}

} // namespace centrum
