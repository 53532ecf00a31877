#include "tools/pack/temp_file.h"

#include <fcntl.h>
#include <direct.h>
#include <io.h>
#include <sys/stat.h>

#include "tools/pack/host.h"

namespace trevan::pack {

std::FILE* create_exclusive(const std::string& path) {
    // _O_EXCL makes this CreateFile with CREATE_NEW, which fails for any
    // existing name, a link included, without following it.
    int fd = _wopen(native_path(path).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
    if (fd < 0) return nullptr;
    std::FILE* f = _fdopen(fd, "wb");
    if (!f) _close(fd);
    return f;
}

// _wmkdir is CreateDirectoryW, which fails for any existing name.
bool create_exclusive_folder(const std::string& path) { return _wmkdir(native_path(path).c_str()) == 0; }

}  // namespace trevan::pack
