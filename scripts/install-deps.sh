#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those missing.
set -euo pipefail
# fonts-wine: a face metric-compatible with the wizard's dialog font.
packages=(cmake g++ make pkg-config zlib1g-dev libdeflate-dev libpugixml-dev nlohmann-json3-dev libcli11-dev
          libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-dev liblnk-utils
          qt6-base-dev fonts-wine xvfb xauth ccache)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}"
fi
