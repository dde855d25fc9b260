#!/bin/sh
# Installs the packages that hold the benchmark images (only those missing) and prints the
# image paths, one per line, for dxtbench:  dxtbench $(scripts/fetch_bench_corpus.sh)
set -eu
list="$(dirname "$0")/../bench/corpus.txt"
missing=""
for pkg in $(grep -v '^#' "$list" | awk 'NF { print $1 }' | sort -u); do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing="$missing $pkg"
done
if [ -n "$missing" ]; then
  echo "installing:$missing" >&2
  apt-get update -qq >&2
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing >&2
fi
grep -v '^#' "$list" | awk 'NF { print $2 }' | while read -r path; do
  if [ -f "$path" ]; then echo "$path"; else echo "missing: $path" >&2; fi
done
