// A bar chart of a report's scores, drawn by the report viewer under its table.
#pragma once

#include "report/report.h"

#include <QWidget>

namespace centrum {

class ScoreHistogram : public QWidget
{
    Q_OBJECT
public:
    explicit ScoreHistogram(QWidget *parent = nullptr);

    // The bins to draw and the texts of the axes; an empty histogram draws the empty text.
    void setHistogram(const report::Histogram &histogram, const QString &scoreAxis, const QString &countAxis,
                      const QString &emptyText);
    const report::Histogram &histogram() const { return m_histogram; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    report::Histogram m_histogram;
    QString m_scoreAxis;
    QString m_countAxis;
    QString m_emptyText;
};

} // namespace centrum
