#!/bin/sh
# Restore of a dossier from the ZIP archive that CSAUVEA.BAT wrote, read by
# unzip, which checks every file's CRC.
#   $1 the program's work folder for this restore (ending with "/"): the
#      archive is unpacked there, and the program takes the dossier's own
#      files from it once checked
#   $2 dossier code   $3 folder holding "ZEL" + code + ".ZIP"
# The archive is tested whole before anything is unpacked; one that tests whole but does not
# unpack met a full disk or a folder it may not write into: that is said, not that the archive
# is damaged. Method Z runs this file too.
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
if ! unzip -tq "$archive" >/dev/null 2>&1; then
  echo "CRESTAA: l'archive ${archive} est endommagée" >&2
  exit 1
fi
# Room in the work folder before, and what the members take unpacked (unzip's total), in KB.
room() { df -Pk -- "$folder" 2>/dev/null | awk 'NR == 2 { print $4 }'; }
before=$(room)
size=$(unzip -l "$archive" 2>/dev/null | tail -n 1 | awk '{ print $1 }')
case $size in '' | *[!0-9]*) size=0 ;; esac
# Only plain names are taken from the archive: nothing is written outside the work folder.
# Nothing is read from the terminal: a full disk ends unzip with status 50.
unzip -qq -j -o "$archive" -d "$folder" </dev/null >/dev/null 2>&1
status=$?
[ $status -eq 0 ] && exit 0
after=$(room)
if [ $status -eq 50 ] ||
   { [ -n "$before" ] && { [ "$(( ($size + 1023) / 1024 ))" -ge "$before" ] || [ "${after:-0}" -lt 8 ]; }; }; then
  echo "CRESTAA: disque plein, la sauvegarde (intacte) n'a pas pu être dépliée dans le dossier:" >&2
else
  echo "CRESTAA: la sauvegarde (intacte) n'a pas pu être dépliée dans le dossier:" >&2
fi
# The folder on a line of its own: the program shows the last lines cut to a width.
printf '%s\n' "$folder" >&2
exit 1
