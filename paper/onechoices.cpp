// A loaded paper: every question line deciphered into a record, numbered from 1.
#include "paper/onechoices.h"

#include "common/vbfile.h"
#include "paper/paperformat.h"

oneChoices::LoadStatus oneChoices::init(const QString &path)
{
    // The count never names questions that are no longer held, whatever stops the load.
    m_questions.clear();
    m_count = 0;
    m_lastError.clear();
    m_errorLine = 0;

    vbFile file;
    if (!file.OpenForRead(path)) {
        m_lastError = file.getLastError();
        return LoadStatus::Unreadable;
    }
    int lineNumber = 0;
    LoadStatus status = LoadStatus::Loaded;
    QStringList plainLines;
    file.forEachLine([&](QByteArrayView stored) {
        ++lineNumber;
        if (lineNumber == 1)
            return true; // the header
        if (plainLines.size() >= paper::maxQuestions) {
            plainLines.clear();
            m_lastError = QStringLiteral("%1 holds more than %2 questions")
                              .arg(path, QString::number(paper::maxQuestions));
            status = LoadStatus::TooManyQuestions;
            return false;
        }
        qsizetype bad = 0;
        auto plain = paper::decipherLine(stored, &bad);
        if (!plain) {
            m_lastError = QStringLiteral("%1, line %2: not hexadecimal at character %3")
                              .arg(path, QString::number(lineNumber), QString::number(bad + 1));
            status = LoadStatus::BadLine;
            return false;
        }
        plainLines.append(*std::move(plain));
        return true;
    });
    file.closeFile();
    // The records go in once the count is known: the collection is allocated once, not regrown.
    m_questions.reserve(size_t(plainLines.size()));
    for (const QString &line : std::as_const(plainLines))
        m_questions.emplace_back().init(line);
    if (status != LoadStatus::Loaded) {
        m_errorLine = lineNumber;
        return status;
    }
    m_count = static_cast<qint16>(m_questions.size());
    return LoadStatus::Loaded;
}

oneChoice *oneChoices::getOne(int i)
{
    return const_cast<oneChoice *>(std::as_const(*this).getOne(i));
}

const oneChoice *oneChoices::getOne(int i) const
{
    if (i < 1 || i > m_count || size_t(i) > m_questions.size()) {
        if (m_missingQuestion)
            m_missingQuestion(i);
        return nullptr;
    }
    return &m_questions[size_t(i) - 1];
}

std::optional<QString> oneChoices::getTitle(const QString &path)
{
    vbFile file;
    if (!file.OpenForRead(path))
        return QString();
    const QString first = file.readLine();
    file.closeFile();
    return paper::decipherLine(first);
}
