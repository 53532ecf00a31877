#include "support/platform/native.h"

namespace vennic {
namespace {

using nt_create_file_fn = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                           PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using status_to_error_fn = ULONG(NTAPI*)(NTSTATUS);
using are_mapped_files_the_same_fn = NTSTATUS(NTAPI*)(PVOID, PVOID);

// ntdll is in every process; the toolchain has no import library for these.
template <typename F>
F native(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll"), name)));
}

}  // namespace

error_or<unique_handle> open_at(HANDLE folder, const std::wstring& name, const open_request& request) {
    const auto nt_create_file = native<nt_create_file_fn>("NtCreateFile");
    const auto status_to_error = native<status_to_error_fn>("RtlNtStatusToDosError");
    if (!nt_create_file || !status_to_error) return system_error{ERROR_PROC_NOT_FOUND};
    if (name.empty() || name.size() * sizeof(wchar_t) > 0xFFFE) return system_error{ERROR_INVALID_NAME};
    std::wstring buffer = name;
    UNICODE_STRING object_name;
    object_name.Buffer = &buffer[0];
    object_name.Length = static_cast<USHORT>(buffer.size() * sizeof(wchar_t));
    object_name.MaximumLength = object_name.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &object_name, OBJ_CASE_INSENSITIVE, folder, request.descriptor);
    IO_STATUS_BLOCK io = {};
    HANDLE handle = nullptr;
    const NTSTATUS status =
        nt_create_file(&handle, request.access | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL,
                       request.share, request.disposition, request.options | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (status < 0) return system_error{status_to_error(status)};
    return unique_handle(handle);
}

bool same_mapped_file(const void* image, const void* view) {
    // The kernel compares the image's section with the image section of the
    // file behind the view: equal only for the file the image was mapped
    // from (any of its names), never for a copy.
    const auto same = native<are_mapped_files_the_same_fn>("NtAreMappedFilesTheSame");
    return same && same(const_cast<void*>(image), const_cast<void*>(view)) == 0;
}

}  // namespace vennic
