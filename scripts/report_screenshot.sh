#!/usr/bin/env bash
# Runs the simulator with a report, renders the report in headless Chromium
# and saves a screenshot of the whole page: the report as a browser shows it.
# Not part of CI (Chromium alone takes seconds to start).
#
# usage: scripts/report_screenshot.sh OUT.png [simulator options...]
#   e.g. scripts/report_screenshot.sh flaky.png --faults flaky --requeue 3
set -euo pipefail
if [ $# -lt 1 ]; then
  echo "usage: $0 OUT.png [simulator options...]" >&2
  exit 2
fi
out=$(realpath -m -- "$1")
shift
cd "$(dirname "$0")/.."

missing=()
for p in chromium fonts-dejavu-core; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}" >&2
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
./scripts/simulate.sh --quiet --report "$work/report.html" "$@" >/dev/null
echo "== Rendering the report ==" >&2
# A fresh profile, and nothing fetched or updated in the background.
timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$work/profile" --screenshot="$out" --window-size=1200,3600 \
  "file://$work/report.html" >/dev/null 2>&1
echo "Screenshot of the report: $out" >&2
