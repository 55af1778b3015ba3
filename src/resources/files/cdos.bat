#!/bin/sh
# Lists every dossier under folder $1 (every "c10" + code + ".dbf", without
# case) as "folder code", into "cdos.txt" of the current folder (the program
# folder), and opens that list when a desktop is there.
# Started by the dossier management utility with /bin/sh, one argument each.
start="${1:-.}"
out="$PWD/cdos.txt"
find "$start" -type f -iname 'c10*.dbf' 2>/dev/null | sort | while IFS= read -r f; do
  name=${f##*/}
  code=$(printf '%s' "${name%.*}" | cut -c4- | tr 'a-z' 'A-Z')
  printf '%s %s\n' "${f%/*}/" "$code"
done > "$out"
cat "$out"
if [ -n "$DISPLAY$WAYLAND_DISPLAY" ] && command -v xdg-open >/dev/null 2>&1; then
  xdg-open "$out" >/dev/null 2>&1 &
fi
exit 0
