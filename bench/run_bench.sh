#!/usr/bin/env bash
# Times xev against cpmtools' cpmcp on the same kind of image: adding one
# 8 MiB file, extracting it again, and adding 500 small files; and a full
# format of a 1 GiB image against writing as many bytes in 1 MiB blocks (dd).
# Then times xev on one floppy disk held in containers against the same disk
# as a plain image: catalogue, add and extract. Each figure is the best of
# several runs; every copy is checked byte for byte.
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

# ---- Containers against the plain image of the same disk ----
# A 1.44 MB two-sided floppy as a plain image, in each container xev
# creates, and (with libdsk's dsktrans) as an ImageDisk file whose empty
# sectors are stored as one byte each, so that the first add rewrites it.
for kind in RAW EDSK DSK IMD; do
  cat >> xev.ini <<INI
[f$kind]
SPT=72
XLT=0
BLS=2
EXM=0
DSM=710
DRM=255
OFF=2
CONTAINER=$kind
SECSIZE=512
HEADS=2
INI
done
mkdir floppy
for i in $(seq -w 0 199); do
  head -c $((RANDOM % 4000 + 1)) /dev/urandom > "floppy/G$i.DAT"
done
kinds=(RAW EDSK DSK IMD)
for kind in "${kinds[@]}"; do ./xev "blank.f$kind" -f >/dev/null; done
if command -v dsktrans >/dev/null; then
  dsktrans -itype raw -otype imd -format ibm1440 blank.fRAW blank.fSQZ >/dev/null 2>&1
  cp blank.fSQZ check.fIMD
  ./xev check.fIMD -c >/dev/null
  cmp -s blank.fSQZ check.fIMD || { echo "bench: reading changed the ImageDisk file" >&2; exit 1; }
  kinds+=(SQZ)
  printf '[fSQZ]\nSPT=72\nXLT=0\nBLS=2\nEXM=0\nDSM=710\nDRM=255\nOFF=2\n' >> xev.ini
fi

# Processor time (user and system, microseconds) of "$@": steadier than the
# clock on a shared machine, where the container and plain runs below would
# otherwise compare the load of the moment more than the work.
cpu_us() {
  local TIMEFORMAT='%3U %3S' t
  t=$( { time "$@" >/dev/null 2>&1; } 2>&1 )
  awk -v t="$t" 'BEGIN { split(t, p, " "); printf "%d\n", (p[1] + p[2]) * 1e6 }'
}
repeat() { local i; for i in $(seq 20); do "$@"; done; }  # commands too quick to time once
keep_best() {  # table, key, time
  local -n slot=$1
  if [[ -z ${slot[$2]:-} || $3 -lt ${slot[$2]} ]]; then slot[$2]=$3; fi
}
declare -A add list get
out=$(mktemp -d /dev/shm/xev-bench.XXXXXX 2>/dev/null || mktemp -d)/got
trap 'rm -rf "$(dirname "$out")"' EXIT
# Rounds in turn over the kinds, so that each meets the same load.
for _ in $(seq "$runs"); do
  for kind in "${kinds[@]}"; do
    # Adding needs a blank disk each time: 20 of them, copied beforehand.
    for i in $(seq 20); do cp "blank.f$kind" "disk$i.f$kind"; done
    add_each() { local i; for i in $(seq 20); do ./xev "disk$i.f$kind" -a 'floppy/*'; done; }
    keep_best add "$kind" "$(cpu_us add_each)"
    image=disk1.f$kind
    keep_best list "$kind" "$(cpu_us repeat ./xev "$image" -c)"
    # Into memory (tmpfs where there is one): creating 200 files on a disk
    # file system costs more, and more unevenly, than anything xev does.
    rm -rf "$out"; mkdir "$out"
    keep_best get "$kind" "$(cpu_us repeat ./xev "$image" -x "$out/*.*")"
    rm -rf "got$kind"; cp -r "$out" "got$kind"
  done
done
for kind in "${kinds[@]:1}"; do
  diff -r gotRAW "got$kind" >/dev/null || { echo "bench: $kind extracted other bytes" >&2; exit 1; }
done
[[ $(ls gotRAW | wc -l) == 200 ]] || { echo "bench: xev did not add 200 files" >&2; exit 1; }

ratio_row() {  # name, then the times of the plain image and of each container
  local name=$1 raw=$2 t
  shift 2
  printf '| %-27s | %9.4f' "$name" "$(awk -v x="$raw" 'BEGIN { print x / 1e6 }')"
  for t in "$@"; do
    awk -v x="$t" -v r="$raw" 'BEGIN { printf " | %7.4f (%4.2f)", x / 1e6, x / r }'
  done
  echo " |"
}
echo
echo "Best of $runs rounds, processor seconds (user + system); in brackets the"
echo "ratio to the plain image. Each operation is timed 20 times in a row."
echo
header="| Operation on a 1.44 MB disk |  plain   "
rule="|-----------------------------|-----------"
for kind in "${kinds[@]:1}"; do
  name=$kind; [[ $kind == SQZ ]] && name="IMD, packed"
  header+=$(printf ' | %-14s' "$name"); rule+="|----------------"
done
echo "$header |"
echo "$rule|"
times_of() {  # the table's times in the order of the kinds
  local -n times=$1
  local k
  for k in "${kinds[@]}"; do printf '%s ' "${times[$k]}"; done
}
# shellcheck disable=SC2046
ratio_row "add 200 small files" $(times_of add)
# shellcheck disable=SC2046
ratio_row "catalogue" $(times_of list)
# shellcheck disable=SC2046
ratio_row "extract all 200 files" $(times_of get)
