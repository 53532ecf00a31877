#include "tools/pack/temp_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace trevan::pack {

std::FILE* create_exclusive(const std::string& path) {
    // O_EXCL fails for an existing name, a dangling link included;
    // O_NOFOLLOW says the same about links in so many words.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    std::FILE* f = fdopen(fd, "wb");
    if (!f) {
        const int error = errno;
        ::close(fd);
        errno = error;
    }
    return f;
}

bool create_exclusive_folder(const std::string& path) { return ::mkdir(path.c_str(), 0700) == 0; }

}  // namespace trevan::pack
