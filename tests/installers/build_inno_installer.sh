#!/usr/bin/env bash
# Builds the tests' Inno Setup installer QuillInno.exe from quill.iss with
# Inno Setup's own compiler: ISCC.exe, a 32-bit program, run as a WOW64
# process in the 32-bit tree's Wine prefix, whose session the CTest fixture
# wow64 runs. ISCC's exit code says nothing after a crash under the
# emulator (a truncated installer and exit code 0): the output is checked
# instead (check_inno_installer.py).
#
#   build_inno_installer.sh INNOSETUP-DIR PREFIX OUT-FOLDER
#
# Exit code 0: OUT-FOLDER/QuillInno.exe is built from the current sources;
# 77: this machine cannot run 32-bit programs (skipped, the reason on
# stdout); 1: no sound installer was made.
set -euo pipefail
innosetup=$1 prefix=$2 out=$3
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
fail() { echo "inno installer: $*" >&2; exit 1; }
windows_path() { echo "Z:$(echo "$1" | tr / '\\')"; }

if ! reason=$("$source_dir/scripts/setup-wow64" --check); then
  echo "32-bit runtime unavailable: $reason"
  exit 77
fi
iscc=$innosetup/package/bin/ISCC.exe
[[ -f "$iscc" ]] || fail "no Inno Setup compiler at $iscc: scripts/install-deps fetches it (npm pack innosetup@6.4.1)"

installer=$out/QuillInno.exe
# The installer is current when it was made from these sources by this
# compiler: ISCC takes several seconds under the emulator.
inputs=$(cat "$here/quill.iss" "$here/payload.txt" "$iscc" | sha256sum | cut -d' ' -f1)
if [[ "$(cat "$installer.inputs" 2>/dev/null)" == "$inputs" ]] &&
   /usr/bin/python3 "$here/check_inno_installer.py" "$installer" >/dev/null; then
  echo "inno installer: $installer is current"
  exit 0
fi
rm -f "$installer" "$installer.inputs"
mkdir -p "$out"
work=$(mktemp -d "$out/.inno.XXXXXX")
trap 'rm -rf "$work"' EXIT

export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
status=0
timeout 300 /usr/lib/wine/wine64 "$iscc" /Q "/DPAYLOAD=$(windows_path "$here/payload.txt")" \
  "/O$(windows_path "$work")" "$(windows_path "$here/quill.iss")" </dev/null >"$work/iscc.log" 2>&1 || status=$?
if ! why=$(/usr/bin/python3 "$here/check_inno_installer.py" "$work/QuillInno.exe" 2>&1); then
  fail "ISCC (exit code $status) made no sound installer: $why; it printed: $(tr -d '\r' <"$work/iscc.log" | tail -n 20)"
fi
mv "$work/QuillInno.exe" "$installer"
printf '%s\n' "$inputs" >"$installer.inputs"
echo "inno installer: built $installer (ISCC exit code $status)"
