#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) in build-fuzz/, makes
# a seed corpus (packages built by cvsp from the manifests, the files of fresh
# images made by quaver-machine, real exports when ../shared is there), and
# runs each target for a bounded time. A crash, leak or sanitizer report fails
# the script.
#   FUZZ_SECONDS  seconds per target (default 40)
#   FUZZ_RUNS     a campaign instead: this many executions per target
#                 (e.g. 10000000); FUZZ_SECONDS is then ignored
#   FUZZ_TARGETS  the targets to run (default: all), e.g. "regfile ini"
#   FUZZ_JOBS     parallel compile jobs (default 2)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${FUZZ_SECONDS:-40}"
runs="${FUZZ_RUNS:-}"
jobs="${FUZZ_JOBS:-2}"
targets="${FUZZ_TARGETS:-decode parse package_info regfile sddl ini metabase_xml apphost_config manifest}"
build=build-fuzz

# -O1 keeps the cold build of the whole tree short; the sanitizers dominate
# the speed of a run anyway.
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=None \
  -DCMAKE_CXX_FLAGS="-O1 -gline-tables-only" \
  -DQUAVER_FUZZ=ON -DQUAVER_TESTS=OFF -DQUAVER_BENCH=OFF >/dev/null
build_targets="cvsp quaver-machine"
for target in $targets; do build_targets+=" fuzz_$target"; done
# shellcheck disable=SC2086 # one word per target
cmake --build "$build" -j"$jobs" --target $build_targets

corpus="$build/corpus"
artifacts="$build/artifacts"
rm -rf "$corpus"
mkdir -p "$artifacts"
for target in decode parse package_info regfile sddl ini metabase_xml apphost_config manifest; do
  mkdir -p "$corpus/$target"
done
cp fuzz/seeds/*.json tools/cvsp/examples/*.json "$corpus/manifest/"
for manifest in fuzz/seeds/*.json tools/cvsp/examples/*.json; do
  name=$(basename "$manifest" .json)
  package="$corpus/parse/$name.cvsp"
  "$build/tools/cvsp/cvsp" build "$manifest" -o "$package" >/dev/null
  cp "$package" "$corpus/package_info/"
  # The decode target takes an option byte (named, no depth limit) and the root node.
  { printf '\377'; tail -c +17 "$package"; } >"$corpus/decode/$name.bin"
done

# The files the image maker writes; the shared real files are read in place
# as a second, read-only corpus when they are there.
images="$build/images"
rm -rf "$images"
for iis in 6 7.5 10; do
  "$build/tools/quaver-machine/quaver-machine" create "$images/iis$iis" --iis "$iis" >/dev/null
done
inetsrv=drive_c/Windows/System32/inetsrv
cp "$images/iis6/$inetsrv/MetaBase.xml" "$corpus/metabase_xml/"
for iis in 7.5 10; do
  cp "$images/iis$iis/$inetsrv/config/applicationHost.config" "$corpus/apphost_config/iis$iis.config"
done
for iis in 6 10; do
  for hive in "$images/iis$iis"/registry/*.reg; do
    cp "$hive" "$corpus/regfile/iis$iis-$(basename "$hive")"
  done
  cp "$images/iis$iis/machine.ini" "$corpus/ini/iis$iis-machine.ini"
  cp "$images/iis$iis/services.ini" "$corpus/ini/iis$iis-services.ini"
done
cp fuzz/seeds/*.sddl "$corpus/sddl/"
shared() { if [ -d "../shared/corpus/$1" ]; then echo "../shared/corpus/$1"; fi; }
declare -A extra=([metabase_xml]="$(shared metabase)" [apphost_config]="$(shared applicationhost)"
                  [regfile]="$(shared reg)")
declare -A maxlen=([metabase_xml]=8192 [apphost_config]=8192 [manifest]=16384)

if [ -n "$runs" ]; then limit="-runs=$runs"; else limit="-max_total_time=$seconds"; fi
for target in $targets; do
  echo "fuzz_$target: ${runs:+$runs runs}${runs:-${seconds}s}"
  log="$build/fuzz_$target.log"
  # shellcheck disable=SC2086 # the extra corpus is one path or none
  if ! "$build/fuzz/fuzz_$target" "$corpus/$target" ${extra[$target]:-} \
      ${maxlen[$target]:+-max_len=${maxlen[$target]}} "$limit" \
      -rss_limit_mb=2048 -artifact_prefix="$artifacts/$target-" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz_$target found a problem; the input is in $artifacts/" >&2
    exit 1
  fi
  grep -E "^(#[0-9]+\s+DONE|Done)" "$log" | tail -n 1 || true
done
echo "fuzzing passed"
