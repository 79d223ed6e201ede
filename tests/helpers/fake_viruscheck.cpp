// A stand-in virus checker for the tests. It appends one line to the file named by
// $FAKE_VIRUSCHECK_LOG: its current directory and then every argument, each ended by a NUL. The
// last argument is the file to check. When $FAKE_VIRUSCHECK_READ names a file, a line is appended
// to it saying what the checker really read, whatever name it was given: "<device>:<inode> " and
// the first line of the file (without its line end), or "-" when nothing could be read. The first
// line decides the outcome:
//   "VIRUS..."  exit status 1
//   "EXIT n"    exit status n
//   "KILL"      killed by SIGKILL
//   "NOISE n"   n bytes on standard output and on standard error, then exit status 0
//   "GROW"      appends a line to the checked file (as an upload still being written), status 0
//   else (a missing file too) exit status 0.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void AppendTo(const char* path, const std::string& text)
{
    if (FILE* out = std::fopen(path, "ab")) {
        std::fwrite(text.data(), 1, text.size(), out);
        std::fclose(out);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (const char* log = std::getenv("FAKE_VIRUSCHECK_LOG")) {
        std::string line;
        char cwd[4096];
        line += getcwd(cwd, sizeof cwd) ? cwd : "?";
        line += '\0';
        for (int i = 1; i < argc; ++i) {
            line += argv[i];
            line += '\0';
        }
        line += '\n';
        AppendTo(log, line);
    }
    if (argc < 2)
        return 0;
    char first[64] = "";
    std::string seen = "-";
    if (FILE* in = std::fopen(argv[argc - 1], "rb")) {
        struct stat st;
        if (!std::fgets(first, sizeof first, in))
            first[0] = '\0';
        if (fstat(fileno(in), &st) == 0)
            seen = std::to_string(st.st_dev) + ':' + std::to_string(st.st_ino) + ' ' +
                   std::string(first, std::strcspn(first, "\r\n"));
        std::fclose(in);
    }
    if (const char* log = std::getenv("FAKE_VIRUSCHECK_READ"))
        AppendTo(log, seen + '\n');
    if (std::strncmp(first, "VIRUS", 5) == 0)
        return 1;
    if (std::strncmp(first, "EXIT ", 5) == 0)
        return std::atoi(first + 5);
    if (std::strncmp(first, "KILL", 4) == 0) {
        std::raise(SIGKILL);
        return 0;
    }
    if (std::strncmp(first, "GROW", 4) == 0)
        AppendTo(argv[argc - 1], "grown\n");
    if (std::strncmp(first, "NOISE ", 6) == 0) {
        const std::string block(4096, 'x');
        for (long left = std::atol(first + 6); left > 0; left -= long(block.size())) {
            const size_t n = left < long(block.size()) ? size_t(left) : block.size();
            std::fwrite(block.data(), 1, n, stdout);
            std::fwrite(block.data(), 1, n, stderr);
        }
    }
    return 0;
}
