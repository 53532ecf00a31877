// The program with its own file read as from a slow disk, at 32 MiB a
// second: runs of a large container then take seconds, long enough for the
// progress window to show. Otherwise the program as shipped.
#include <windows.h>

#include <memory>

#include "app/dll_search.h"
#include "app/own_file.h"
#include "app/run.h"

namespace {

constexpr std::uint32_t bytes_per_ms = 32 << 10;

class slowed_reader : public trevan::archive_reader {
public:
    explicit slowed_reader(std::unique_ptr<trevan::archive_reader> inner) : inner_(std::move(inner)) {}

    std::optional<std::uint32_t> move_to_end() override { return inner_->move_to_end(); }
    std::optional<std::uint32_t> move(std::int32_t distance) override { return inner_->move(distance); }
    bool read(void* destination, std::uint32_t size) override {
        Sleep(size / bytes_per_ms);
        return inner_->read(destination, size);
    }

private:
    std::unique_ptr<trevan::archive_reader> inner_;
};

std::unique_ptr<trevan::archive_reader> slowed(std::unique_ptr<trevan::archive_reader> inner) {
    return std::make_unique<slowed_reader>(std::move(inner));
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    trevan::restrict_dll_search();
    const trevan::own_file own = trevan::open_own_file();
    trevan::run_seams seams;
    seams.wrap_archive = slowed;
    return trevan::run(instance, GetCommandLineW(), own, seams);
}
