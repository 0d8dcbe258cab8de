# Mouth-shape sets, gesture channels and matching them to shape key names. No bpy here, so the
# rules can be tried outside Blender.
import re

BUILT_IN = "built-in"
BUILT_IN_TARGETS = 15

# The sets the tool knows by name, for the mapping rows shown before any analysis; the names in
# a result always win over these.
KNOWN_SETS = {
    "cartoon": ("AI", "E", "O", "U", "etc", "FV", "L", "MBP", "WQ", "rest"),
    "a-h-x": ("A", "B", "C", "D", "E", "F", "G", "H", "X"),
    "visemes": ("sil", "PP", "FF", "TH", "DD", "kk", "CH", "SS", "nn", "RR", "aa", "E", "ih",
                "oh", "ou"),
    "blendshapes": ("jawOpen", "mouthClose", "mouthFunnel", "mouthPucker", "mouthSmile",
                    "mouthStretch", "mouthPress", "mouthRollLower", "mouthUpperUp", "tongueOut"),
}

BLINKS = ("Blink Left", "Blink Right")
BROWS = ("Raise Left Eyebrow", "Raise Right Eyebrow")


def gesture_channels(blinks, brows):
    return (BLINKS if blinks else ()) + (BROWS if brows else ())


def target_name(index):
    """The UI name of an unnamed speech target (index counts from 0)."""
    return "target %d" % (index + 1)


def shape_names(shape_set):
    if shape_set == BUILT_IN:
        return tuple(target_name(i) for i in range(BUILT_IN_TARGETS))
    return KNOWN_SETS.get(shape_set, ())


def track_name(track):
    """A speech-target track's shape name; results analysed without a set carry none."""
    name = track.get("name")
    return name if isinstance(name, str) and name else target_name(int(track.get("index", 0)))


def _squash(text):
    return re.sub(r"[^0-9a-z]", "", text.lower())


def _last_part(text):
    parts = [p for p in re.split(r"[^0-9A-Za-z]+", text) if p]
    return parts[-1].lower() if parts else ""


def match_shape(shape, key_names):
    """The shape key for a mouth shape: the same name, else the same letters ignoring case and
    separators ("Target_1"), else a last part equal to it ("viseme_PP", "Mouth.MBP")."""
    if shape in key_names:
        return shape
    squashed = _squash(shape)
    for name in key_names:
        if _squash(name) == squashed:
            return name
    for name in key_names:
        if _last_part(name) == shape.lower():
            return name
    return ""


def _words(text):
    # camelCase and separators both split: "eyeBlinkLeft", "Blink.L", "brow_raise_L".
    spaced = re.sub(r"([a-z0-9])([A-Z])", r"\1 \2", text)
    words = {w.lower() for w in re.split(r"[^0-9A-Za-z]+", spaced) if w}
    aliases = {"l": "left", "r": "right", "eyebrow": "brow", "brows": "brow", "up": "raise"}
    return {aliases.get(w, w) for w in words}


def match_gesture(gesture, key_names):
    """The shape key for a blink or brow channel: its own name, else one whose words hold the
    channel's ("eyeBlinkLeft", "Blink.L", "browUpLeft", "brow_raise_L")."""
    if gesture in key_names:
        return gesture
    wanted = _words(gesture)
    for name in key_names:
        if wanted <= _words(name):
            return name
    return ""
