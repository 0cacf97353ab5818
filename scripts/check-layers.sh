#!/usr/bin/env bash
# The folders are layers: each may include headers only from the folders below
# it, so the core builds and tests without Qt and without any program, and a
# program never reaches into another program nor into the tests' helpers.
# Exit 1 with file:line and the include for every step out of line; folders
# not made yet are skipped.
#   scripts/check-layers.sh [ROOT]   ROOT: the tree to check (default: this one)
set -euo pipefail

# folder:  the folders it may include besides itself ("qt": Qt's headers and
#          the chart widget's). The core, lowest first, then the Qt libraries,
#          then the programs, then what checks and measures them. A file is
#          judged by the deepest folder listed that holds it (sim/tests, not
#          sim), an include by the deepest listed folder of its path. A folder
#          not listed here is not checked, and includes of folders not listed
#          here are not judged.
rules='
base:
link:     base
engine:   base link
scope:    base link engine
control:  base link engine scope
journal:  base link engine scope control
control_room: base journal
session:  base link engine scope control journal
cli:
words:    @core
report/model: @core
chart:    @core qt
report:   @core words chart report/model qt
outlets:  @core
outlets/mqtt: @core words outlets
outlets/dc09: @core outlets
recorder: @core words cli outlets outlets/mqtt outlets/dc09
sim:      @core cli
osc:      @core words cli chart report report/model qt
app:      @core words cli chart report report/model qt

tests/support:     @core words
tests/core:        @core words tests/support
tests/integration: @core words tests/support
tests/report:      @core report/model tests/support
tests/recorder:    @core tests/support recorder report/model
tests/mqtt:        @core words tests/support recorder outlets outlets/mqtt
tests/dc09:        @core tests/support recorder outlets outlets/dc09
tests/osc:         tests/support qt
tests/gui:         @core words cli chart report app qt tests/support
tests/wine:        @core tests/support tests/mqtt tests/dc09
tests/site:        @core
sim/tests:         @core cli sim tests/support
bench:             @core chart app qt tests/support
fuzz:              @core tests/support outlets outlets/dc09
'
# Why the steps above that are not plainly downwards are allowed:
#   tests/recorder, tests/mqtt  test the recorder's own parts (options, console,
#                               the publisher and its queue) one by one.
#   tests/osc                   reads the pictures tarvin9-osc draws with Qt.
#   tests/wine                  runs the Windows recorder against the mqtt tests'
#                               broker rig and certificates.
#   bench                       measures the window (app/, chart/, Qt) as well as
#                               the core, and drives the simulator as a child
#                               the way the tests do.
#   fuzz                        the core through its public operations, and its
#                               parts through the tests' SessionParts.
# Two rooms beside the layers: control_room (the control room's acknowledgements
# and history, decided from the journal's events) is core, above the journal
# alone, and the session never takes it; report/model (what the commissioning
# report says, plain C++ over the core) is taken only by report/ and the
# programs and tests that make or check a report.
core='base link engine scope control journal control_room session'

root=${1:-"$(dirname "$0")/.."}
cd "$root"

declare -A allowed=()
present=()
while read -r folder may; do
  [ -n "$folder" ] || continue
  folder=${folder%:}
  allowed[$folder]=" $folder ${may//@core/$core} "
  [ -d "$folder" ] && present+=("$folder")
done <<<"$rules"
[ ${#present[@]} -gt 0 ] || exit 0

# The deepest listed folder that holds the path $1, in $layer ("" if none).
layer_of() {
  layer=$1
  while [[ $layer == */* ]]; do
    layer=${layer%/*}
    [ -n "${allowed[$layer]:-}" ] && return
  done
  layer=
}

# grep's "file:line:text" of an include; a Qt header; a header in a folder.
include_line='^([^:]+):([0-9]+):[[:space:]]*(#[[:space:]]*include[[:space:]]*[<"][^>"]*[>"])'
qt_header='<Q[A-Za-z]|[<"]qcustomplot\.h[>"]'
folder_header='"([A-Za-z0-9_/]+/)[^/"]*"'

bad=0
refuse() {  # file:line, the include, why
  echo "$1: $2: $3" >&2
  bad=1
}

# A folder nested in another (sim/tests in sim) is read once, by sort -u.
while IFS= read -r hit; do
  [[ $hit =~ $include_line ]] || continue
  file=${BASH_REMATCH[1]} where=${BASH_REMATCH[1]}:${BASH_REMATCH[2]} include=${BASH_REMATCH[3]}
  layer_of "$file"
  folder=$layer
  [ -n "$folder" ] || continue
  may=${allowed[$folder]}
  if [[ $include =~ $qt_header ]]; then
    [[ $may == *" qt "* ]] || refuse "$where" "$include" "$folder must not include Qt"
  elif [[ $include =~ $folder_header ]]; then
    layer_of "${BASH_REMATCH[1]}"
    if [ -n "$layer" ] && [[ $may != *" $layer "* ]]; then
      refuse "$where" "$include" "$folder must not include $layer"
    fi
  fi
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include' "${present[@]}" \
           --include='*.h' --include='*.hpp' --include='*.c' --include='*.cc' --include='*.cpp' |
         sort -u -t: -k1,1 -k2,2n)
exit $bad
