#!/usr/bin/env bash
# Copies the add-on into the current user's Blender add-ons, enables it and saves the user's
# preferences; with --voxtrail, also sets the tool's path (otherwise it is found on PATH).
#   integrations/blender/install.sh [--voxtrail PATH] [--blender BLENDER]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
blender=blender
voxtrail=
while [ $# -gt 0 ]; do
    case $1 in
    --voxtrail) voxtrail=$(realpath -m "${2:?--voxtrail needs a path}"); shift 2 ;;
    --blender) blender=${2:?--blender needs a path}; shift 2 ;;
    *) echo "usage: install.sh [--voxtrail PATH] [--blender BLENDER]" >&2; exit 2 ;;
    esac
done
if [ -n "$voxtrail" ] && [ ! -x "$voxtrail" ]; then
    echo "install.sh: $voxtrail cannot be run" >&2
    exit 1
fi

# Not --factory-startup: the user's own preferences are loaded, changed and saved back.
"$blender" -b --python-exit-code 1 --python-expr '
import os, shutil, sys
import addon_utils, bpy
source, voxtrail = sys.argv[sys.argv.index("--") + 1:]
addons = bpy.utils.user_resource("SCRIPTS", path="addons", create=True)
target = os.path.join(addons, "voxtrail_lipsync")
shutil.rmtree(target, ignore_errors=True)
shutil.copytree(source, target, ignore=shutil.ignore_patterns("__pycache__"))
if addons not in sys.path:  # a folder made just now is not on the start-up path
    sys.path.append(addons)
addon_utils.modules_refresh()
if addon_utils.enable("voxtrail_lipsync", default_set=True) is None:
    raise SystemExit("the add-on did not load")
if voxtrail:
    bpy.context.preferences.addons["voxtrail_lipsync"].preferences.executable = voxtrail
bpy.ops.wm.save_userpref()
print("Voxtrail Lip Sync installed in", target)
' -- "$here/voxtrail_lipsync" "$voxtrail"
