// The report viewer's chart of a paper's questions: facility against discrimination, one dot a question.
#include "centrum/questionchart.h"

#include "report/itemanalysis.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace centrum {

QuestionChart::QuestionChart(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("questionChart"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void QuestionChart::setPoints(const QList<Point> &points, const Texts &texts)
{
    m_points = points;
    m_texts = texts;
    update();
}

QSize QuestionChart::sizeHint() const
{
    return { 480, 14 * fontMetrics().height() };
}

QSize QuestionChart::minimumSizeHint() const
{
    return { 240, 9 * fontMetrics().height() };
}

QColor QuestionChart::flaggedColor()
{
    return QColor(0xe0, 0x5a, 0x1c);
}

void QuestionChart::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics fm = fontMetrics();
    const QColor ink = palette().color(QPalette::WindowText);
    p.fillRect(rect(), palette().color(QPalette::Base));
    if (m_points.isEmpty()) {
        p.setPen(ink);
        p.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, m_texts.empty);
        return;
    }

    const int line = fm.height();
    const int tickWidth = fm.horizontalAdvance(QStringLiteral("-0.5"));
    const int left = line + tickWidth + 12;
    const QRect plot(left, line + 6, width() - left - 14, height() - (line + 6) - 2 * line - 10);
    if (plot.width() < 40 || plot.height() < 40)
        return;
    const auto xOf = [&](double facility) { return plot.left() + facility * plot.width(); };
    const auto yOf = [&](double r) { return plot.top() + (1.0 - r) / 2.0 * plot.height(); };

    // Where a question is flagged: too hard, too easy, or working against the rest of the paper.
    QColor zone = flaggedColor();
    zone.setAlpha(28);
    const QRectF area(plot);
    p.fillRect(QRectF(area.topLeft(), QPointF(xOf(report::hardBelow), area.bottom())), zone);
    p.fillRect(QRectF(QPointF(xOf(report::easyAbove), area.top()), area.bottomRight()), zone);
    p.fillRect(QRectF(QPointF(xOf(report::hardBelow), yOf(0)), QPointF(xOf(report::easyAbove), area.bottom())), zone);

    // The grid: facility in tenths, discrimination in halves, each with its number.
    QColor grid = palette().color(QPalette::Mid);
    grid.setAlpha(90);
    for (int tenth = 0; tenth <= 10; ++tenth) {
        const double x = xOf(tenth / 10.0);
        p.setPen(grid);
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        if (tenth % 2 == 0) {
            p.setPen(ink);
            p.drawText(QRectF(x - 20, plot.bottom() + 3, 40, line), Qt::AlignHCenter | Qt::AlignTop,
                       QString::number(tenth / 10.0));
        }
    }
    for (int half = -2; half <= 2; ++half) {
        const double y = yOf(half / 2.0);
        p.setPen(grid);
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(ink);
        p.drawText(QRectF(line + 2, y - line / 2.0, tickWidth + 6, line), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(half / 2.0));
    }
    p.save();
    p.translate(2, plot.center().y());
    p.rotate(-90);
    p.drawText(QRect(-plot.height() / 2, 0, plot.height(), line), Qt::AlignCenter, m_texts.correlationAxis);
    p.restore();
    p.drawText(QRect(plot.left(), plot.bottom() + 3 + line, plot.width(), line + 4), Qt::AlignCenter,
               m_texts.facilityAxis);

    // The bounds of the flags, and r = 0, drawn over the grid.
    p.setPen(QPen(ink, 1, Qt::DashLine));
    for (double bound : { report::hardBelow, report::easyAbove })
        p.drawLine(QPointF(xOf(bound), plot.top()), QPointF(xOf(bound), plot.bottom()));
    // Named at the foot of their lines, where few questions lie (r below -0.5).
    p.drawText(QRectF(plot.left(), plot.bottom() - line - 2, xOf(report::hardBelow) - plot.left() - 4, line),
               Qt::AlignRight | Qt::AlignBottom, m_texts.hard);
    p.drawText(QRectF(xOf(report::easyAbove) - 200, plot.bottom() - line - 2, 196, line),
               Qt::AlignRight | Qt::AlignBottom, m_texts.easy);
    p.setPen(QPen(ink, 1.5));
    p.drawLine(QPointF(plot.left(), yOf(0)), QPointF(plot.right(), yOf(0)));
    p.setPen(ink);
    p.drawRect(plot);

    // The dots, flagged ones last so that they stay on top; each labelled with its number where the label runs into
    // no dot or other label (flagged ones placed first).
    const QColor plain = palette().color(QPalette::Highlight);
    QList<Point> order = m_points;
    std::stable_sort(order.begin(), order.end(),
                     [](const Point &a, const Point &b) { return !a.flagged && b.flagged; });
    const double radius = std::max(3.0, line / 4.0);
    const auto dotAt = [&](const Point &pt) {
        return QPointF(xOf(std::clamp(pt.facility, 0.0, 1.0)), yOf(std::clamp(pt.correlation, -1.0, 1.0)));
    };
    for (const Point &pt : order) {
        const QPointF at = dotAt(pt);
        p.setPen(QPen(pt.flagged ? flaggedColor().darker(130) : plain.darker(130), 1));
        p.setBrush(pt.flagged ? flaggedColor() : plain);
        p.drawEllipse(at, radius, radius);
    }
    p.setBrush(Qt::NoBrush);
    QList<QRectF> taken;
    for (const Point &pt : order) {
        const QPointF at = dotAt(pt);
        taken.append(QRectF(at.x() - radius, at.y() - radius, 2 * radius, 2 * radius));
    }
    for (auto it = order.crbegin(); it != order.crend(); ++it) {
        const QPointF at = dotAt(*it);
        const QString label = QString::number(it->number);
        const double w = fm.horizontalAdvance(label) + 2;
        // Above the dot to its right, else to its left, else below; left out where all run into others.
        const QRectF places[] = {
            { at.x() + radius, at.y() - radius - line + 3, w, double(line) },
            { at.x() - radius - w, at.y() - radius - line + 3, w, double(line) },
            { at.x() + radius, at.y() + radius - 3, w, double(line) },
            { at.x() - radius - w, at.y() + radius - 3, w, double(line) },
        };
        const QRectF inside(plot);
        const auto free = [&](const QRectF &box) {
            return inside.contains(box)
                && std::none_of(taken.cbegin(), taken.cend(), [&box](const QRectF &t) { return t.intersects(box); });
        };
        const auto place = std::find_if(std::begin(places), std::end(places), free);
        if (place == std::end(places))
            continue;
        const QRectF box = *place;
        taken.append(box);
        p.setPen(ink);
        p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, label);
    }

    // The key of the flagged colour, above the plot's right corner.
    const QString key = m_texts.flagged;
    const double keyWidth = fm.horizontalAdvance(key) + 2 * radius + 10;
    const QRectF keyBox(plot.right() - keyWidth, 2, keyWidth, line + 2);
    if (std::any_of(order.cbegin(), order.cend(), [](const Point &pt) { return pt.flagged; })) {
        p.setPen(QPen(flaggedColor().darker(130), 1));
        p.setBrush(flaggedColor());
        p.drawEllipse(QPointF(keyBox.left() + radius + 2, keyBox.center().y()), radius, radius);
        p.setBrush(Qt::NoBrush);
        p.setPen(ink);
        p.drawText(keyBox.adjusted(2 * radius + 8, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, key);
    }
}

} // namespace centrum
