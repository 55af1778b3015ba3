#!/bin/sh
# Restore of a dossier from the LHA archive that CSAUVE9.BAT wrote, read by
# lhasa (Debian package lhasa), which checks every file's CRC.
#   $1 the program's work folder for this restore (ending with "/"): the
#      archive is unpacked there, and the program takes the dossier's own
#      files from it once checked
#   $2 dossier code   $3 folder holding "ZEL" + code + ".lzh"
# The archive is tested whole before anything is unpacked; a member named from the root or
# through ".." (which lhasa would unpack under another name) is named, and nothing is restored.
set -u
folder=$1
code=$2
from=${3:-}
[ -n "$folder" ] && [ -n "$code" ] && [ -n "$from" ] || { echo "CRESTA9: arguments manquants" >&2; exit 2; }
command -v lhasa >/dev/null 2>&1 || { echo "CRESTA9: lhasa, qui lit les archives LHA, n'est pas installé (paquet lhasa)" >&2; exit 3; }
archive=$(find "$from" -maxdepth 1 -type f -iname "ZEL${code}.lzh" | head -n 1)
[ -n "$archive" ] || { echo "CRESTA9: aucune sauvegarde de ${code} dans ${from}" >&2; exit 1; }
# The names as stored, read from the listing of jlha (the writer; lhasa shows a name without its
# ".."), after the date or the time of each member. Without jlha, lhasa's own names are safe.
if command -v jlha >/dev/null 2>&1; then
  outside=$(jlha lq "$archive" 2>/dev/null |
    sed -E 's/^[^ ]+ +([0-9]+\/[0-9]+ +)?[0-9]+ +[^ ]+ +[^ ]+ +[0-9]+ +([0-9]{4}|[0-9]{2}:[0-9]{2}) //' |
    grep -E '(^[/\\]|(^|[/\\])\.\.([/\\]|$))' | head -n 1)
  if [ -n "$outside" ]; then
    echo "CRESTA9: le membre « ${outside} » de l'archive sort du dossier: rien n'est restauré" >&2
    exit 1
  fi
fi
if tested=$(lhasa t "$archive" 2>&1) && printf '%s\n' "$tested" | grep -q -- '- Tested' &&
   lhasa xqw="$folder" "$archive" >/dev/null 2>&1; then
  exit 0
fi
echo "CRESTA9: l'archive ${archive} est endommagée" >&2
exit 1
