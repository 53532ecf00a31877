#!/usr/bin/env bash
# The release archives on their own: made by `make dist` from the source
# tree's root, exactly as the README tells it, twice, a second apart, to the
# same bytes; checked against their SHA256SUMS, unpacked into empty folders
# and used alone, as the README's "Ship your product" does: the sample
# project and branding files beside an icon, two setup programs and a
# certificate made here, one project build that brands, packs and signs. The
# Windows archive's trevan-pack.exe runs the same project under wine64 and
# writes the same bytes, and its signing step runs commands through cmd.exe.
#
#   release_archive_test.sh HOST_TREE WIN32_TREE WIN64_TREE WORK_FOLDER VERSION
#
# `make dist` packs the Makefile's trees (build/host, build/win32,
# build/win64); it builds them first, which must be no work at all here:
# other tests read those trees meanwhile. Exit code 77: the trees under test
# are not the ones `make dist` packs.
set -euo pipefail
host=$1 w32=$2 w64=$3 work=$4 version=$5
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
fail() { echo "release archive: $*" >&2; exit 1; }
windows_path() { echo "Z:$(echo "$1" | tr / '\\')"; }

for tree in "$host:build/host" "$w32:build/win32" "$w64:build/win64"; do
  given=${tree%%:*} made=$source_dir/${tree##*:}
  if [[ "$(realpath -m "$given")" != "$(realpath -m "$made")" ]]; then
    echo "release archive: skipped: make dist packs $made, these tests run $given"
    exit 77
  fi
  ninja -C "$given" -n 2>&1 | grep -q '^ninja: no work to do' ||
    fail "$given is not built: make dist would build it while other tests use it (run make build first)"
done

rm -rf "$work"
mkdir -p "$work/linux" "$work/windows" "$work/vendor" "$work/first"
dist=$source_dir/build/dist
# What a user types in a fresh shell: nothing of a make around this test.
make_dist() {
  (cd "$source_dir" && env -u MAKEFLAGS -u MFLAGS -u MAKELEVEL make dist) >"$work/make-dist.txt" 2>&1 ||
    fail "make dist: $(cat "$work/make-dist.txt")"
}
archives=("trevan-$version-linux.tar.gz" "trevan-$version-windows.zip" SHA256SUMS)
make_dist
for file in "${archives[@]}"; do
  [[ -f "$dist/$file" ]] || fail "make dist made no build/dist/$file: $(cat "$work/make-dist.txt")"
  cp "$dist/$file" "$work/first/"
done
# The same trees give the same archives, whenever they are made.
sleep 1
make_dist
for file in "${archives[@]}"; do
  cmp -s "$dist/$file" "$work/first/$file" || fail "a second make dist made another $file"
done
mv "$work/first" "$work/dist"

(cd "$work/dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS of the archives"
tar -xzf "$work/dist/trevan-$version-linux.tar.gz" -C "$work/linux"
unzip -q "$work/dist/trevan-$version-windows.zip" -d "$work/windows"
linux="$work/linux/trevan-$version-linux" windows="$work/windows/trevan-$version-windows"

common=$'README.md\nSHA256SUMS\nTrevan.exe\nbranding.sample.json\nproject.sample.json'
for folder in "$linux:trevan-pack" "$windows:trevan-pack.exe"; do
  dir=${folder%%:*} tool=${folder##*:}
  contents=$(cd "$dir" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
  [[ "$contents" == "$(printf '%s\n%s' "$common" "$tool" | LC_ALL=C sort)" ]] || fail "contents of $dir: $contents"
  (cd "$dir" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS in $dir"
  cmp -s "$dir/Trevan.exe" "$w32/Trevan.exe" || fail "$dir/Trevan.exe is not the 32-bit program"
  grep -q '^## Ship your product' "$dir/README.md" || fail "README without Ship your product"
done
[[ "$("$linux/trevan-pack" --version)" == "trevan-pack $version" ]] || fail "trevan-pack --version"
! readelf -S "$linux/trevan-pack" | grep -q '\.debug\|\.symtab' || fail "trevan-pack is not stripped"
! x86_64-w64-mingw32-objdump -h "$windows/trevan-pack.exe" | grep -q '\.debug' || fail "trevan-pack.exe has debug sections"

# The vendor's folder, as "Ship your product" describes it.
cd "$work/vendor"
cp "$linux/project.sample.json" project.json
cp "$linux/branding.sample.json" branding.json
/usr/bin/python3 -c "import sys; sys.path.insert(0, '$here'); import icons; open('product.ico', 'wb').write(icons.sample_icon())"
printf '32-bit setup program' > AmberlynInstall.exe
printf '64-bit setup program' > AmberlynInstall_x64.exe
"$here/../signing/test-signer" make . "/CN=Archive Test"

summary=$("$linux/trevan-pack" build --project project.json) || fail "project build"
[[ "$summary" == "wrote \"./AmberlynSetup.exe\": "* ]] || fail "summary: $summary"
grep -q 'signer "CN=Archive Test"' <<<"$summary" || fail "summary without the signer: $summary"
"$here/../signing/test-signer" verify . AmberlynSetup.exe || fail "osslsigncode verify"
"$linux/trevan-pack" verify AmberlynSetup.exe >/dev/null
"$linux/trevan-pack" list AmberlynSetup.exe | grep -q "^  file version         2.1.0.7$" || fail "branding"

# The same project unsigned, from each archive's tool: the same bytes.
"$linux/trevan-pack" build --project project.json --sign-command '' -o Linux.exe >/dev/null
wine=/usr/lib/wine/wine64
out=$("$wine" "$windows/trevan-pack.exe" build --project "$(windows_path "$PWD/project.json")" --sign-command "" \
      -o Unsigned.exe --json </dev/null 2>&1) || fail "trevan-pack.exe build --project: $out"
cmp -s Linux.exe Unsigned.exe || fail "the Windows build wrote other bytes than the Linux build"
/usr/bin/python3 -c "import json, sys; r = json.loads(sys.argv[1]); assert r['stub']['product_name'] == 'Amberlyn', r" \
  "$(tr -d '\r' <<<"$out")" || fail "trevan-pack.exe report: $out"

# Signing through cmd.exe: a copy carries no certificate table, a command
# that fails shows what it printed; neither leaves anything behind.
before=$(ls -A)
out=$("$wine" "$windows/trevan-pack.exe" build --project "$(windows_path "$PWD/project.json")" -o Copied.exe \
      --sign-command "copy /b {in} {out}" </dev/null 2>&1) && fail "a copy passed as signed"
grep -q "the signed file has no certificate table" <<<"$out" || fail "copy as signing: $out"
out=$("$wine" "$windows/trevan-pack.exe" build --project "$(windows_path "$PWD/project.json")" -o Failed.exe \
      --sign-command "echo bad key password 1>&2 & exit /b 5 & rem {in}" </dev/null 2>&1) && fail "exit 5 passed"
grep -q "failed with exit code 5; it printed:" <<<"$out" && grep -q "bad key password" <<<"$out" \
  || fail "failing signing command: $out"
[[ "$(ls -A)" == "$before" ]] || fail "left behind: $(ls -A)"
echo "release archives trevan-$version-linux.tar.gz and trevan-$version-windows.zip: ok"
