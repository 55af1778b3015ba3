#!/bin/sh
# Restore of a dossier from the copies that CSAUVEW.BAT made: each
# "-SauveW" file of the dossier goes back under its own name, by one rename.
#   $1 dossier folder (ending with "/")   $2 dossier code
#   $3 folder holding the copies
set -u
folder=$1
code=$2
from=${3:-}
[ -n "$folder" ] && [ -n "$code" ] && [ -n "$from" ] || { echo "CRESTAW: arguments missing" >&2; exit 2; }
lcode=$(printf '%s' "$code" | tr 'A-Z' 'a-z')
status=0
found=0
for f in "${from%/}"/*; do
  [ -f "$f" ] || continue
  name=$(basename -- "$f")
  case $(printf '%s' "$name" | tr 'A-Z' 'a-z') in
    c??${lcode}-sauvew.*) ;;
    *) continue ;;
  esac
  base=${name%.*}
  original="${base%-*}.${name##*.}"
  found=1
  cp -p -- "$f" "${folder%/}/.${original}.partial" &&
    mv -f -- "${folder%/}/.${original}.partial" "${folder%/}/${original}" || status=1
done
[ $found -eq 1 ] || { echo "CRESTAW: no copy of ${code} in ${from}" >&2; exit 1; }
exit $status
