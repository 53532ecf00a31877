#!/usr/bin/python3
"""Checks a built Trevan.exe by inspecting its file: the architecture, the GUI
subsystem, no run-time DLLs of the compiler, stripped, unsigned, address
space layout randomisation and no-execute data on, within the size budget of
192 KiB (196,608 bytes; the size is exact for a given toolchain), the
elevation manifest, the DPI awareness and the two product strings.

    check_pe.py PROGRAM i386|amd64
"""
import os
import sys
from xml.etree import ElementTree

import pefile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "pe"))
from pe_fields import RT_MANIFEST, resources, strings  # noqa: E402

EXPECTED_MACHINE = {"i386": 0x14C, "amd64": 0x8664}
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "msvcrt.dll",
               "ole32.dll", "oleaut32.dll"}
WIN7 = "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"
SIZE_BUDGET = 192 * 1024
DYNAMIC_BASE, NX_COMPAT, HIGH_ENTROPY_VA = 0x40, 0x100, 0x20

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def main():
    path, arch = sys.argv[1], sys.argv[2]
    with open(path, "rb") as f:
        size = len(f.read())
    pe = pefile.PE(path)

    check(pe.FILE_HEADER.Machine == EXPECTED_MACHINE[arch],
          f"machine {pe.FILE_HEADER.Machine:#x}, expected {arch}")
    check(pe.OPTIONAL_HEADER.Subsystem == 2, f"subsystem {pe.OPTIONAL_HEADER.Subsystem}, expected GUI (2)")
    check(pe.FILE_HEADER.PointerToSymbolTable == 0 and pe.FILE_HEADER.NumberOfSymbols == 0,
          "symbol table present: not stripped")
    security = pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_SECURITY"]]
    check(security.VirtualAddress == 0 and security.Size == 0, "certificate table entry is set")
    check(size <= SIZE_BUDGET, f"{size} bytes, more than the budget of {SIZE_BUDGET}")
    flags = pe.OPTIONAL_HEADER.DllCharacteristics
    wanted = DYNAMIC_BASE | NX_COMPAT | (HIGH_ENTROPY_VA if arch == "amd64" else 0)
    check(flags & wanted == wanted, f"DllCharacteristics {flags:#x} lack {wanted & ~flags:#x} (ASLR/NX)")

    dlls = {entry.dll.decode().lower() for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])}
    check(dlls and dlls <= SYSTEM_DLLS, f"imports beyond the system's DLLs: {sorted(dlls - SYSTEM_DLLS)}")

    manifests = [data for (type_id, rid, _), data in resources(pe).items() if type_id == RT_MANIFEST and rid == 1]
    check(len(manifests) == 1, f"{len(manifests)} manifests with id 1, expected one")
    if manifests:
        text = manifests[0].decode("utf-8")
        check('level="requireAdministrator"' in text, "manifest does not request administrator rights")
        check('uiAccess="false"' in text, "manifest lacks uiAccess false")
        check(f'supportedOS Id="{WIN7}"' in text, "manifest does not declare Windows 7")
        # Where Windows looks for it: a misspelt element is ignored.
        aware = ElementTree.fromstring(manifests[0]).find(
            "{urn:schemas-microsoft-com:asm.v3}application/{urn:schemas-microsoft-com:asm.v3}windowsSettings/"
            "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}dpiAware")
        check(aware is not None and aware.text == "true", "manifest does not declare the program DPI-aware")

    table = strings(pe)
    check(table.get(2001) == "Marrowgate", f"string 2001 is {table.get(2001)!r}")
    check(table.get(2002) == "Vorbelquint", f"string 2002 is {table.get(2002)!r}")

    for failure in failures:
        print(f"{path}: {failure}")
    if not failures:
        print(f"{path}: {arch}, GUI, {size} bytes, imports {', '.join(sorted(dlls))}: ok")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
