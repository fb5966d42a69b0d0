#pragma once
// Runs a command-line program of the build as a user does (no shell in
// between): its exit status and what it wrote, for the tests of the tools.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace tenmari::test {

struct Outcome {
    int status;
    std::string out, err;
};

inline std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// `program` with exactly these arguments; `input` on standard input (none:
// standard input stays the test's own); standard output goes to `stdoutPath`
// when given, and is then not read back.
inline Outcome runTool(const char* program, const std::vector<std::string>& args,
                       const std::optional<std::string>& input = std::nullopt, const char* stdoutPath = nullptr) {
    const std::string base =
        (std::filesystem::temp_directory_path() / ("tenmari-tool-" + std::to_string(::getpid()))).string();
    const std::string in = base + ".in", out = base + ".out", err = base + ".err";
    if (input) std::ofstream(in, std::ios::binary) << *input;
    std::vector<char*> argv{const_cast<char*>(program)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int i = input ? ::open(in.c_str(), O_RDONLY) : 0;
        const int o = ::open(stdoutPath ? stdoutPath : out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (i < 0 || o < 0 || e < 0 || (input && ::dup2(i, 0) < 0) || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0) {
            ::_exit(127);
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int st = 0;
    ::waitpid(pid, &st, 0);
    Outcome r{WIFEXITED(st) ? WEXITSTATUS(st) : -1, stdoutPath ? "" : readFile(out), readFile(err)};
    std::filesystem::remove(in);
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return r;
}

}  // namespace tenmari::test
