#!/bin/sh
# Restore of a dossier from the LHA archive that CSAUVE9.BAT wrote, read by
# lhasa, which checks every file's CRC.
#   $1 dossier folder (ending with "/")   $2 dossier code
#   $3 folder holding "ZEL" + code + ".lzh"
# The archive is tested and unpacked aside first; the dossier's files are
# replaced only when it unpacked whole, each by one rename.
set -u
folder=$1
code=$2
from=${3:-}
[ -n "$folder" ] && [ -n "$code" ] && [ -n "$from" ] || { echo "CRESTA9: arguments missing" >&2; exit 2; }
command -v lhasa >/dev/null 2>&1 || { echo "CRESTA9: lhasa is not installed (package lhasa)" >&2; exit 3; }
archive=$(find "$from" -maxdepth 1 -type f -iname "ZEL${code}.lzh" | head -n 1)
[ -n "$archive" ] || { echo "CRESTA9: no backup of ${code} in ${from}" >&2; exit 1; }
work=$(mktemp -d "${folder%/}/.cresta9.XXXXXX") || exit 1
if tested=$(lhasa t "$archive" 2>&1) && printf '%s\n' "$tested" | grep -q -- '- Tested' &&
   lhasa xqw="$work" "$archive"; then
  status=0
  for f in "$work"/* "$work"/.[!.]*; do
    [ -f "$f" ] || continue
    mv -f -- "$f" "${folder%/}/$(basename -- "$f")" || status=1
  done
else
  echo "CRESTA9: the archive ${archive} is damaged" >&2
  status=1
fi
rm -rf -- "$work"
exit $status
