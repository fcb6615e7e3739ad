// Runs a fuzz target over the files it is given and every file of the folders it is given:
// its seeds and the inputs that once failed.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int *argc, char ***argv);

int main(int argc, char **argv)
{
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    int inputs = 0;
    for (int i = 1; i < argc; ++i) {
        const QString given = QString::fromLocal8Bit(argv[i]);
        QStringList files;
        if (QFileInfo(given).isFile()) {
            files.append(given);
        } else {
            // A folder that does not exist is a target without regressions yet.
            QDirIterator it(given, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext())
                files.append(it.next());
            files.sort();
        }
        for (const QString &path : files) {
            QFile f(path);
            if (!f.open(QIODevice::ReadOnly)) {
                fprintf(stderr, "cannot read %s\n", qPrintable(path));
                return 1;
            }
            const QByteArray bytes = f.readAll();
            fprintf(stderr, "%s\n", qPrintable(path)); // the input at fault, should one fail
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size()));
            ++inputs;
        }
    }
    if (inputs == 0) {
        fprintf(stderr, "no inputs found\n");
        return 1;
    }
    printf("%d passed, 0 failed\n", inputs);
    return 0;
}
