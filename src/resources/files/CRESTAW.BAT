#!/bin/sh
# Restore of a dossier from the copies that CSAUVEW.BAT made: each
# "-SauveW" file of the dossier is copied under its own name.
#   $1 the program's work folder for this restore (ending with "/"): the
#      copies go there, and the program takes the dossier's own files from
#      it once checked
#   $2 dossier code   $3 folder holding the copies
# A copy that cannot be written into the work folder is said as a full disk when no room is left
# there, not as a copy that cannot be read.
set -u
folder=$1
code=$2
from=${3:-}
[ -n "$folder" ] && [ -n "$code" ] && [ -n "$from" ] || { echo "CRESTAW: arguments manquants" >&2; exit 2; }
lcode=$(printf '%s' "$code" | tr 'A-Z' 'a-z')
# Room left in the work folder, in KB.
room() { df -Pk -- "$folder" 2>/dev/null | awk 'NR == 2 { print $4 }'; }
status=0
found=0
for f in "${from%/}"/*; do
  [ -f "$f" ] || [ -L "$f" ] || continue
  name=$(basename -- "$f")
  case $(printf '%s' "$name" | tr 'A-Z' 'a-z') in
    c??${lcode}-sauvew.*) ;;
    *) continue ;;
  esac
  base=${name%.*}
  original="${base%-*}.${name##*.}"
  found=1
  # A copy that is a link (another name of another file, the same file under two names) would
  # bring that file's content as the dossier's: nothing is restored.
  if [ -L "$f" ] || [ "$(stat -c %h -- "$f")" -gt 1 ]; then
    echo "CRESTAW: la copie ${name} est un lien vers un autre fichier: rien n'est restauré" >&2
    exit 1
  fi
  # cp's own message, in the system's language, gives way to the one below.
  cp -p -- "$f" "${folder%/}/${original}" 2>/dev/null && continue
  status=1
  if [ ! -r "$f" ]; then
    echo "CRESTAW: la copie ${name} n'a pas pu être lue" >&2
    continue
  fi
  need=$(( ($(stat -c %s -- "$f") + 1023) / 1024 ))
  left=$(room)
  if [ -n "$left" ] && { [ "$need" -ge "$left" ] || [ "$left" -lt 8 ]; }; then
    echo "CRESTAW: disque plein, la copie ${name} n'a pas pu être copiée dans le dossier:" >&2
    printf '%s\n' "$folder" >&2
    exit 1
  fi
  echo "CRESTAW: la copie ${name} n'a pas pu être copiée dans le dossier:" >&2
  printf '%s\n' "$folder" >&2
done
[ $found -eq 1 ] || { echo "CRESTAW: aucune copie de ${code} dans ${from}" >&2; exit 1; }
exit $status
