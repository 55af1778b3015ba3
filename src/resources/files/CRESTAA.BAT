#!/bin/sh
# Restore of a dossier from the ZIP archive that CSAUVEA.BAT wrote, read by
# unzip, which checks every file's CRC.
#   $1 dossier folder (ending with "/")   $2 dossier code
#   $3 folder holding "ZEL" + code + ".ZIP"
# The archive is tested and unpacked aside first; the dossier's files are
# replaced only when it unpacked whole, each by one rename. Method Z runs this
# file too.
set -u
folder=$1
code=$2
from=${3:-}
[ -n "$folder" ] && [ -n "$code" ] && [ -n "$from" ] || { echo "CRESTAA: arguments missing" >&2; exit 2; }
command -v unzip >/dev/null 2>&1 || { echo "CRESTAA: unzip is not installed (package unzip)" >&2; exit 3; }
archive=$(find "$from" -maxdepth 1 -type f -iname "ZEL${code}.zip" | head -n 1)
[ -n "$archive" ] || { echo "CRESTAA: no backup of ${code} in ${from}" >&2; exit 1; }
work=$(mktemp -d "${folder%/}/.crestaa.XXXXXX") || exit 1
# Only plain names are taken from the archive: nothing is written outside the work folder.
if unzip -tq "$archive" >/dev/null 2>&1 && unzip -qq -j -o "$archive" -d "$work"; then
  status=0
  for f in "$work"/* "$work"/.[!.]*; do
    [ -f "$f" ] || continue
    mv -f -- "$f" "${folder%/}/$(basename -- "$f")" || status=1
  done
else
  echo "CRESTAA: the archive ${archive} is damaged" >&2
  status=1
fi
rm -rf -- "$work"
exit $status
