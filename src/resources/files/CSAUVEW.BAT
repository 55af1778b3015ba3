#!/bin/sh
# Backup of a dossier by plain copy: each file of the dossier is copied into
# the target as its name with "-SauveW" before the extension
# ("c10" + code + "-SauveW.dbf" is the one the restore offers).
#   $1 dossier folder (ending with "/")   $2 dossier code
#   $3 first target folder                $4 second target folder (optional)
set -u
folder=$1
code=$2
[ -n "$folder" ] && [ -n "$code" ] || { echo "CSAUVEW: dossier ou code manquant" >&2; exit 2; }
shift 2
[ $# -gt 0 ] || { echo "CSAUVEW: aucune destination" >&2; exit 2; }
status=0
for target in "$@"; do
  mkdir -p -- "$target" || { status=1; continue; }
  for f in "${folder%/}"/*; do
    [ -f "$f" ] || continue
    name=$(basename -- "$f")
    case $(printf '%s' "$name" | tr 'A-Z' 'a-z') in
      c??$(printf '%s' "$code" | tr 'A-Z' 'a-z').*) ;;
      *) continue ;;
    esac
    copy="${target%/}/${name%.*}-SauveW.${name##*.}"
    # Whatever stands at the partial name (a link left there would be written through) goes
    # first; the rename then replaces the copy's name, never what it pointed to.
    rm -f -- "$copy.partial"
    cp -p -- "$f" "$copy.partial" && mv -f -- "$copy.partial" "$copy" || status=1
  done
done
exit $status
