#!/usr/bin/env bash
# The release archive on its own: made with CPack from the host tree,
# unpacked into an empty folder, and used alone (the tools inside it, the
# sample branding file, an icon of ours) to pack, brand, sign and verify a
# bootstrapper; the Windows trevan-pack from it verifies under wine64.
#
#   release_archive_test.sh HOST_TREE WORK_FOLDER VERSION
set -euo pipefail
host=$1 work=$2 version=$3
here=$(cd "$(dirname "$0")" && pwd)
fail() { echo "release archive: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work/unpacked" "$work/vendor"
cpack --config "$host/CPackConfig.cmake" -B "$work/package" >/dev/null
archive="$work/package/trevan-$version-linux.tar.gz"
[[ -f "$archive" ]] || fail "no $archive"
tar -xzf "$archive" -C "$work/unpacked"
tools="$work/unpacked/trevan-$version-linux"

expected=$'README.md\nTrevan.exe\nbranding.sample.json\ntrevan-pack\ntrevan-pack.exe'
contents=$(cd "$work/unpacked" && find . -type f | sed "s|^\./trevan-$version-linux/||" | LC_ALL=C sort)
[[ "$contents" == "$expected" ]] || fail "contents: $contents"
[[ "$("$tools/trevan-pack" --version)" == "trevan-pack $version" ]] || fail "trevan-pack --version"
grep -q '^## Ship your product' "$tools/README.md" || fail "README without Ship your product"

# The vendor's folder: the sample settings beside an icon and a setup program.
cd "$work/vendor"
cp "$tools/branding.sample.json" branding.json
/usr/bin/python3 -c "import sys; sys.path.insert(0, '$here'); import icons; open('product.ico', 'wb').write(icons.sample_icon())"
printf 'setup program' > AmberlynSetup.exe

# The program's own version resource carries the release's version.
"$tools/trevan-pack" build --stub "$tools/Trevan.exe" --value a=1 --no-check executable32 --no-check executable64 \
  -o plain.exe
"$tools/trevan-pack" list plain.exe | grep -q "^  file version         $version.0$" || fail "stub version"

"$tools/trevan-pack" build --stub "$tools/Trevan.exe" --branding branding.json \
  --file installer32:AmberlynSetup.exe=AmberlynSetup.exe --value executable32=%installer32% \
  --value executable64=%installer32% -o Setup.exe
"$tools/trevan-pack" verify Setup.exe >/dev/null
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 -subj "/CN=Archive Test" \
  -addext "extendedKeyUsage=codeSigning" >/dev/null 2>&1
osslsigncode sign -certs cert.pem -key key.pem -n "Amberlyn Setup" -h sha256 -in Setup.exe -out Signed.exe >/dev/null
osslsigncode verify -in Signed.exe -CAfile cert.pem >/dev/null || fail "osslsigncode verify"
"$tools/trevan-pack" verify Signed.exe >/dev/null

/usr/bin/python3 - "$tools/trevan-pack" <<'PY' || fail "list --json of the signed bootstrapper"
import json, subprocess, sys
stub = json.loads(subprocess.run([sys.argv[1], "list", "--json", "Signed.exe"], check=True,
                                 capture_output=True).stdout)["stub"]
sample = json.load(open("branding.json"))
assert stub["signed"] is True, stub
assert stub["maker_name"] == sample["maker_name"] and stub["product_name"] == sample["product_name"], stub
assert stub["version"]["file_version"] == sample["version_info"]["FileVersion"], stub
assert stub["version"]["strings"]["FileDescription"] == sample["version_info"]["FileDescription"], stub
assert stub["icon_images"] == 4, stub
PY

# The Windows build from the archive, under wine64 in this tree's session.
out=$(/usr/lib/wine/wine64 "$tools/trevan-pack.exe" verify "Z:$(pwd | tr / '\\')\\Signed.exe" </dev/null 2>&1) \
  || fail "trevan-pack.exe verify: $out"
[[ "$out" == ok:* ]] || fail "trevan-pack.exe verify printed: $out"
echo "release archive trevan-$version-linux.tar.gz: ok"
