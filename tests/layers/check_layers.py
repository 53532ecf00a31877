#!/usr/bin/env python3
"""Checks that includes between the source folders run one way:
app -> container -> support, tools -> app, container and support (inside
tools: pack -> pe), and inside support: log -> platform -> core; that every
Windows-only source is named x_win32.cpp: in support/, container/ and app/
each source of a Windows-only folder and each source that includes a
Windows header, in tools/ each that includes a Windows header; that every
source that includes a POSIX-only header is named x_posix.cpp; and that
every header opens with its contract (a comment right after #pragma once)
and splits no declarations by platform with #ifdef _WIN32: a platform split
is a pair of files.

    check_layers.py SOURCE_DIR     exit 0 when every include keeps the rule,
                                   1 with one line per include that breaks it
    check_layers.py --self-test    shows that a broken rule is caught
"""
import os
import re
import sys
import tempfile

# What each folder may include from, besides itself.
ALLOWED = {
    "support/core": {"support/core"},
    "support/platform": {"support/core", "support/platform"},
    "support/log": {"support/core", "support/platform", "support/log"},
    "container": {"container", "support/core", "support/platform", "support/log"},
    "app": {"app", "container", "support/core", "support/platform", "support/log"},
    "tools/pe": {"tools/pe", "container", "support/core"},
    # The pack tool plans runs with the program's own portable code.
    "tools": {"tools", "tools/pe", "app", "container", "support/core", "support/platform", "support/log"},
}

# Folders whose every source is Windows-only.
WINDOWS_ONLY_FOLDERS = ("support/platform", "support/log")
# Where the naming rule holds (tools/ has a rule of its own).
NAMED_FOLDERS = ("support", "container", "app")
WINDOWS_HEADERS = {"windows.h", "shellapi.h", "shlobj.h", "sddl.h", "winternl.h", "comdef.h"}

# POSIX-only headers: a source that needs them is the POSIX half of a pair.
POSIX_HEADERS = {"unistd.h", "fcntl.h", "spawn.h", "dirent.h", "poll.h", "termios.h"}
POSIX_PREFIXES = ("sys/",)
# Where the POSIX half's naming rule holds.
POSIX_NAMED_FOLDERS = ("container", "app", "tools")
# An #if on the platform alone, as a header that splits itself would open.
PLATFORM_SPLIT = re.compile(r'^\s*#\s*(?:ifn?def\s+_WIN32\b|if\s+!?\s*defined\s*\(?\s*_WIN32\s*\)?\s*$)')
# Headers that still split themselves, and why that costs more than it saves.
SPLIT_HEADERS = {
    # One class whose members are the platform's own: a split would cost a
    # second class or an allocation per reader.
    "container/file_reader.h",
    # Its Windows half moves as the work folder's clean-up is reorganised.
    "app/work_folder.h",
}

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
SYSTEM_INCLUDE = re.compile(r'^\s*#\s*include\s*<([^>]+)>')


def folder_of(path):
    """The ruled folder a source path belongs to, or None."""
    for folder in sorted(ALLOWED, key=len, reverse=True):
        if path == folder or path.startswith(folder + "/"):
            return folder
    return None


def violations(root):
    found = []
    for top in ("support", "container", "app", "tools"):
        for directory, _, files in os.walk(os.path.join(root, top)):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.relpath(os.path.join(directory, name), root).replace(os.sep, "/")
                source = folder_of(path)
                with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m:
                            continue
                        target = m.group(1)
                        target_folder = folder_of(target)
                        if target_folder is None and not target.startswith("tests/"):
                            continue  # a system or third-party header
                        if target_folder in ALLOWED[source]:
                            continue
                        may = ", ".join(sorted(ALLOWED[source]))
                        found.append(f"{path}:{number} includes {target}: {source}/ may include only from {may}")
    return found


def posix_only_reason(root, path):
    """Why a source is POSIX-only, or None."""
    with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
        for number, line in enumerate(f, 1):
            m = SYSTEM_INCLUDE.match(line)
            if m and (m.group(1) in POSIX_HEADERS or m.group(1).startswith(POSIX_PREFIXES)):
                return "line %d includes <%s>" % (number, m.group(1))
    return None


def sources(root, tops, suffix):
    """The paths of the sources under the folders tops that end in suffix."""
    for top in tops:
        for directory, _, files in os.walk(os.path.join(root, top)):
            for name in sorted(files):
                if name.endswith(suffix):
                    yield os.path.relpath(os.path.join(directory, name), root).replace(os.sep, "/")


def header_problems(root):
    """Headers without their contract, and headers that split by platform."""
    found = []
    for path in sources(root, ("support", "container", "app", "tools"), ".h"):
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
            lines = f.read().split("\n")
        text = [line for line in lines if line.strip()]
        if text[:1] == ["#pragma once"]:
            text = text[1:]
        if not text or not text[0].startswith("//"):
            found.append(f"{path}: opens without its contract: a comment right after #pragma once")
        if path in SPLIT_HEADERS:
            continue
        for number, line in enumerate(lines, 1):
            if PLATFORM_SPLIT.match(line):
                stem = path[:-2]
                found.append(f"{path}:{number} splits by platform: the Windows part goes to {stem}_win32.h")
                break
    return found


