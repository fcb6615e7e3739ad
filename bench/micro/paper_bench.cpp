// Loading a paper against deciphering its lines alone, and scoring a whole paper's answers.
#include "bench/support/benchmain.h"
#include "bench/support/benchpaper.h"

#include "common/vbfile.h"
#include "examdesk/testrecord.h"
#include "paper/onechoices.h"
#include "paper/paperformat.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <memory>

namespace {

// One generated paper on disk, six options or blanks on every question line.
struct Paper {
    QTemporaryDir dir;
    QString path;
    qint64 fileBytes = 0;
    bool written = false;
};

const Paper &generated()
{
    static const std::unique_ptr<Paper> p = [] {
        auto d = std::make_unique<Paper>();
        const QStringList plain = bench::paperLines(bench::questionCount(), bench::Kinds::ChoiceAndBlank);
        d->path = d->dir.filePath(QStringLiteral("bench.dat"));
        d->written = d->dir.isValid() && bench::writePaperFile(d->path, plain);
        d->fileBytes = QFileInfo(d->path).size();
        return d;
    }();
    return *p;
}

void LoadPaper(benchmark::State &state)
{
    const Paper &p = generated();
    if (!p.written)
        return bench::fail(state, "the paper could not be written");
    for (auto _ : state) {
        auto paper = std::make_unique<oneChoices>();
        if (paper->init(p.path) != oneChoices::LoadStatus::Loaded || paper->getCount() != bench::questionCount())
            return bench::fail(state, "the paper did not load whole");
        benchmark::DoNotOptimize(paper->getOne(1));
        // A loaded paper lives as long as the test; letting it go is no part of loading.
        state.PauseTiming();
        paper.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * p.fileBytes);
    state.SetItemsProcessed(state.iterations() * bench::questionCount());
    state.counters["questions"] = bench::questionCount();
}

// The reference: the paper's lines read and deciphered, the plain lines kept as a list, and
// nothing parsed. It reads and deciphers the way the loader does, so only the records differ.
void DecipherPaper(benchmark::State &state)
{
    const Paper &p = generated();
    for (auto _ : state) {
        auto plain = std::make_unique<QStringList>();
        vbFile file;
        if (!file.OpenForRead(p.path))
            return bench::fail(state, "the paper could not be opened");
        bool whole = true;
        file.forEachLine([&](QByteArrayView line) {
            auto text = paper::decipherLine(line);
            whole = whole && text;
            plain->append(text ? *std::move(text) : QString());
            return true;
        });
        file.closeFile();
        if (!whole || plain->size() != bench::questionCount() + 1)
            return bench::fail(state, "the lines did not decipher");
        state.PauseTiming();
        plain.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * p.fileBytes);
    state.SetItemsProcessed(state.iterations() * bench::questionCount());
    state.counters["questions"] = bench::questionCount();
}

// What reading the file's lines costs on its own, to show where a load's time goes.
void ReadLines(benchmark::State &state)
{
    const Paper &p = generated();
    for (auto _ : state) {
        vbFile file;
        if (!file.OpenForRead(p.path))
            return bench::fail(state, "the paper could not be opened");
        qsizetype n = 0;
        file.forEachLine([&n](QByteArrayView line) {
            n += line.size();
            return true;
        });
        file.closeFile();
        benchmark::DoNotOptimize(n);
    }
    state.SetBytesProcessed(state.iterations() * p.fileBytes);
}

// A loaded paper and a candidate's answers to every question, as at submission. Each run
// loads its own and lets it go: a test program holds one paper, and a paper kept for the
// whole process would leave every later load working around it in the heap.
struct Scored {
    oneChoices paper;
    examdesk::testRecord rec;
};

std::unique_ptr<Scored> scored(benchmark::State &state)
{
    auto s = std::make_unique<Scored>();
    if (s->paper.init(generated().path) != oneChoices::LoadStatus::Loaded) {
        bench::fail(state, "the paper did not load");
        return nullptr;
    }
    const int count = s->paper.getCount();
    s->rec.setAns(qint16(count), s->paper);
    const QStringList answers = bench::candidateAnswers(count, bench::Kinds::ChoiceAndBlank);
    for (int k = 0; k < count; ++k)
        s->rec.addSel(k, answers[k]);
    return s;
}

void Score(benchmark::State &state)
{
    const std::unique_ptr<Scored> s = scored(state);
    if (!s)
        return;
    const qint64 expected = bench::expectedScore(s->paper.getCount(), bench::Kinds::ChoiceAndBlank);
    for (auto _ : state) {
        const std::optional<qint64> score = s->rec.getResult(s->paper);
        if (score != expected)
            return bench::fail(state, "the score is not what the answers earn");
    }
    state.SetItemsProcessed(state.iterations() * s->paper.getCount());
    state.counters["questions"] = s->paper.getCount();
}

void FullMarks(benchmark::State &state)
{
    const std::unique_ptr<Scored> s = scored(state);
    if (!s)
        return;
    const qint64 expected = bench::expectedFullMarks(s->paper.getCount(), bench::Kinds::ChoiceAndBlank);
    for (auto _ : state) {
        if (s->rec.getFullPoint(s->paper) != expected)
            return bench::fail(state, "the full marks are not what the paper is worth");
    }
    state.SetItemsProcessed(state.iterations() * s->paper.getCount());
    state.counters["questions"] = s->paper.getCount();
}

} // namespace

void bench::registerBenchmarks(int)
{
    benchmark::RegisterBenchmark("paper/LoadPaper", LoadPaper)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("paper/DecipherPaper", DecipherPaper)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("paper/ReadLines", ReadLines)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("scoring/Score", Score)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("scoring/FullMarks", FullMarks)->Unit(benchmark::kMillisecond);
}
