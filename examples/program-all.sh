#!/usr/bin/env bash
# Programs one image on every usable adapter at once: one quiet `tarnel-cli` per adapter,
# each choosing its adapter by port path with --adapter. Prints one result line per
# adapter when all have ended:
#   PORT SERIAL ok SECONDS
#   PORT SERIAL failed EXIT MESSAGE
# Exit status: 0 when every adapter was programmed, 1 when any failed, 2 when no adapter
# is usable.
#
# Usage: program-all.sh IMAGE.rom
# TARNEL_CLI and TARNEL_ADAPTERS name the two commands (default: from the path).
set -uo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 IMAGE.rom" >&2
  exit 2
fi
image=$1
cli=${TARNEL_CLI:-tarnel-cli}
list=${TARNEL_ADAPTERS:-tarnel-adapters}

adapters=$("$list" | awk '$4 == "usable" { print $1, $2 }')
if [ -z "$adapters" ]; then
  echo "program-all: no usable adapter" >&2
  exit 2
fi

logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

# One tool per adapter, all at once; each writes its own event log.
pids=()
while read -r port serial; do
  "$cli" --quiet --adapter "$port" --log "$logs/$port.log" -- "$image" \
    >"$logs/$port.out" 2>&1 &
  pids+=("$!")
done <<<"$adapters"

failed=0
i=0
while read -r port serial; do
  wait "${pids[$i]}"
  status=$?
  i=$((i + 1))
  end=$(grep ' end ' "$logs/$port.log" 2>/dev/null | tail -n 1)
  seconds=$(sed -n 's/.* seconds=\([0-9.]*\).*/\1/p' <<<"$end")
  if [ "$status" -eq 0 ] && grep -q 'outcome=success' <<<"$end"; then
    echo "$port $serial ok ${seconds:-?}"
  else
    failed=1
    message=$(grep ' message ' "$logs/$port.log" 2>/dev/null | tail -n 1 |
      sed -n 's/.* text="\(.*\)" caption=.*/\1/p')
    echo "$port $serial failed $status ${message:-no message, see the output of the tool}"
  fi
done <<<"$adapters"
exit "$failed"