def windows_only_reason(root, path):
    """Why a source is Windows-only, or None when nothing says it is."""
    folder = folder_of(path)
    if folder in WINDOWS_ONLY_FOLDERS:
        return "every source of " + folder + "/ is Windows-only"
    with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
        for number, line in enumerate(f, 1):
            m = SYSTEM_INCLUDE.match(line)
            if m and m.group(1).lower() in WINDOWS_HEADERS:
                return "line %d includes <%s>" % (number, m.group(1))
            m = INCLUDE.match(line)
            if m and folder_of(m.group(1)) in WINDOWS_ONLY_FOLDERS:
                return "line %d includes %s" % (number, m.group(1))
    return None


def misnamed(root):
    found = []
    for path in sources(root, NAMED_FOLDERS + ("tools",), ".cpp"):
        name = path.rsplit("/", 1)[-1]
        if name.endswith("_win32.cpp"):
            continue
        # tools/ is no Windows-only folder: only its includes say.
        reason = windows_only_reason(root, path)
        if reason and path.startswith("tools/") and reason.startswith("every source"):
            reason = None
        if reason:
            found.append(f"{path}: Windows-only ({reason}), so it is to be named {name[:-4]}_win32.cpp")
    for path in sources(root, POSIX_NAMED_FOLDERS, ".cpp"):
        name = path.rsplit("/", 1)[-1]
        if name.endswith(("_posix.cpp", "_win32.cpp")):
            continue
        reason = posix_only_reason(root, path)
        if reason:
            found.append(f"{path}: POSIX-only ({reason}), so it is to be named {name[:-4]}_posix.cpp")
    return found


def self_test():
    with tempfile.TemporaryDirectory() as root:
        def put(path, text):
            os.makedirs(os.path.dirname(os.path.join(root, path)), exist_ok=True)
            with open(os.path.join(root, path), "w") as f:
                f.write(text)
        put("support/core/a.h", '#pragma once\n\n// A.\n\n#include <string>\n#include "support/core/b.h"\n')
        put("support/core/bad.cpp", '#include "app/run.h"\n')
        put("container/bad.h", '#pragma once\n  #  include "tools/pack/builder.h"\n')  # no contract either
        put("container/good_win32.cpp", '#include "container/good.h"\n#include "support/log/log.h"\n')
        put("app/good.cpp", '#include "container/walk.h"\n')
        put("support/core/text.cpp", '#include "support/platform/unicode.h"\n')
        put("support/platform/paths_win32.cpp", '#include <windows.h>\n#include "support/platform/paths.h"\n')
        put("support/platform/scope.cpp", '#include "support/core/scope.h"\n')
        put("app/run.cpp", '#include "app/run.h"\n#include <Windows.h>\n')
        put("container/extract.cpp", '#include "container/extract.h"\n#include "support/log/log.h"\n')
        put("container/walk.cpp", '#include <vector>\n#include "container/walk.h"\n')
        put("tools/pack/main.cpp", '#include <windows.h>\n')
        put("tools/pack/host_win32.cpp", '#include <windows.h>\n')
        put("tools/pack/temp_file.cpp", '#include <cstdio>\n#include <sys/stat.h>\n')
        put("tools/pack/temp_file_posix.cpp", '#include <unistd.h>\n')
        put("tools/pe/good.h", '#pragma once\n\n// The contract.\n\n#if defined(__GNUC__) && defined(_WIN32)\n#endif\n')
        put("tools/pe/bare.h", '#pragma once\n\n#include <string>\n')
        put("app/split.h", '#pragma once\n// The contract.\n#include <string>\n\n#ifdef _WIN32\nvoid f();\n#endif\n')
        put("container/split.h", '#pragma once\n// The contract.\n#if !defined(_WIN32)\n#endif\n')
        found = violations(root) + misnamed(root) + header_problems(root)
        expected = [
            "container/bad.h:2 includes tools/pack/builder.h",
            "support/core/bad.cpp:1 includes app/run.h",
            "support/core/text.cpp:1 includes support/platform/unicode.h",
            "support/core/text.cpp: Windows-only (line 1 includes support/platform/unicode.h)",
            "support/platform/scope.cpp: Windows-only (every source",
            "app/run.cpp: Windows-only (line 2 includes <Windows.h>)",
            "container/extract.cpp: Windows-only (line 2 includes support/log/log.h)",
            "tools/pack/main.cpp: Windows-only (line 1 includes <windows.h>)",
            "tools/pack/temp_file.cpp: POSIX-only (line 2 includes <sys/stat.h>)",
            "tools/pe/bare.h: opens without its contract",
            "container/bad.h: opens without its contract",
            "app/split.h:5 splits by platform",
            "container/split.h:3 splits by platform",
        ]
        ok = len(found) == len(expected) and all(any(v.startswith(e) for v in found) for e in expected)
        if not ok:
            print("self-test failed; found:\n  " + "\n  ".join(found))
            return 1
        print("self-test passed: %d broken includes, misnamed sources and headers caught" % len(found))
        return 0


def main(argv):
    if len(argv) == 2 and argv[1] == "--self-test":
        return self_test()
    if len(argv) != 2:
        print(__doc__)
        return 2
    found = violations(argv[1]) + misnamed(argv[1]) + header_problems(argv[1])
    for line in found:
        print(line)
    if not found:
        print("layers: every include runs the right way, every platform's source is named for it, "
              "every header opens with its contract and none splits by platform")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
