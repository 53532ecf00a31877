#include "tools/pack/temp_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <random>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace trevan::pack {

std::FILE* create_exclusive(const std::string& path) {
#ifdef _WIN32
    // _O_EXCL makes this CreateFile with CREATE_NEW, which fails for any
    // existing name, a link included, without following it.
    int fd = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
    if (fd < 0) return nullptr;
    std::FILE* f = _fdopen(fd, "wb");
    if (!f) _close(fd);
#else
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
#endif
    return f;
}

temp_file create_temp_file(const std::string& prefix) {
    std::random_device random;
    temp_file temp;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::uint64_t token = std::uint64_t(random()) << 32 | random();
        char digits[17];
        std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(token));
        temp.path = prefix + digits + ".tmp";
        temp.file.reset(create_exclusive(temp.path));
        if (temp.file || errno != EEXIST) break;
    }
    if (!temp.file) temp.path.clear();
    return temp;
}

}  // namespace trevan::pack
