#!/usr/bin/env bash
# Installs the Debian packages that scripts/web/packages.txt lists, asking apt
# only for what is missing. Run as root (or with sudo available).
set -euo pipefail
cd "$(dirname "$0")"
packages=()
while read -r name; do
  [ -n "$name" ] && packages+=("$name")
done < <(grep -v '^\s*#' packages.txt)
missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
