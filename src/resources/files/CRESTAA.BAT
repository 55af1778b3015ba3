#!/bin/sh
# Restore of a dossier from the ZIP archive that CSAUVEA.BAT wrote, read by
# unzip, which checks every file's CRC.
#   $1 the program's work folder for this restore (ending with "/"): the
#      archive is unpacked there, and the program takes the dossier's own
#      files from it once checked
#   $2 dossier code   $3 folder holding "ZEL" + code + ".ZIP"
# The archive is tested whole before anything is unpacked. Method Z runs this
# file too.
set -u
folder=$1
code=$2
from=${3:-}
[ -n "$folder" ] && [ -n "$code" ] && [ -n "$from" ] || { echo "CRESTAA: arguments manquants" >&2; exit 2; }
command -v unzip >/dev/null 2>&1 || { echo "CRESTAA: unzip n'est pas installé (paquet unzip)" >&2; exit 3; }
archive=$(find "$from" -maxdepth 1 -type f -iname "ZEL${code}.zip" | head -n 1)
[ -n "$archive" ] || { echo "CRESTAA: aucune sauvegarde de ${code} dans ${from}" >&2; exit 1; }
# A member named from the root or through ".." is named, and nothing is restored: the archive
# was not written by CSAUVEA.BAT.
outside=$(unzip -Z1 "$archive" 2>/dev/null | grep -E '(^[/\\]|(^|[/\\])\.\.([/\\]|$))' | head -n 1)
if [ -n "$outside" ]; then
  echo "CRESTAA: le membre « ${outside} » de l'archive sort du dossier: rien n'est restauré" >&2
  exit 1
fi
# Only plain names are taken from the archive: nothing is written outside the work folder.
if unzip -tq "$archive" >/dev/null 2>&1 && unzip -qq -j -o "$archive" -d "$folder" >/dev/null 2>&1; then
  exit 0
fi
echo "CRESTAA: l'archive ${archive} est endommagée" >&2
exit 1
