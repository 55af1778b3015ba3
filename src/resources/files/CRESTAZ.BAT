#!/bin/sh
# Method Z writes and reads the same ZIP archives as method A: CRESTAA.BAT, found
# beside this file, does the work with the same arguments.
exec /bin/sh "$(dirname -- "$0")/CRESTAA.BAT" "$@"
