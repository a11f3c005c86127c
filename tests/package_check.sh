#!/usr/bin/env bash
# Checks a release archive made by scripts/package as an author would get
# it: one folder named after the version, holding exactly the DLL, the
# guide, the changelog, the licence, the notices and their checksums, all
# consistent with each other; and a DLL that passes windows_binary_check.sh
# with its debug information stripped.
# Usage: package_check.sh ARCHIVE OBJDUMP NM
#   ARCHIVE is Zephyx-VERSION-win32.zip, with ARCHIVE.sha256 next to it.
set -uo pipefail
archive=$1
objdump=$2
nm=$3
here=$(cd "$(dirname "$0")" && pwd)

. "$(dirname "$0")/check.sh"

archive_name=$(basename "$archive")
version=$(sed -n 's/^Zephyx-\([0-9][0-9.]*[0-9]\)-win32\.zip$/\1/p' <<<"$archive_name")
if [ -z "$version" ]; then
  echo "FAILED: $archive_name is not named Zephyx-VERSION-win32.zip"
  exit 1
fi
top=Zephyx-$version

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
if ! unzip -q "$archive" -d "$unpacked"; then
  echo "FAILED: $archive_name does not unpack"
  exit 1
fi

check "one top folder, $top" "$top/" \
  "$(find "$unpacked" -mindepth 1 -maxdepth 1 -printf '%P%y\n' | sed 's/d$/\//' | tr '\n' ' ' | sed 's/ $//')"
folder=$unpacked/$top
if [ ! -d "$folder" ]; then
  echo "FAILED: no $top folder to check further"
  exit 1
fi
check "exactly the release files" \
  "CHANGELOG.md LICENSE SHA256SUMS THIRD-PARTY-NOTICES.md Zephyx.x32 lingo-guide.md " \
  "$(find "$folder" -mindepth 1 -printf '%P\n' | LC_ALL=C sort | tr '\n' ' ')"

check "SHA256SUMS names every other file" \
  "CHANGELOG.md LICENSE THIRD-PARTY-NOTICES.md Zephyx.x32 lingo-guide.md " \
  "$(awk '{ sub(/^\*/, "", $2); print $2 }' "$folder/SHA256SUMS" 2>/dev/null | LC_ALL=C sort | tr '\n' ' ')"
check "sha256sum -c SHA256SUMS passes" "0" \
  "$(cd "$folder" && sha256sum --quiet --strict -c SHA256SUMS >&2; echo $?)"

# The archive's own checksum: the right hash, under the archive's name.
check "$archive_name.sha256 matches the archive" \
  "$(sha256sum "$archive" | cut -d' ' -f1) $archive_name" \
  "$(sed 's/ \*\{0,1\}/ /' "$archive.sha256" 2>/dev/null | tr -s ' ')"

check "CHANGELOG.md starts with $version" "$version" \
  "$(sed -n 's/^## \([^ ]*\).*/\1/p' "$folder/CHANGELOG.md" 2>/dev/null | head -n1)"

check "LICENSE is MIT" "MIT License|Permission is hereby granted, free of charge" \
  "$(head -n1 "$folder/LICENSE" 2>/dev/null)|$(grep -so 'Permission is hereby granted, free of charge' "$folder/LICENSE")"

notices=$folder/THIRD-PARTY-NOTICES.md
for name in oscpack MinGW-w64 winpthreads "GCC Runtime Library Exception" \
            "1. Grant of Additional Permission."; do
  check "THIRD-PARTY-NOTICES.md has \"$name\"" "yes" \
    "$(grep -qF "$name" "$notices" && echo yes || echo no)"
done

dll=$folder/Zephyx.x32
check "Zephyx.x32 carries no debug information" "0" \
  "$("$objdump" -h "$dll" 2>/dev/null | grep -c ' \.debug_')"
if bash "$here/windows_binary_check.sh" pei-i386 "$objdump" "$nm" "$dll"; then
  echo "ok: Zephyx.x32 passes windows_binary_check.sh"
else
  echo "FAILED: Zephyx.x32 fails windows_binary_check.sh"
  failures=$((failures + 1))
fi

[ "$failures" -eq 0 ]
