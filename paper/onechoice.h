// One question in memory: parsed from a plain question line, or filled by the editor and written as one.
#pragma once

#include <QString>

#include <array>

class oneChoice
{
public:
    // Parses a plain question line: text, image id, answer, marks, kind code, options A to F.
    // Missing fields are empty (image id 0); fields past the eleventh are not read.
    // The question's text and options are taken from the line when first asked for: a paper
    // is scored from its answers, marks and kinds alone, and most of its text is never shown
    // twice. So a record is not to be read from two threads at once.
    void init(const QString &line);

    QString getContext() const;
    void setContext(const QString &cntx);
    QString getAnswer() const { return m_answer; }
    void setAnswer(const QString &asw) { m_answer = asw; }
    // Slots 0 to 5 are options A to F; slot 6 is a spare that stays empty. Any other
    // index throws std::out_of_range.
    QString getOption(int i) const;
    void setOption(int i, const QString &v);
    QString getPoint() const { return m_point; }
    void setPoint(const QString &pnt) { m_point = pnt; }
    qint16 getImg() const { return m_img; }
    void setImg(qint16 img) { m_img = img; }
    QString getOneLine() const { return m_oneLine; }
    void setOneLine(const QString &ln);
    QString getType() const { return m_type; }
    void setType(const QString &tp) { m_type = tp; }

    // "^" and each option from A on, up to the first empty one, line breaks removed.
    QString getOptStr() const;

    // True when the record may be written: text, marks, kind and option A present, and an
    // answer unless the question is fill-in-the-blank.
    bool validateLine() const;

    static constexpr int optionSlots = 7;
    static constexpr int optionCount = 6;

private:
    // Fills the text and options from the line given to init, once.
    void takeText() const;

    QString m_oneLine;
    mutable QString m_context;
    mutable std::array<QString, optionSlots> m_options;
    mutable bool m_textPending = false;
    QString m_answer;
    QString m_point;
    QString m_type;
    qint16 m_img = 0;
};
