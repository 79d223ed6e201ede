#include "SetupCommandLine.h"
#include "SetupCommands.h"

#include <QCoreApplication>
#include <QStringDecoder>

#include <cstdio>
#include <cstring>
#include <unistd.h>

int main(int argc, char* argv[])
{
    // Only as the first argument: elsewhere "--version" may be the value of an option before it.
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::fputs("troveport-setup " TROVEPORT_VERSION "\n", stdout);
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    }
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(TROVEPORT_VERSION));
    QCoreApplication::setApplicationName(QStringLiteral("troveport-setup"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    // Names and paths are kept as UTF-8 text. An argument that is not UTF-8 would reach the
    // commands with replacement characters: a directory made under one name, recorded under another.
    for (int i = 1; i < argc; ++i) {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = decoder.decode(QByteArrayView(argv[i]));
        if (decoder.hasError()) {
            err << "troveport-setup: the argument \"" << text << "\" is not valid UTF-8 text ("
                << QChar(QChar::ReplacementCharacter)
                << " stands for the bytes that are not). Troveport keeps names and paths as UTF-8, so it "
                   "would record something else than was given; rename such directories to UTF-8 first.\n";
            return 2;
        }
    }
    SetProgressOnTerminal(isatty(STDERR_FILENO) == 1);
    return RunSetup(QCoreApplication::arguments().mid(1), out, err);
}
