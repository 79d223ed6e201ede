#include "startup/CExplorerApp.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

namespace {

const char* const kUsage =
    "Usage: troveport-explorer [--help] [--version]\n"
    "\n"
    "Shows and edits the library of downloadable files of this machine's Troveport web site:\n"
    "its file areas, their files, visitors' uploads and reviews. The library is the one the\n"
    "machine settings name ($TROVEPORT_MACHINE_REG, else /etc/troveport/machine.reg); make one\n"
    "with troveport-setup.\n"
    "\n"
    "  --help      Print this text and exit.\n"
    "  --version   Print the version and exit.\n"
    "\n"
    "Qt's own options (-platform, -style, ...) are accepted as well.\n";

// Answered before QApplication is made: a package check or a shell script asks without a display,
// and neither question should read or write any settings.
int AnswerQuestion(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0)
            break;
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs("troveport-explorer " TROVEPORT_VERSION "\n", stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    return -1;
}

} // namespace

int main(int argc, char* argv[])
{
    if (const int answered = AnswerQuestion(argc, argv); answered >= 0)
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? answered : 1;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("troveport-explorer"));
    QApplication::setOrganizationName(QStringLiteral("troveport"));
    QApplication::setApplicationVersion(QStringLiteral(TROVEPORT_VERSION));
    // Ties the windows to the menu entry, for the desktop's task list and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("troveport-explorer"));
    if (!theApp.InitInstance())
        return 0;
    const int code = QApplication::exec();
    theApp.ExitInstance();
    return code;
}
