// A second process for the lock and log tests.
//
//   support_helper mutex-hold NAME        take NAME, print "owned" or "busy",
//                                          wait for a line, end without unlock
//   support_helper mutex-hold-close NAME  take NAME, destroy the real_mutex
//                                          (closing, not releasing), print
//                                          "closed", wait for a line, end
//   support_helper mutex-try NAME         print "true" or "false" for wait(0)
//   support_helper log-lines BASE ID COUNT EVENT
//                                          wait for the named event, then log
//                                          COUNT lines "writer ID line N" into
//                                          BASE.log.txt and shut the log down
//
// Exit code 0, or 2 for a usage error, 3 for an exception.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "support/log/file.h"
#include "support/log/log.h"
#include "support/platform/handle.h"
#include "support/platform/real_mutex.h"

namespace {

void wait_for_line() {
    for (int c; (c = std::getchar()) != EOF && c != '\n';) {
    }
}

void say(const char* text) {
    std::printf("%s\n", text);
    std::fflush(stdout);
}

int run(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "mutex-hold") == 0) {
        vennic::real_mutex m(argv[2]);
        say(m.wait(0) ? "owned" : "busy");
        wait_for_line();
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "mutex-hold-close") == 0) {
        {
            vennic::real_mutex m(argv[2]);
            if (!m.wait(0)) {
                say("busy");
                return 0;
            }
        }
        say("closed");
        wait_for_line();
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "mutex-try") == 0) {
        vennic::real_mutex m(argv[2]);
        say(m.wait(0) ? "true" : "false");
        return 0;
    }
    if (argc == 6 && std::strcmp(argv[1], "log-lines") == 0) {
        HANDLE go = OpenEventA(SYNCHRONIZE, FALSE, argv[5]);
        if (!go || WaitForSingleObject(go, 60000) != WAIT_OBJECT_0) return 2;
        CloseHandle(go);
        // The log's folder, held as a run holds it.
        const std::string base = argv[2];
        vennic::unique_handle folder(CreateFileA(base.substr(0, base.rfind('\\')).c_str(), FILE_LIST_DIRECTORY,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        vennic::log::add_listener(new vennic::log::file(folder.get(), base));
        const int count = std::atoi(argv[4]);
        for (int i = 0; i < count; ++i) vennic::log::writef("writer %s line %d", argv[3], i);
        vennic::log::shutdown();
        return 0;
    }
    std::fprintf(stderr, "support_helper: unknown arguments\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "support_helper: %s\n", e.what());
        return 3;
    }
}
