#!/usr/bin/env bash
# The tool's main job on a built-in demo: build a simulated IIS 10 server and
# the sample installation package, then read the package the way the installer
# does and show the parts of the server the installer will touch.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs" --target cvsp quaver-machine >/dev/null

demo=build/demo
rm -rf "$demo"
mkdir -p "$demo"
qm() { build/tools/quaver-machine/quaver-machine --machine "$demo/machine" "$@"; }
cvsp() { build/tools/cvsp/cvsp "$@"; }

step() { printf '\n== %s\n' "$*"; }

step "Create a simulated Windows server with IIS 10"
build/tools/quaver-machine/quaver-machine create "$demo/machine" --iis 10

step "Build the sample package"
cvsp build tools/cvsp/examples/sample.json -o "$demo/Quaver_Pro_v4.0.9.cvsp"
ls -l "$demo/Quaver_Pro_v4.0.9.cvsp"

step "Package header"
cvsp info "$demo/Quaver_Pro_v4.0.9.cvsp"

step "Full parse: components and their conditions"
cvsp check "$demo/Quaver_Pro_v4.0.9.cvsp"

step "IIS version in the server's registry"
qm reg query 'HKLM\SOFTWARE\Microsoft\InetStp'

step "The web service"
qm sc query W3SVC

step "IIS modules the installer will add to (application host)"
qm appcmd list module | sed -n 1,8p

step "Access list of the web root"
qm icacls 'C:\inetpub\wwwroot'

printf '\nThe machine image is in %s; every file of it is plain text.\n' "$demo/machine"
