#!/bin/sh
# Restore of a dossier from the archive that CSAUVE9.BAT wrote.
#   $1 dossier folder (ending with "/")   $2 dossier code
#   $3 folder holding "ZEL" + code + ".lzh"
# The archive is unpacked aside first; the dossier's files are replaced only
# when it unpacked whole, each by one rename.
set -u
folder=$1
code=$2
from=${3:-}
[ -n "$folder" ] && [ -n "$code" ] && [ -n "$from" ] || { echo "CRESTA9: arguments missing" >&2; exit 2; }
archive=$(find "$from" -maxdepth 1 -type f -iname "ZEL${code}.lzh" | head -n 1)
[ -n "$archive" ] || { echo "CRESTA9: no backup of ${code} in ${from}" >&2; exit 1; }
work=$(mktemp -d "${folder%/}/.cresta9.XXXXXX") || exit 1
if tar -xzf "$archive" -C "$work"; then
  status=0
  for f in "$work"/* "$work"/.[!.]*; do
    [ -f "$f" ] || continue
    mv -f -- "$f" "${folder%/}/$(basename -- "$f")" || status=1
  done
else
  status=1
fi
rm -rf -- "$work"
exit $status
