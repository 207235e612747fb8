#!/usr/bin/env bash
# Renders the main window's converter and glossary pages, with the shipped data, into
# docs/screenshots/converter.png and glossary.png. Needs no display: the window is drawn
# offscreen. Settings and the runtime folder are temporary, so the pictures always show a
# first start and nothing of the user's is read or written.
#
#   scripts/screenshots.sh [BUILD-DIR]      (default: build)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
case "$build" in
/*) ;;
*) build="$root/$build" ;;
esac
program="$build/bin/morvextools"
if [[ ! -x "$program" ]]; then
    echo "screenshots: $program not found; build first (make build)" >&2
    exit 2
fi
if [[ ! -f "$build/bin/units.dat" || ! -f "$build/bin/terms.dat" ]]; then
    echo "screenshots: the shipped data is missing beside $program" >&2
    exit 2
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -m 700 "$scratch/run"

out="$root/docs/screenshots"
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$scratch/run" XDG_CONFIG_HOME="$scratch/config" \
    "$program" --screenshot "$out"
echo "screenshots: wrote $out/converter.png and $out/glossary.png"
