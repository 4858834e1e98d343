#!/usr/bin/env bash
# The web tests (make web-test): the shaders as GLSL ES 3.00, then the page in
# headless chromium beside the desktop capture tool.
#   tests/web/run.sh WEB_BUILD DESKTOP_BUILD
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
web=$(realpath "${1:-build-web}")
desktop=$(realpath "${2:-build}")
work=$(mktemp -d /tmp/nitrate-web-test.XXXXXX)
status=0
echo "== shaders as GLSL ES 3.00"
"$here/shaders_es.sh" "$work/shaders" || status=1
echo "== the page in headless chromium"
nice -n 10 /usr/bin/python3 "$here/web_test.py" "$web" "$desktop" "$work/browser" || status=1
echo "(pictures and files in $work)"
exit $status
