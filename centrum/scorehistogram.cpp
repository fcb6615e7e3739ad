// A bar chart of a report's scores, drawn by the report viewer under its table.
#include "centrum/scorehistogram.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace centrum {

ScoreHistogram::ScoreHistogram(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Picture1"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void ScoreHistogram::setHistogram(const report::Histogram &histogram, const QString &scoreAxis, const QString &countAxis,
                                  const QString &emptyText)
{
    m_histogram = histogram;
    m_scoreAxis = scoreAxis;
    m_countAxis = countAxis;
    m_emptyText = emptyText;
    update();
}

QSize ScoreHistogram::sizeHint() const
{
    return { 480, 12 * fontMetrics().height() };
}

QSize ScoreHistogram::minimumSizeHint() const
{
    return { 240, 8 * fontMetrics().height() };
}

namespace {

// Steps of 1, 2 or 5 times a power of ten, so that the count axis has at most five of them.
qsizetype tickStep(qsizetype highest)
{
    for (qsizetype decade = 1;; decade *= 10) {
        for (qsizetype step : { 1, 2, 5 }) {
            if (highest / (step * decade) <= 5)
                return step * decade;
        }
    }
}

} // namespace

void ScoreHistogram::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics fm = fontMetrics();
    const QColor ink = palette().color(QPalette::WindowText);
    p.fillRect(rect(), palette().color(QPalette::Base));
    if (m_histogram.bins.isEmpty()) {
        p.setPen(ink);
        p.drawText(rect(), Qt::AlignCenter, m_emptyText);
        return;
    }

    const qsizetype highest = std::max<qsizetype>(1, m_histogram.highestCount);
    const qsizetype step = tickStep(highest);
    const qsizetype top = (highest + step - 1) / step * step;
    const int line = fm.height();
    const int tickWidth = fm.horizontalAdvance(QString::number(top));
    const QRect plot(line + tickWidth + 14, line + 4, width() - (line + tickWidth + 14) - 10,
                     height() - (line + 4) - 2 * line - 10);
    if (plot.width() < 20 || plot.height() < 20)
        return;
    const auto yOf = [&](qsizetype count) { return plot.bottom() - int(double(count) * plot.height() / double(top)); };

    // The count axis: a faint line at every step, its number beside it.
    QColor grid = palette().color(QPalette::Mid);
    grid.setAlpha(90);
    for (qsizetype c = 0; c <= top; c += step) {
        const int y = yOf(c);
        p.setPen(grid);
        p.drawLine(plot.left(), y, plot.right(), y);
        p.setPen(ink);
        p.drawText(QRect(line + 2, y - line / 2, tickWidth + 6, line), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(c));
    }
    p.save();
    p.translate(2, plot.center().y());
    p.rotate(-90);
    p.drawText(QRect(-plot.height() / 2, 0, plot.height(), line), Qt::AlignCenter, m_countAxis);
    p.restore();

    // The bars, each with its count above it, and the bins' ranges below.
    const qsizetype n = m_histogram.bins.size();
    const double slot = double(plot.width()) / double(n);
    int widestLabel = 0;
    for (const report::HistogramBin &bin : m_histogram.bins)
        widestLabel = std::max(widestLabel, fm.horizontalAdvance(bin.label));
    // Labels that would run into each other are shown for every second or third bin only.
    const qsizetype labelEvery = std::max<qsizetype>(1, qsizetype(std::ceil((widestLabel + 6) / slot)));
    const QColor bar = palette().color(QPalette::Highlight);
    for (qsizetype i = 0; i < n; ++i) {
        const report::HistogramBin &bin = m_histogram.bins[i];
        const int x = plot.left() + int(double(i) * slot);
        const int w = std::max(1, int(slot * 0.8));
        const int xBar = x + int((slot - w) / 2);
        const int y = yOf(bin.count);
        if (bin.count > 0) {
            p.fillRect(QRect(xBar, y, w, plot.bottom() - y + 1), bar);
            p.setPen(ink);
            p.drawText(QRect(x, y - line - 2, int(slot), line), Qt::AlignHCenter | Qt::AlignBottom,
                       QString::number(bin.count));
        }
        if (i % labelEvery == 0) {
            p.setPen(ink);
            p.drawText(QRect(x + int(slot / 2) - widestLabel, plot.bottom() + 4, 2 * widestLabel, line),
                       Qt::AlignHCenter | Qt::AlignTop, bin.label);
        }
    }
    p.setPen(ink);
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    p.drawLine(plot.bottomLeft(), plot.topLeft());
    p.drawText(QRect(plot.left(), plot.bottom() + 4 + line, plot.width(), line + 4), Qt::AlignCenter, m_scoreAxis);
}

} // namespace centrum
