#!/usr/bin/python3
"""Brands and packs the program with trevan-pack, then reads the result back
with pefile, wrestool and osslsigncode (never with the pack tool's own
reader; signed with the tests' certificate, tests/signing/test-signer): the
icon group and images, the version fields, strings 2001 and 2002, the
program's own texts in the languages packed, the manifest and every other
byte of the image unchanged, alignment, SizeOfImage, the checksum, signing
and verifying. Branding the branded image again rewrites its resource
section in place.

    check_branding.py TREVAN_PACK PROGRAM WORK_FOLDER
"""
import json
import os
import shutil
import struct
import subprocess
import sys

import pefile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "pe"))
import icons  # noqa: E402
from pe_fields import (RT_GROUP_ICON, RT_ICON, RT_MANIFEST, RT_STRING, RT_VERSION,  # noqa: E402
                       header_offsets, resources, strings)

# The tests' code-signing certificate and signing steps.
TEST_SIGNER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "signing", "test-signer")

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def run(args, expect=0):
    result = subprocess.run(args, capture_output=True)
    check(result.returncode == expect,
          f"{' '.join(args)}: exit {result.returncode}, expected {expect}: {result.stderr.decode(errors='replace')}")
    return result


def version_strings(pe):
    found = {}
    for info in getattr(pe, "FileInfo", []):
        for entry in info:
            if getattr(entry, "Key", b"") == b"StringFileInfo":
                for table in entry.StringTable:
                    found.update({k.decode(): v.decode() for k, v in table.entries.items()})
    return found


def image_of(data):
    """The image at the start of a packed file: up to its last section's end."""
    pe = pefile.PE(data=data, fast_load=True)
    return data[:max(s.PointerToRawData + s.SizeOfRawData for s in pe.sections)]


def icon_parts(data):
    """The directory entries (without offsets) and image bytes of an icon file."""
    count = struct.unpack_from("<H", data, 4)[0]
    parts = []
    for i in range(count):
        entry = data[6 + 16 * i:6 + 16 * i + 16]
        size, offset = struct.unpack_from("<II", entry, 8)
        parts.append((entry[:12], data[offset:offset + size]))
    return parts


def differences(a, b, allowed):
    """Offsets below len(a) where a and b differ outside the allowed ranges."""
    bad = []
    for i in range(len(a)):
        if i < len(b) and a[i] == b[i]:
            continue
        if not any(start <= i < end for start, end in allowed):
            bad.append(i)
    return bad


def check_layout(pe, data, label):
    o = pe.OPTIONAL_HEADER
    last_end = 0
    for s in pe.sections:
        check(s.VirtualAddress % o.SectionAlignment == 0, f"{label}: section {s.Name} not aligned in memory")
        check(s.PointerToRawData % o.FileAlignment == 0 and s.SizeOfRawData % o.FileAlignment == 0,
              f"{label}: section {s.Name} not aligned in the file")
        size = max(s.Misc_VirtualSize, s.SizeOfRawData)
        last_end = max(last_end, (s.VirtualAddress + size + o.SectionAlignment - 1) // o.SectionAlignment
                       * o.SectionAlignment)
    check(o.SizeOfImage == last_end, f"{label}: SizeOfImage {o.SizeOfImage:#x}, expected {last_end:#x}")
    # A fully parsed pefile object may have rewritten version texts in its
    # copy of the data: the checksum comes from a header-only parse.
    checksum = pefile.PE(data=data, fast_load=True).generate_checksum()
    check(o.CheckSum == checksum, f"{label}: header checksum {o.CheckSum:#x}, the file's is {checksum:#x}")
    rsrc = o.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]]
    holder = [s for s in pe.sections if s.VirtualAddress == rsrc.VirtualAddress]
    check(len(holder) == 1 and holder[0].Name.rstrip(b"\0") == b".rsrc" and
          holder[0].Misc_VirtualSize == rsrc.Size,
          f"{label}: the resource directory does not point at a whole resource section")


