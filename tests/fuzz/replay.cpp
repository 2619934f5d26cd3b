// Runs every file under the directories given through one fuzz target without libFuzzer, so each
// build's own compiler and sanitizers replay the corpus and the reproducers kept in it.
#include "fuzz.h"

#include <QDirIterator>
#include <QFile>

#include <vector>

int main(int argc, char* argv[])
{
    int inputs = 0;
    for (int i = 1; i < argc; ++i) {
        QDirIterator it(QString::fromLocal8Bit(argv[i]), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            std::fprintf(stderr, "%s\n", qPrintable(file.fileName()));
            if (!file.open(QIODevice::ReadOnly))
                return 1;
            // Exactly the input's size, so a read past its end is caught as under libFuzzer.
            const QByteArray bytes = file.readAll();
            const std::vector<std::uint8_t> input(bytes.begin(), bytes.end());
            LLVMFuzzerTestOneInput(input.data(), input.size());
            ++inputs;
        }
    }
    std::printf("%d inputs replayed\n", inputs);
    // No input at all means the corpus was not found, not that it passed.
    return inputs > 0 ? 0 : 1;
}
