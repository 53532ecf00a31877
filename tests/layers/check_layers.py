#!/usr/bin/env python3
"""Checks that includes between the source folders run one way:
app -> container -> support, tools -> container -> support (inside tools:
pack -> pe), and inside support: log -> platform -> core.

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
    "tools": {"tools", "tools/pe", "container", "support/core", "support/platform", "support/log"},
}

# The one arrow that runs back: the wide exception's narrow copies and the
# description of an exception convert text, which is the platform's job.
EXCEPTIONS = {
    ("support/core/exception_w.cpp", "support/platform/unicode.h"),
    ("support/core/describe_exception.cpp", "support/platform/unicode.h"),
}

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


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
                        if target_folder in ALLOWED[source] or (path, target) in EXCEPTIONS:
                            continue
                        may = ", ".join(sorted(ALLOWED[source]))
                        found.append(f"{path}:{number} includes {target}: {source}/ may include only from {may}")
    return found


def self_test():
    with tempfile.TemporaryDirectory() as root:
        def put(path, text):
            os.makedirs(os.path.dirname(os.path.join(root, path)), exist_ok=True)
            with open(os.path.join(root, path), "w") as f:
                f.write(text)
        put("support/core/a.h", '#include <string>\n#include "support/core/b.h"\n')
        put("support/core/bad.cpp", '#include "app/run.h"\n')
        put("container/bad.h", '#pragma once\n  #  include "tools/pack/builder.h"\n')
        put("container/good.cpp", '#include "container/good.h"\n#include "support/log/log.h"\n')
        put("app/good.cpp", '#include "container/walk.h"\n')
        put("support/core/exception_w.cpp", '#include "support/platform/unicode.h"\n')
        put("support/core/text.cpp", '#include "support/platform/unicode.h"\n')
        found = violations(root)
        expected = [
            "container/bad.h:2 includes tools/pack/builder.h",
            "support/core/bad.cpp:1 includes app/run.h",
            "support/core/text.cpp:1 includes support/platform/unicode.h",
        ]
        ok = len(found) == len(expected) and all(any(v.startswith(e) for v in found) for e in expected)
        if not ok:
            print("self-test failed; found:\n  " + "\n  ".join(found))
            return 1
        print("self-test passed: %d broken includes caught" % len(found))
        return 0


def main(argv):
    if len(argv) == 2 and argv[1] == "--self-test":
        return self_test()
    if len(argv) != 2:
        print(__doc__)
        return 2
    found = violations(argv[1])
    for line in found:
        print(line)
    if not found:
        print("layers: every include runs the right way")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
