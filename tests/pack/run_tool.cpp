#include "tests/pack/run_tool.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/pack/file_helpers.h"

namespace trevan::pack {

int run_tool_to_files(const std::vector<std::string>& args, const std::filesystem::path& capture_folder,
                      std::uint64_t memory_limit) {
    std::vector<std::string> argv = {TREVAN_PACK_TOOL};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> raw;
    for (const std::string& a : argv) raw.push_back(const_cast<char*>(a.c_str()));
    raw.push_back(nullptr);
    const std::string out = (capture_folder / ".stdout").string(), err = (capture_folder / ".stderr").string();
    pid_t pid = fork();
    if (pid == 0) {
        int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (o < 0 || e < 0) _exit(127);
        const rlimit limit{memory_limit, memory_limit};
        if (memory_limit != 0 && setrlimit(RLIMIT_AS, &limit) != 0) _exit(127);
        dup2(o, 1);
        dup2(e, 2);
        execv(raw[0], raw.data());
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

tool_run run_tool(const std::vector<std::string>& args, const std::filesystem::path& capture_folder,
                  std::uint64_t memory_limit) {
    tool_run r;
    r.code = run_tool_to_files(args, capture_folder, memory_limit);
    r.out = read_all(capture_folder / ".stdout");
    r.err = read_all(capture_folder / ".stderr");
    return r;
}

}  // namespace trevan::pack
