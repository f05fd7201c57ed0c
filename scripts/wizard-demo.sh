#!/usr/bin/env bash
# The setup wizard on a demo server: builds everything, creates a simulated
# IIS 10 server with three websites and PHP, runs quaver-setup on it with the
# demo package and licence (the wizard's window when a display is available,
# an unattended run otherwise or with --unattended), then shows what changed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" >/dev/null

demo=build/wizard-demo
rm -rf "$demo"
mkdir -p "$demo"
qm() { build/tools/quaver-machine/quaver-machine --machine "$demo/server" "$@"; }
step() { printf '\n== %s\n' "$*"; }

step "Create a simulated IIS 10 server with PHP and a third website"
build/tools/quaver-machine/quaver-machine create "$demo/server" --iis 10 --php 'C:\PHP'
config="$demo/server/drive_c/Windows/System32/inetsrv/config/applicationHost.config"
sed -i 's|^            <siteDefaults>|            <site name="Blog" id="3">\n                <application path="/">\n                    <virtualDirectory path="/" physicalPath="C:\\Sites\\Blog" />\n                </application>\n                <bindings>\n                    <binding protocol="http" bindingInformation="*:8081:" />\n                </bindings>\n            </site>\n            <siteDefaults>|' "$config"
mkdir -p "$demo/server/drive_c/Sites/Blog"
qm appcmd list site
cp -a "$demo/server" "$demo/before"

status=0
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ "${1:-}" != "--unattended" ]; then
  step "The setup wizard (click through it; the media is drive D:)"
  build/tools/quaver-setup/quaver-setup --machine "$demo/server" --media build/demo || status=$?
else
  step "Unattended setup (no display): pipeline module on all websites"
  build/tools/quaver-setup/quaver-setup --unattended --machine "$demo/server" --media build/demo \
    --dir 'C:\Program Files' --mode pipeline --sites all --desktop-icon || status=$?
fi

step "What changed on the server"
diff -rq "$demo/before" "$demo/server" | sed "s|$demo/||g" || true
step "Product key"
qm reg query 'HKLM\SOFTWARE\Corvane\Quaver' || true
step "Product directory"
qm dir 'C:\Program Files\Corvane\Quaver' || true
step "IIS modules"
qm appcmd list module | grep -i quaver || true
exit "$status"
