#!/usr/bin/env bash
# Makes the Wine prefix PREFIX without Wine's own fonts in its font folder, as
# wineboot leaves it where the kernel runs no 32-bit code: Wine then has no
# Fixedsys, only the Linux system's fonts. Made once and kept; the folder is
# emptied on every run in case wineboot ever fills it.
set -euo pipefail
export WINEPREFIX=$1
# shellcheck source=../../scripts/env.sh
source "$(dirname "$0")/../../scripts/env.sh"
create_wine_prefix
rm -f "$WINEPREFIX/drive_c/windows/Fonts/"*
