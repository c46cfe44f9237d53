#!/usr/bin/env bash
# Adds a local package source whose index does not match its release file, as
# a mirror in the middle of a sync serves it, and then runs the command given
# (default: scripts/setup). For a bare machine, as root:
#   flock /tmp/fresh-debian.lock ../shared/tools/fresh-debian 'tests/setup/lagging-source.sh scripts/test'
# The source stays in /etc/apt/sources.list.d/tekstor-lagging.list.
set -euo pipefail
repo=/srv/tekstor-lagging
mkdir -p "$repo"
printf 'Package: tekstor-lagging\nVersion: 1\nArchitecture: all\nDescription: index of a lagging mirror\n\n' >"$repo/Packages"
# The release file names the index one byte longer than it is.
{
    echo "Origin: tekstor-lagging"
    echo "Date: $(date -Ru)"
    echo "SHA256:"
    echo " $(sha256sum "$repo/Packages" | cut -d' ' -f1) $(($(stat -c %s "$repo/Packages") + 1)) Packages"
} >"$repo/Release"
echo "deb [trusted=yes] file:$repo ./" >/etc/apt/sources.list.d/tekstor-lagging.list
if [ $# -eq 0 ]; then set -- scripts/setup; fi
exec "$@"
