#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) in build-fuzz/, makes
# a seed corpus with cvsp from the manifests, and runs each target for a
# bounded time. A crash, leak or sanitizer report fails the script.
#   FUZZ_SECONDS  seconds per target (default 40)
#   FUZZ_JOBS     parallel compile jobs (default 2)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${FUZZ_SECONDS:-40}"
jobs="${FUZZ_JOBS:-2}"
build=build-fuzz

# -O1 keeps the cold build of the whole tree short; the sanitizers dominate
# the speed of a run anyway.
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=None \
  -DCMAKE_CXX_FLAGS="-O1 -gline-tables-only" \
  -DQUAVER_FUZZ=ON -DQUAVER_TESTS=OFF -DQUAVER_BENCH=OFF >/dev/null
cmake --build "$build" -j"$jobs" --target cvsp fuzz_decode fuzz_parse fuzz_package_info \
  quaver-machine fuzz_regfile fuzz_sddl fuzz_ini

corpus="$build/corpus"
artifacts="$build/artifacts"
rm -rf "$corpus"
mkdir -p "$corpus/decode" "$corpus/parse" "$corpus/package_info" "$artifacts" \
  "$corpus/regfile" "$corpus/sddl" "$corpus/ini"
for manifest in fuzz/seeds/*.json tools/cvsp/examples/*.json; do
  name=$(basename "$manifest" .json)
  package="$corpus/parse/$name.cvsp"
  "$build/tools/cvsp/cvsp" build "$manifest" -o "$package" >/dev/null
  cp "$package" "$corpus/package_info/"
  # The decode target takes an option byte (named, no depth limit) and the root node.
  { printf '\377'; tail -c +17 "$package"; } >"$corpus/decode/$name.bin"
done

# The image readers start from the files of a fresh image and real exports.
rm -rf "$build/image"
"$build/tools/quaver-machine/quaver-machine" create "$build/image" >/dev/null
cp "$build/image"/registry/*.reg "$corpus/regfile/"
if [ -d ../shared/corpus/reg ]; then cp ../shared/corpus/reg/*.reg "$corpus/regfile/"; fi
cp "$build/image/machine.ini" "$build/image/services.ini" "$corpus/ini/"
cp fuzz/seeds/*.sddl "$corpus/sddl/"

for target in decode parse package_info regfile sddl ini; do
  echo "fuzz_$target: ${seconds}s"
  log="$build/fuzz_$target.log"
  if ! "$build/fuzz/fuzz_$target" "$corpus/$target" -max_total_time="$seconds" \
      -rss_limit_mb=2048 -artifact_prefix="$artifacts/$target-" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz_$target found a problem; the input is in $artifacts/" >&2
    exit 1
  fi
  grep -E "^(#[0-9]+\s+DONE|Done)" "$log" | tail -n 1 || true
done
echo "fuzzing passed"
