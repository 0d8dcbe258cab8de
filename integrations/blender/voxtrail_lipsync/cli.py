# Runs the voxtrail command-line tool and reads its JSON result. No bpy here.
import json
import os
import shutil
import subprocess

from . import shapes

PREFERENCE_HINT = ("set 'Voxtrail executable' in Edit > Preferences > Add-ons > "
                   "Voxtrail Lip Sync")


class AnalysisError(Exception):
    pass


def find_executable(configured):
    """The tool's path: the preference when set, else 'voxtrail' on PATH."""
    if configured:
        path = os.path.abspath(os.path.expanduser(configured))
        if not os.path.isfile(path) or not os.access(path, os.X_OK):
            raise AnalysisError("the voxtrail executable '%s' does not exist or cannot be run: %s"
                                % (configured, PREFERENCE_HINT))
        return path
    path = shutil.which("voxtrail")
    if not path:
        raise AnalysisError("no voxtrail executable on PATH: " + PREFERENCE_HINT)
    return path


def command(executable, sound, transcript, shape_set, fps, seed):
    args = [executable, "analyze", sound, "--format", "json", "--seed", str(seed),
            "--fps", str(min(max(int(round(fps)), 1), 1000))]
    if transcript:
        args += ["--text-file", transcript]
    if shape_set and shape_set != shapes.BUILT_IN:
        args += ["--shapes", shape_set]
    return args


def _problem(stderr):
    # Usage errors end with a hint to --help; the tool's own line names the fault.
    lines = [line.strip() for line in stderr.splitlines() if line.strip()]
    own = [line for line in lines if line.startswith("voxtrail:")]
    return (own or lines or ["no message"])[-1]


def run(args, timeout):
    """The parsed result and the tool's warnings; AnalysisError with the tool's message."""
    try:
        done = subprocess.run(args, stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout)
    except subprocess.TimeoutExpired:
        raise AnalysisError("voxtrail did not finish within %g s (the time limit is in the "
                            "add-on preferences)" % timeout) from None
    except OSError as error:
        raise AnalysisError("cannot run '%s': %s (%s)" % (args[0], error.strerror,
                                                          PREFERENCE_HINT)) from None
    stderr = done.stderr.decode("utf-8", "replace")
    if done.returncode != 0:
        raise AnalysisError(_problem(stderr))
    try:
        result = json.loads(done.stdout.decode("utf-8", "replace"))
    except ValueError as error:
        raise AnalysisError("voxtrail printed no readable JSON: %s" % error) from None
    check(result)
    warnings = [line.strip() for line in stderr.splitlines() if line.strip()]
    return result, warnings


def check(result):
    """Refuses a result without the parts the keying reads, before anything is changed."""
    try:
        float(result["sound"]["durationSeconds"])
        for track in list(result["speechTargets"]) + list(result["gestures"]):
            int(track["index"])
            for key in track["keys"]:
                for field in ("time", "value", "inSlope", "outSlope"):
                    float(key[field])
    except (KeyError, TypeError, ValueError) as error:
        raise AnalysisError("voxtrail's JSON lacks or garbles %s" % error) from None
