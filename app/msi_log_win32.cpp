#include "app/msi_log.h"

#include "support/platform/plain_file.h"

namespace trevan {

namespace {

// The access to the data that the kind's own open of its log shares (msi_log).
DWORD held_access(setup_kind kind) {
    return kind == setup_kind::inno || kind == setup_kind::burn ? FILE_READ_DATA : FILE_APPEND_DATA;
}

}  // namespace

vennic::error_or<msi_log> hold_msi_log(const temp_folder& temp, setup_kind kind) {
    if (temp.text.empty()) return vennic::system_error{ERROR_NO_UNICODE_TRANSLATION};
    // First for its attributes only, which a read-only file grants too.
    vennic::error_or<vennic::unique_handle> plain =
        vennic::open_plain_file(temp.handle.get(), L"KELMO_msi.log.txt", FILE_WRITE_ATTRIBUTES,
                                vennic::when_missing::create, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    if (!plain) return vennic::system_error{plain.error()};
    FILE_BASIC_INFO info = {};  // times of zero stay as they are
    info.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    SetFileInformationByHandle(plain->get(), FileBasicInfo, &info, sizeof info);
    // The held handle is opened from the checked one, not by the name.
    msi_log log;
    log.file.reset(
        ReOpenFile(plain->get(), held_access(kind) | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, 0));
    if (!log.file) return vennic::system_error{GetLastError()};
    log.path = temp.text + "KELMO_msi.log.txt";
    return log;
}

}  // namespace trevan
