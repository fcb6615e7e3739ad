// The report viewer's chart of a paper's questions: facility against discrimination, one dot a question.
#pragma once

#include <QList>
#include <QString>
#include <QWidget>

namespace centrum {

class QuestionChart : public QWidget
{
    Q_OBJECT
public:
    explicit QuestionChart(QWidget *parent = nullptr);

    struct Point {
        int number = 0;
        double facility = 0;    // 0 to 1
        double correlation = 0; // -1 to 1
        bool flagged = false;
    };
    struct Texts {
        QString facilityAxis;
        QString correlationAxis;
        QString empty; // drawn when there is no point
        QString hard;  // beside the facility under which a question is hard
        QString easy;  // beside the facility over which it is easy
        QString flagged;
    };
    void setPoints(const QList<Point> &points, const Texts &texts);
    const QList<Point> &points() const { return m_points; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The colour of a flagged question's dot, also readable on a dark background.
    static QColor flaggedColor();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QList<Point> m_points;
    Texts m_texts;
};

} // namespace centrum
