#!/bin/sh
# Restore of a dossier from the LHA archive that CSAUVE9.BAT wrote, read by
# lhasa (Debian package lhasa), which checks every file's CRC.
#   $1 the program's work folder for this restore (ending with "/"): the
#      archive is unpacked there, and the program takes the dossier's own
#      files from it once checked
#   $2 dossier code   $3 folder holding "ZEL" + code + ".lzh"
# The archive is tested whole before anything is unpacked; a member named from the root or
# through ".." (which lhasa would unpack under another name) is named, and nothing is restored.
# An archive that tests whole but does not unpack met a full disk or a folder it may not write
# into: that is said, not that the archive is damaged. Into a folder that takes files, it is the
# archive that cannot be unpacked as it is written (a member whose path runs through another
# member's file): that path is named.
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
if ! tested=$(lhasa t "$archive" 2>&1) || ! printf '%s\n' "$tested" | grep -q -- '- Tested'; then
  echo "CRESTA9: l'archive ${archive} est endommagée" >&2
  exit 1
fi
# Room in the work folder before, and what the members take unpacked (lhasa's total), in KB.
room() { df -Pk -- "$folder" 2>/dev/null | awk 'NR == 2 { print $4 }'; }
before=$(room)
size=$(lhasa l "$archive" 2>/dev/null | awk '$1 == "Total" { print $4 }')
case $size in '' | *[!0-9]*) size=0 ;; esac
said=$(lhasa xqw="$folder" "$archive" 2>&1 </dev/null) && exit 0
after=$(room)
probe=$(mktemp -p "$folder" .essai.XXXXXX 2>/dev/null) && rm -f -- "$probe"
# The member lhasa could not write, as it names it (the work folder before it, quoted).
member=$(printf '%s\n' "$said" | sed -n -e "s/^[^']*'\(.*\)'[^']*\$/\1/p" -e 's/^Failed to create parent directory //p' |
  head -n 1)
member=${member#"$folder"}
member=${member#/}
if [ -n "$before" ] && { [ "$(( ($size + 1023) / 1024 ))" -ge "$before" ] || [ "${after:-0}" -lt 8 ]; }; then
  echo "CRESTA9: disque plein, la sauvegarde (intacte) n'a pas pu être dépliée dans le dossier:" >&2
elif [ -n "$probe" ] && [ -n "$member" ]; then
  echo "CRESTA9: l'archive ${archive} ne peut pas être dépliée telle qu'elle est écrite: son chemin « ${member} » passe par le nom d'un fichier de l'archive. Ce n'est pas une sauvegarde de dossier: rien n'est restauré" >&2
  exit 1
elif [ -n "$probe" ]; then
  echo "CRESTA9: l'archive ${archive} ne peut pas être dépliée telle qu'elle est écrite. Ce n'est pas une sauvegarde de dossier: rien n'est restauré" >&2
  exit 1
else
  echo "CRESTA9: la sauvegarde (intacte) n'a pas pu être dépliée: le dossier suivant refuse d'y écrire:" >&2
fi
# The folder on a line of its own: the program shows the last lines cut to a width.
printf '%s\n' "$folder" >&2
exit 1
