#!/usr/bin/env bash
# Extraction throughput: the unzip task (under Wine) against Info-ZIP unzip
# (native) on the same 50 MB archive, in the same run. Not part of the test
# run. Needs a build: VYN_BUILD_ROOT/x64 with engine_tests.exe.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/wine-env"
vyn_wine_prefix
work="$VYN_BUILD_ROOT/measure"
rm -rf "$work" && mkdir -p "$work/src"

# Many small files and a few large ones; half random bytes so the archive
# stays near 50 MB.
python3 - "$work/src" <<'PY'
import os, random, sys
out = sys.argv[1]
rng = random.Random(2005)
def blob(size):
    text = b"".join(b"line %d of generated text\n" % i for i in range(size // 50))
    return (rng.randbytes(size // 2) + text)[:size]
for i in range(3000):
    folder = os.path.join(out, "small", "d%02d" % (i % 40))
    os.makedirs(folder, exist_ok=True)
    open(os.path.join(folder, "f%04d.dat" % i), "wb").write(blob(rng.randrange(2000, 12000)))
os.makedirs(os.path.join(out, "large"), exist_ok=True)
for i in range(4):
    open(os.path.join(out, "large", "big%d.bin" % i), "wb").write(blob(18 * 1024 * 1024))
PY
(cd "$work/src" && zip -q -r "$work/measure.zip" .)
archive_mb=$(du -m "$work/measure.zip" | cut -f1)
files=$(unzip -Z1 "$work/measure.zip" | wc -l)

now() { date +%s.%N; }
native_best=
for run in 1 2 3; do
  rm -rf "$work/native"
  t0=$(now); unzip -q -o "$work/measure.zip" -d "$work/native"; t1=$(now)
  t=$(echo "$t1 - $t0" | bc -l)
  if [ -z "$native_best" ] || [ "$(echo "$t < $native_best" | bc -l)" = 1 ]; then native_best=$t; fi
done
rm -rf "$work/native"

wine_best=
for run in 1 2 3; do
  line=$(VYN_MEASURE_ARCHIVE="$work/measure.zip" wine "$VYN_BUILD_ROOT/x64/tests/engine/engine_tests.exe" \
    --gtest_also_run_disabled_tests --gtest_filter='UnzipThroughput.*' | grep unzip-task-seconds | tr -d '\r')
  t=${line##* }
  if [ -z "$wine_best" ] || [ "$(echo "$t < $wine_best" | bc -l)" = 1 ]; then wine_best=$t; fi
done

printf 'archive: %s MB, %s entries\n' "$archive_mb" "$files"
printf 'Info-ZIP unzip (native), best of 3: %.3f s\n' "$native_best"
printf 'unzip task (under Wine), best of 3: %.3f s\n' "$wine_best"
printf 'ratio unzip task / unzip: %.2f\n' "$(echo "$wine_best / $native_best" | bc -l)"
rm -rf "$work"
