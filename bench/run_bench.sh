#!/usr/bin/env bash
# Times xev against cpmtools' cpmcp on the same kind of image: adding one
# 8 MiB file, extracting it again, and adding 500 small files; and a full
# format of a 1 GiB image against writing as many bytes in 1 MiB blocks (dd).
# Each figure is the best of several runs; every copy is checked byte for
# byte.
#
#   run_bench.sh path/to/xev [work-folder] [runs]
set -euo pipefail

xev_binary=$(realpath "$1")
work=${2:-$(mktemp -d)}
runs=${3:-3}

for tool in cpmcp mkfs.cpm; do
  command -v "$tool" >/dev/null || { echo "bench: $tool is missing (Debian package cpmtools)" >&2; exit 1; }
done

rm -rf "$work"
mkdir -p "$work"
cd "$work"

# A hard disk of 11 MiB with 4 KiB units and 1024 directory entries, known to
# both tools: room for one 8 MiB file and 500 small ones. One system track:
# cpmtools 2.23 misreads the directory of this geometry without one.
ln -s "$xev_binary" xev
cat > xev.ini <<'INI'
[xbh]
SPT=64
XLT=0
BLS=4
EXM=1
DSM=2799
DRM=1023
OFF=1
INI
cat >> xev.ini <<'INI'
[gib]
SPT=128
XLT=0
BLS=16
EXM=15
DSM=65535
DRM=4095
OFF=0
INI
cat > diskdefs <<'DEFS'
diskdef xevbench
  seclen 128
  tracks 1401
  sectrk 64
  blocksize 4096
  maxdir 1024
  skew 0
  boottrk 1
  os 2.2
end
DEFS
image_size=$((1401 * 64 * 128))

mkdir big small out
head -c 8388608 /dev/urandom > big/BIG.DAT
for i in $(seq -w 0 499); do
  head -c $((RANDOM % 4000 + 1)) /dev/urandom > "small/F$i.DAT"
done

fresh_xev() { rm -f "$1"; ./xev "$1" -f >/dev/null; }
fresh_cpm() { rm -f "$1"; mkfs.cpm -f xevbench "$1" >/dev/null; truncate -s "$image_size" "$1"; }

# Seconds of one run of "$@", output discarded.
seconds() {
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s%N)
  echo $(( (end - start) / 1000 ))  # microseconds
}

best=
best_of() {  # best_of prepare-command... -- timed-command...
  local prepare=() timed=() t
  while [[ $1 != -- ]]; do prepare+=("$1"); shift; done
  shift
  timed=("$@")
  best=
  for _ in $(seq "$runs"); do
    "${prepare[@]}"
    t=$(seconds "${timed[@]}")
    if [[ -z $best || $t -lt $best ]]; then best=$t; fi
  done
}

no_op() { :; }
same() { cmp -s "$1" "$2" || { echo "bench: $2 differs from $1" >&2; exit 1; }; }

best_of fresh_xev x.xbh -- ./xev x.xbh -a big/BIG.DAT;       xev_add=$best
best_of fresh_cpm c.img -- cpmcp -f xevbench c.img big/BIG.DAT 0:BIG.DAT; cpm_add=$best
best_of no_op -- ./xev x.xbh -x out/BIG.DAT;                  xev_get=$best
same big/BIG.DAT out/BIG.DAT
best_of no_op -- cpmcp -f xevbench c.img 0:BIG.DAT out/CPM.DAT; cpm_get=$best
same big/BIG.DAT out/CPM.DAT
cpmcp -f xevbench x.xbh 0:BIG.DAT out/CROSS.DAT
same big/BIG.DAT out/CROSS.DAT
best_of fresh_xev y.xbh -- ./xev y.xbh -a 'small/*';         xev_many=$best
best_of fresh_cpm d.img -- cpmcp -f xevbench d.img small/* 0:; cpm_many=$best
[[ $(cpmls -f xevbench y.xbh | grep -c '\.dat$') == 500 ]] || { echo "bench: xev did not add 500 files" >&2; exit 1; }

fresh_gib() { rm -f g.gib; }
fresh_dd() { rm -f g.bin; }
best_of fresh_gib -- ./xev g.gib -f;                         xev_format=$best
best_of fresh_dd -- dd if=/dev/zero of=g.bin bs=1M count=1024; dd_format=$best
rm -f g.gib g.bin

row() {
  awk -v name="$1" -v x="$2" -v c="$3" \
    'BEGIN { printf "| %-28s | %9.3f | %9.3f | %5.2f |\n", name, x / 1e6, c / 1e6, x / c }'
}
echo
echo "Best of $runs runs, seconds; ratio = xev / cpmcp"
echo
echo "| Operation                    |       xev |     cpmcp | ratio |"
echo "|------------------------------|-----------|-----------|-------|"
row "add one 8 MiB file" "$xev_add" "$cpm_add"
row "extract it" "$xev_get" "$cpm_get"
row "add 500 small files" "$xev_many" "$cpm_many"
echo
echo "| Operation                    |       xev |        dd | ratio |"
echo "|------------------------------|-----------|-----------|-------|"
row "full format, 1 GiB image" "$xev_format" "$dd_format"
