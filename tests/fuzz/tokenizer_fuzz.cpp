// Fuzz target: splitting one-line records field by field (Tokenizer) and at once (ParseString).
#include "tests/fuzz/fuzzinput.h"

#include "common/tokenizer.h"

// Input: the separator, NUL, then the line.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QByteArray> texts = fuzz::fields(data, size, 2);
    const QString separator = QString::fromUtf8(texts[0]);
    const QString line = QString::fromUtf8(texts[1]);

    // Field by field: a field is never longer than the line and the line is used up within
    // one call per character; the view and the copy give the same fields.
    Tokenizer byView;
    Tokenizer byCopy;
    for (Tokenizer *t : { &byView, &byCopy }) {
        if (!separator.isEmpty())
            t->setSeparator(separator);
        t->init(line);
    }
    qsizetype calls = 0;
    for (;;) {
        const QStringView view = byView.nextView();
        const QString copy = byCopy.nextToken();
        FUZZ_ASSERT(view == copy);
        FUZZ_ASSERT(byView.lastPosition() == byCopy.lastPosition());
        FUZZ_ASSERT(copy.size() <= line.size());
        FUZZ_ASSERT(byView.lastPosition() <= line.size());
        if (byView.lastPosition() == 0)
            break;
        FUZZ_ASSERT(++calls <= line.size());
    }
    FUZZ_ASSERT(byCopy.nextToken().isEmpty() && byCopy.lastPosition() == 0);

    // At once: the pieces joined by the delimiter are the text again.
    const auto pieces = ParseString(line, separator);
    if (pieces) {
        FUZZ_ASSERT(pieces->join(separator) == line);
    } else {
        FUZZ_ASSERT(line.isEmpty() || separator.isEmpty() || separator.size() >= line.size());
    }

    const QString trimmed = trimBlanks(line);
    FUZZ_ASSERT(!trimmed.startsWith(u' ') && !trimmed.endsWith(u' '));
    FUZZ_ASSERT(line.contains(trimmed));
    return 0;
}
