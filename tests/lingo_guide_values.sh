#!/bin/sh
# Every value in the `lingo-value` blocks of the Lingo guide must be read by
# the notation parser and sent: zephyx-host exits 0 and prints 1 for it.
# Nothing needs to listen; the packets go to a loopback port.
#
# usage: lingo_guide_values.sh ZEPHYX_HOST GUIDE [PORT]
set -u

host=$1
guide=$2
port=${3:-9}

if [ ! -r "$guide" ]; then
  echo "cannot read $guide" >&2
  exit 1
fi

# One "LINE<tab>LITERAL" per non-blank line inside a lingo-value block; an
# unclosed block is reported as such.
literals=$(awk '
  /^```lingo-value[ \t]*$/ { inside = 1; opened = NR; next }
  inside && /^```[ \t]*$/ { inside = 0; next }
  inside && NF { print NR "\t" $0 }
  END { if (inside) { print "unclosed lingo-value block from line " opened > "/dev/stderr"; exit 1 } }
' "$guide") || exit 1

if [ -z "$literals" ]; then
  echo "no lingo-value literal found in $guide" >&2
  exit 1
fi

count=0
failures=0
tab=$(printf '\t')
while IFS="$tab" read -r line literal; do
  count=$((count + 1))
  output=$("$host" send --to "127.0.0.1:$port" "$literal" 2>&1)
  status=$?
  if [ "$status" -ne 0 ] || [ "$output" != "1" ]; then
    failures=$((failures + 1))
    echo "$guide:$line: exit $status, output '$output' for: $literal" >&2
  fi
done <<EOF
$literals
EOF

echo "$count literals, $failures failed"
[ "$failures" -eq 0 ]
