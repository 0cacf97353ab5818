#!/usr/bin/env bash
# The folders are layers: each may include headers only from the folders below
# it, so the core builds and tests without Qt and without any program, and a
# program never reaches into another program. Exit 1 with file:line and the
# include for every step out of line; folders not made yet are skipped.
#   scripts/check-layers.sh [ROOT]   ROOT: the tree to check (default: this one)
set -euo pipefail

# folder:  the folders it may include besides itself ("qt": Qt's headers and
#          the chart widget's). The core, lowest first, then the Qt libraries,
#          then the programs. A folder not listed here is not checked, and
#          includes of folders not listed here are not judged.
rules='
base:
link:     base
engine:   base link
scope:    base link engine
control:  base link engine scope
journal:  base link engine scope control
session:  base link engine scope control journal
cli:
chart:    @core qt
report:   @core chart qt
recorder: @core cli
sim:      @core cli
osc:      @core cli chart report qt
app:      @core cli chart report qt
'
core='base link engine scope control journal session'

root=${1:-"$(dirname "$0")/.."}
cd "$root"

declare -A allowed=()
folders=()
while read -r folder may; do
  [ -n "$folder" ] || continue
  folders+=("${folder%:}")
  allowed[${folder%:}]=" ${folder%:} ${may//@core/$core} "
done <<<"$rules"

# grep's "file:line:text" of an include; a Qt header; a header of a folder.
include_line='^([^:]+:[0-9]+):[[:space:]]*(#[[:space:]]*include[[:space:]]*[<"][^>"]*[>"])'
qt_header='<Q[A-Za-z]|[<"]qcustomplot\.h[>"]'
folder_header='"([A-Za-z0-9_]+)/'

bad=0
refuse() {  # file:line, the include, why
  echo "$1: $2: $3" >&2
  bad=1
}

for folder in "${folders[@]}"; do
  [ -d "$folder" ] || continue
  may=${allowed[$folder]}
  while IFS= read -r hit; do
    [[ $hit =~ $include_line ]] || continue
    where=${BASH_REMATCH[1]} include=${BASH_REMATCH[2]}
    if [[ $include =~ $qt_header ]]; then
      [[ $may == *" qt "* ]] || refuse "$where" "$include" "$folder must not include Qt"
    elif [[ $include =~ $folder_header ]]; then
      target=${BASH_REMATCH[1]}
      if [ -n "${allowed[$target]:-}" ] && [[ $may != *" $target "* ]]; then
        refuse "$where" "$include" "$folder must not include $target"
      fi
    fi
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include' "$folder" \
             --include='*.h' --include='*.hpp' --include='*.c' --include='*.cc' --include='*.cpp' | sort -t: -k1,1 -k2,2n)
done
exit $bad
