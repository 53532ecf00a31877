#include "tests/signing/test_signer.h"

#include <cstdio>
#include <sys/wait.h>

namespace trevan::fixtures {
namespace {

// A word for /bin/sh, in single quotes.
std::string quoted(const std::string& word) {
    std::string out = "'";
    for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string script() { return quoted(TREVAN_TEST_SIGNER); }

}  // namespace

test_signer::test_signer(const std::string& folder, const std::string& subject) : folder_(folder) {
    made_ = step(script() + " make " + quoted(folder_) + " " + quoted(subject));
}

bool test_signer::sign(const std::string& in, const std::string& out, const std::string& name) {
    return step(script() + " sign " + quoted(folder_) + " " + quoted(in) + " " + quoted(out) + " " + quoted(name));
}

bool test_signer::verifies(const std::string& file) {
    return step(script() + " verify " + quoted(folder_) + " " + quoted(file));
}

std::string test_signer::sign_command(const std::string& name) const {
    return script() + " sign " + quoted(folder_) + " {in} {out} " + quoted(name);
}

bool test_signer::step(const std::string& command) {
    output_.clear();
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return false;
    char buffer[512];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output_.append(buffer, n);
    const int status = pclose(pipe);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace trevan::fixtures