def main():
    tool, program, work = sys.argv[1:4]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    path = lambda name: os.path.join(work, name)  # noqa: E731

    ico = icons.sample_icon()
    with open(path("product.ico"), "wb") as f:
        f.write(ico)
    with open(path("setup.exe"), "wb") as f:
        f.write(b"setup program stand-in")
    version = {
        "FileVersion": "2.1.0.7",
        "ProductVersion": "65535.0.9.1",
        "CompanyName": "Quillfeather Software Ltd.",
        "ProductName": "Amberlyn Deluxe",
        "FileDescription": "Amberlyn Setup \u2014 Einrichtung f\u00fcr Gro\u00dfkunden",
        "LegalCopyright": "\u00a9 2025 Quillfeather",
        "OriginalFilename": "AmberlynSetup.exe",
    }
    # The program's own texts: German from the table, one Japanese text the
    # vendor's.
    own_texts = {"1041": {"progress.cancel": "\u4e2d\u6b62"}}
    settings = {"icon": "product.ico", "maker_name": "Overridden", "product_name": "Amberlyn", "version_info": version,
                "texts": own_texts}
    with open(path("brand.json"), "w", encoding="utf-8") as f:
        json.dump(settings, f, ensure_ascii=False)
    # The longest maker name the program reads, with a character outside
    # the basic plane (two UTF-16 units) at the end; the option wins over
    # the file.
    maker = "Q\u00fc" + "x" * 255 + "\U0001F680"

    original = open(program, "rb").read()
    built = run([tool, "build", "--stub", program, "--branding", path("brand.json"), "--maker-name", maker,
                 "--ui-languages", "1031",
                 "--file", "installer64=" + path("setup.exe"), "--value", "executable64=%installer64%",
                 "--value", "executable32=%installer64%", "-o", path("Setup.exe")])
    check(built.stderr == b"", f"build printed {built.stderr!r}")
    packed = open(path("Setup.exe"), "rb").read()
    image = image_of(packed)
    with open(path("image.exe"), "wb") as f:
        f.write(image)

    before, after = pefile.PE(data=original), pefile.PE(data=image)
    check_layout(after, image, "branded")

    # Only these header fields change, plus one new section header; every
    # other byte of the original image stays as it was.
    _, file_header, optional, directories, table = header_offsets(original)
    allowed = [(file_header + 2, file_header + 4), (optional + 56, optional + 60), (optional + 64, optional + 68),
               (directories + 16, directories + 24),
               (table + 40 * before.FILE_HEADER.NumberOfSections, table + 40 * (before.FILE_HEADER.NumberOfSections + 1))]
    bad = differences(original, image, allowed)
    check(not bad, f"bytes changed outside the branding's fields: first at {bad[:1]}")
    check(after.FILE_HEADER.NumberOfSections == before.FILE_HEADER.NumberOfSections + 1, "no section was added")

    # Resources, read by pefile.
    res_before, res_after = resources(before), resources(after)
    for key, data in res_before.items():
        if key[0] not in (RT_STRING, RT_VERSION, RT_ICON, RT_GROUP_ICON):
            check(res_after.get(key) == data, f"resource {key} changed")
    manifests = [data for (t, n, _), data in res_after.items() if t == RT_MANIFEST and n == 1]
    check(len(manifests) == 1 and b'level="requireAdministrator"' in manifests[0], "manifest lost")

    texts = strings(after)
    check(texts.get(2001) == maker, f"string 2001 is {texts.get(2001)!r}")
    check(texts.get(2002) == "Amberlyn", f"string 2002 is {texts.get(2002)!r}")
    check(len(maker.encode("utf-16-le")) // 2 == 259, "the maker name is not 259 UTF-16 units")
    # Text i of a language is string 48112 + i (progress.cancel is text 5)
    # in blocks 3008 and 3009 of that language.
    languages = sorted(lang for (t, n, lang) in res_after if t == RT_STRING and n == 3008)
    check(languages == [1031, 1041], f"the texts' first block is in the languages {languages}")
    check(sorted(lang for (t, n, lang) in res_after if t == RT_STRING and n == 3009) == languages,
          "the texts' second block is not in the same languages")
    german, japanese = strings(after, 1031), strings(after, 1041)
    check(german.get(48117) == "Abbrechen" and german.get(48116) == "Setup von {product} wird vorbereitet\u2026",
          f"German texts {german.get(48116)!r}, {german.get(48117)!r}")
    check(japanese.get(48117) == own_texts["1041"]["progress.cancel"], f"Japanese Cancel is {japanese.get(48117)!r}")
    check(len(german) == 20 and min(german) == 48112 and max(german) == 48131, f"German strings {sorted(german)}")

    fields = version_strings(after)
    for key, value in version.items():
        check(fields.get(key) == value, f"version {key} is {fields.get(key)!r}, expected {value!r}")
    check(fields.get("InternalName") == "Trevan", "a version field the branding did not name was lost")
    fixed = after.VS_FIXEDFILEINFO[0]
    check((fixed.FileVersionMS, fixed.FileVersionLS) == (2 << 16 | 1, 0 << 16 | 7),
          f"fixed file version {fixed.FileVersionMS:#x}.{fixed.FileVersionLS:#x}")
    check((fixed.ProductVersionMS, fixed.ProductVersionLS) == (65535 << 16 | 0, 9 << 16 | 1),
          "fixed product version")

    # The icon: wrestool puts the group and its images back together into
    # an icon file, which must be the one given.
    groups = [k for k in res_after if k[0] == RT_GROUP_ICON]
    images = [k for k in res_after if k[0] == RT_ICON]
    check(len(groups) == 1 and len(images) == 4, f"{len(groups)} icon groups and {len(images)} icons")
    extracted = subprocess.run(["wrestool", "-x", "-t", "14", path("image.exe")], capture_output=True)
    check(extracted.returncode == 0 and icon_parts(extracted.stdout) == icon_parts(ico),
          "wrestool's icon differs from the icon file")
    listing = subprocess.run(["wrestool", "-l", path("image.exe")], capture_output=True, text=True).stdout
    check(listing.count("type=icon ") == 4 and "type=version" in listing and "--type=24" in listing,
          f"wrestool lists {listing!r}")

    # Signing after branding and packing, then both verifiers.
    run([TEST_SIGNER, "make", work, "/CN=Branding Test"])
    run([TEST_SIGNER, "sign", work, path("Setup.exe"), path("Signed.exe"), "Amberlyn Setup"])
    run([TEST_SIGNER, "verify", work, path("Signed.exe")])
    run([tool, "verify", path("Signed.exe")])
    listed = json.loads(run([tool, "list", "--json", path("Signed.exe")]).stdout)
    stub = listed.get("stub", {})
    check(stub.get("certificate_table") is True and stub.get("signer") == "CN=Branding Test" and
          stub.get("signature_checked") is False and
          stub.get("maker_name") == maker and stub.get("product_name") == "Amberlyn" and
          stub.get("icon_images") == 4 and stub.get("version", {}).get("file_version") == "2.1.0.7",
          f"list --json shows {stub!r}")

    # Branding the branded image again: its resource section is the last
    # one now and is rewritten in place.
    # The other standard fields, and the flags of two of them.
    more = {"InternalName": "Amberlyn", "Comments": "Built by CI", "LegalTrademarks": "Amberlyn\u2122",
            "PrivateBuild": "Nightly 42", "SpecialBuild": "Beta"}
    run([tool, "build", "--stub", path("image.exe"), "--product-name", "Zephyrine", "--no-check", "executable32",
         "--no-check", "executable64", "-o", path("Again.exe")] +
        [arg for field, text in more.items() for arg in ("--version-info", f"{field}={text}")])
    again = image_of(open(path("Again.exe"), "rb").read())
    twice = pefile.PE(data=again)
    check_layout(twice, again, "branded twice")
    check(twice.FILE_HEADER.NumberOfSections == after.FILE_HEADER.NumberOfSections, "branding again added a section")
    check(strings(twice).get(2002) == "Zephyrine" and strings(twice).get(2001) == maker, "names after branding again")
    check(version_strings(twice).get("ProductName") == "Zephyrine", "version ProductName after branding again")
    for key, value in more.items():
        check(version_strings(twice).get(key) == value, f"version {key} is {version_strings(twice).get(key)!r}")
    check((twice.VS_FIXEDFILEINFO[0].FileFlags & 0x28) == 0x28, "VS_FF_PRIVATEBUILD and VS_FF_SPECIALBUILD not set")
    last = twice.sections[-1]
    _, _, optional2, directories2, table2 = header_offsets(image)
    header = table2 + 40 * (twice.FILE_HEADER.NumberOfSections - 1)
    bad = differences(image[:last.PointerToRawData], again,
                      [(optional2 + 56, optional2 + 60), (optional2 + 64, optional2 + 68),
                       (directories2 + 20, directories2 + 24), (header + 8, header + 12), (header + 16, header + 20)])
    check(not bad, f"branding again changed bytes outside the resource section: first at {bad[:1]}")

    for failure in failures:
        print(f"{program}: {failure}")
    if not failures:
        print(f"{program}: branded, {len(image)} bytes, {after.FILE_HEADER.NumberOfSections} sections: ok")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
