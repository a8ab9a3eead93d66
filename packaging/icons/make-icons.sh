#!/usr/bin/env bash
# Remakes the PNG icons from scorelane.svg (Debian librsvg2-bin):
#   packaging/icons/make-icons.sh
set -euo pipefail
cd "$(dirname "$0")"
for size in 48 256; do
    rsvg-convert -w "$size" -h "$size" scorelane.svg -o "scorelane-$size.png"
done
