#!/bin/bash
# The installed `squirrel` command: starts the program installed beside it in
# the folder of its texture files (it reads them from its working directory),
# titled "squirrel", with any arguments for GLUT. Configured by CMake with the
# installed tree's layout; found from its own place, so a tree staged with
# DESTDIR or unpacked from the package runs where it lies.
set -euo pipefail

case "${1:-}" in
    -h | --help)
        echo "usage: squirrel [GLUT OPTION...]"
        echo "Squirrel @PROJECT_VERSION@: steer a squirrel among trees with the arrow keys."
        echo "GLUT takes its options from the arguments: -display DISPLAY, -geometry +X+Y, ..."
        echo "See squirrel(6)."
        exit 0 ;;
esac
here=$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")
data=$here/@DATA_FROM_BIN@
cd "$data" 2>/dev/null || { echo "squirrel: its data folder $data is missing; reinstall squirrel" >&2; exit 1; }
# A driver that makes the buffer swap wait for the screen's refresh would let
# one 10 ms tick through per refresh; ask Mesa's and NVIDIA's not to. Mesa
# would announce that override on every start unless told to be silent.
export vblank_mode=0 __GL_SYNC_TO_VBLANK=0 MESA_DEBUG=${MESA_DEBUG:-silent}
exec -a squirrel "$here/@PROGRAM_FROM_BIN@" "$@"
