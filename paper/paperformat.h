// The paper file's lines: the header and question fields, and the cipher every stored line goes through.
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <QVarLengthArray>

#include <optional>

class oneChoice;

namespace paper {

// Kind codes of the question line's fifth field.
inline const QString kindSingle = QStringLiteral("9");
inline const QString kindMultiple = QStringLiteral("8");
inline const QString kindBlank = QStringLiteral("7");
inline const QString kindTrueFalse = QStringLiteral("6");

bool isKnownKind(const QString &code);

inline constexpr QChar fieldSeparator = u'^';

// The most questions a paper holds: line numbers are 16-bit and line 0 is the header.
inline constexpr int maxQuestions = 32766;

// Text typed on several lines is joined with nothing between.
QString removeCrLf(QString text);

struct Header {
    QString random;
    QString timeLimit; // minutes
    QString subject;
    QString title;
    QString total;
    QString author;
};

// The plain header line: the six fields joined with "^", line breaks removed.
QString buildHeaderLine(const Header &header);

// The header as the test-taking program splits it (each field after the first loses its
// leading blanks, the last its trailing ones too).
Header readHeader(const QString &plainLine);

// The plain question line of a record: text, image id, answer, marks, kind and the option run.
QString buildQuestionLine(const oneChoice &question);

// A plain line as stored in the file, and back; empty when a digit pair is not hex,
// with the pair's 0-based offset in badPosition.
QString encipherLine(const QString &plainLine);
// A line's stored form appended to a file's bytes, the plain line given in parts: its parts
// are gathered and the whole line is enciphered into out when this object ends.
class EncipheredLine
{
public:
    explicit EncipheredLine(QByteArray &out) : m_out(out) { }
    ~EncipheredLine();
    EncipheredLine(const EncipheredLine &) = delete;
    EncipheredLine &operator=(const EncipheredLine &) = delete;

    EncipheredLine &operator<<(QStringView part)
    {
        m_plain.append(part.utf16(), part.size());
        return *this;
    }

private:
    QByteArray &m_out;
    QVarLengthArray<char16_t, 512> m_plain;
};
std::optional<QString> decipherLine(QStringView storedLine, qsizetype *badPosition = nullptr);
// The same for a line's bytes as the file holds them (UTF-8): the same result as for the
// line read as text, and badPosition counts its characters.
std::optional<QString> decipherLine(QByteArrayView storedLine, qsizetype *badPosition = nullptr);

} // namespace paper
