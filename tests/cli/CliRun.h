// Running the built orvconvert as a user would (through the shell), or any
// program in a child process, optionally under a file size limit and with
// extra environment, reporting its error number (from orvconvert's error
// line), its peak memory and its processor time.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "support/TestSupport.h"

namespace orv::test {

struct ChildOptions {
    rlim_t fileSizeLimit = 0;  // 0: none; past it a write fails with EFBIG
    std::vector<std::pair<std::string, std::string>> environment;
};

struct ChildRun {
    int error = -1;  // 0: success; -1: no error line (a crash or a usage error)
    std::string stderrText;
    double megabytes = 0, seconds = 0;
};

inline ChildRun RunInChild(const std::string& program, const std::vector<std::string>& args,
                           const std::filesystem::path& errFile, const ChildOptions& options = {}) {
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int out = open("/dev/null", O_WRONLY);
        if (err < 0 || out < 0 || dup2(err, 2) < 0 || dup2(out, 1) < 0) _exit(126);
        for (const auto& [name, value] : options.environment) setenv(name.c_str(), value.c_str(), 1);
        if (options.fileSizeLimit != 0) {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{options.fileSizeLimit, options.fileSizeLimit};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        alarm(120);  // a hang ends as a failure, not as a stuck test run
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    ChildRun run;
    run.stderrText = ReadAll(errFile);
    run.megabytes = static_cast<double>(usage.ru_maxrss) / 1024.0;
    run.seconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                  static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::smatch m;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) run.error = 0;
    else if (WIFEXITED(status) && WEXITSTATUS(status) == 1 &&
             std::regex_search(run.stderrText, m, std::regex(": error (-?[0-9]+): ")))
        run.error = std::stoi(m[1]);
    return run;
}

}  // namespace orv::test

namespace orv {

struct Result { int status; std::string out, err; };

inline std::string Quoted(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

// Runs orvconvert with the arguments (already quoted for the shell).
inline Result Orvconvert(const std::string& args) {
    test::TempDir dir;
    const auto out = dir.path() / "out", err = dir.path() / "err";
    const int raw = std::system((ORV_CLI_BINARY " " + args + " >" + Quoted(out) + " 2>" + Quoted(err)).c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, test::ReadAll(out), test::ReadAll(err)};
}

}  // namespace orv
