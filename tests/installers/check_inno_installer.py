#!/usr/bin/env python3
"""Checks what Inno Setup's compiler wrote, since its exit code says nothing
after a crash under the emulator: a PE image whose setup loader's offset
table (RCDATA resource 11111, layout version 1 of Inno Setup 5.4.3 to 6.4)
begins with "rDlPtS", is whole by its own CRC-32, and places the setup
program and both data blocks inside the file: the setup data (setup-0,
opening with its "Inno Setup Setup Data (" ID) and the files (setup-1, its
first chunk opening with "zlb\x1a"). ISCC 6.4 writes the files first, then
the setup data, then the compressed setup program.

    check_inno_installer.py FILE    exit 0 when sound, else 1 with the reason
"""
import struct
import sys
import zlib

import pefile

RT_RCDATA = 10
TABLE_RESOURCE = 11111
# ID (12 bytes), Version, TotalSize, OffsetEXE, UncompressedSizeEXE, CRCEXE,
# Offset0, Offset1, TableCRC: the CRC-32 of all fields before it.
TABLE = struct.Struct("<12sIIIIiIIi")


def offset_table(image):
    resources = getattr(image, "DIRECTORY_ENTRY_RESOURCE", None)
    for kind in resources.entries if resources else []:
        if kind.id != RT_RCDATA:
            continue
        for name in kind.directory.entries:
            if name.id == TABLE_RESOURCE:
                data = name.directory.entries[0].data.struct
                return image.get_data(data.OffsetToData, data.Size)
    return None


def problem(path):
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError as e:
        return f"cannot be read ({e.strerror})"
    try:
        image = pefile.PE(data=data, fast_load=True)
        image.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    except pefile.PEFormatError as e:
        return f"not a PE image ({e})"
    table = offset_table(image)
    if table is None:
        return "no RCDATA resource 11111"
    if not table.startswith(b"rDlPtS"):
        return f"RCDATA 11111 begins with {table[:6]!r}, not rDlPtS"
    if len(table) < TABLE.size:
        return f"the offset table has {len(table)} bytes, not {TABLE.size}"
    _, version, total, offset_exe, _, _, offset0, offset1, crc = TABLE.unpack_from(table)
    if version != 1:
        return f"offset table version {version}, not 1"
    if zlib.crc32(table[: TABLE.size - 4]) != crc & 0xFFFFFFFF:
        return "the offset table's CRC-32 does not match"
    if len(data) < total:
        return f"{len(data)} bytes, of the {total} its loader expects"
    if not all(0 < offset < total for offset in (offset_exe, offset0, offset1)):
        return (f"setup program at {offset_exe}, setup data at {offset0} and files at {offset1} "
                f"do not all lie in its {total} bytes")
    if not data[offset0:].startswith(b"Inno Setup Setup Data ("):
        return f"no setup data ID at {offset0}: {data[offset0:offset0 + 24]!r}"
    if not data[offset1:].startswith(b"zlb\x1a"):
        return f"no file chunk at {offset1}: {data[offset1:offset1 + 4]!r}"
    return None


if __name__ == "__main__":
    why = problem(sys.argv[1])
    if why:
        print(f"{sys.argv[1]}: {why}")
        sys.exit(1)
