// Test probe: runs extract_payload as the run does (the archive and the work
// folder held, the files created relative to the folder), shows its failure
// as the program would, and records its result and the settings.
//
//   extract_probe.exe ARCHIVE WORK-FOLDER RESULT-FILE [NAME=VALUE]...
//   extract_probe.exe --error-text CODE RESULT-FILE
//
// NAME=VALUE settings are in the map before the extraction. The result file
// holds "result true" or "result false", then one NAME=VALUE line per
// setting; with --error-text it holds the system's text for CODE.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "container/extract_win32.h"
#include "support/platform/handle.h"
#include "support/platform/system_error_text.h"

namespace {

bool write_result(const char* path, const std::string& text) {
    std::FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--error-text")
        return write_result(argv[3], vennic::system_error_text(std::strtoul(argv[2], nullptr, 10))) ? 0 : 3;
    if (argc < 4) return 2;
    trevan::SettingsMap settings;
    for (int i = 4; i < argc; ++i) {
        std::string preset = argv[i];
        std::string::size_type eq = preset.find('=');
        settings[preset.substr(0, eq)] = eq == std::string::npos ? "" : preset.substr(eq + 1);
    }
    vennic::unique_handle archive(
        CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    const vennic::error_or<HANDLE> held =
        archive ? vennic::error_or<HANDLE>(archive.get()) : vennic::system_error{GetLastError()};
    vennic::unique_handle folder(CreateFileA(argv[2], FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                             FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder) return 4;
    trevan::extracted_files files;
    trevan::extraction_result result = trevan::extract_payload(argv[1], held, argv[2], folder.get(), settings, files);
    files.release();
    // The box the program would show for the failure, as the run shows it.
    if (result.failure)
        MessageBoxA(nullptr, result.failure->text.c_str(), result.failure->caption.c_str(), MB_OK);
    std::string out = result.end == trevan::extraction_end::complete ? "result true\n" : "result false\n";
    for (const auto& [name, value] : settings) out += name + "=" + value + "\n";
    return write_result(argv[3], out) ? 0 : 3;
}
