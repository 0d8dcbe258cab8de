# Writes engine key tracks onto shape keys and puts the sound in the sequencer.
import math

import bpy

# Shape key sliders go no further than this either way.
SLIDER_LIMIT = 10.0


def find_fcurve(id_data, data_path):
    anim = id_data.animation_data
    if anim is None or anim.action is None:
        return None
    if getattr(anim, "action_slot", None) is not None:
        # Slotted actions (Blender 4.4 and later): the curves live per slot.
        from bpy_extras import anim_utils
        bag = anim_utils.action_get_channelbag_for_slot(anim.action, anim.action_slot)
        return bag.fcurves.find(data_path) if bag else None
    return anim.action.fcurves.find(data_path)


def ensure_fcurve(key_block, frame):
    """The F-curve of the shape key's value; inserting a key makes the action, slot and curve
    the same way in every Blender version (that key lies inside the span about to be keyed)."""
    data_path = key_block.path_from_id("value")
    fcurve = find_fcurve(key_block.id_data, data_path)
    if fcurve is None:
        key_block.keyframe_insert("value", frame=frame)
        fcurve = find_fcurve(key_block.id_data, data_path)
    return fcurve


def _widen_slider(key_block, keys):
    low = min(k["value"] for k in keys)
    high = max(k["value"] for k in keys)
    if low < key_block.slider_min:
        key_block.slider_min = max(-SLIDER_LIMIT, math.floor(low))
    if high > key_block.slider_max:
        key_block.slider_max = min(SLIDER_LIMIT, math.ceil(high))


def key_track(key_block, keys, start_frame, fps):
    """Keys the shape key from one engine track (times in seconds, slopes per millisecond),
    replacing its keys over the track's span. Each segment is the engine's cubic: Bezier
    handles a third of the gap away along the key's slope, which Blender evaluates exactly."""
    if not keys:
        return 0
    _widen_slider(key_block, keys)
    frames = [start_frame + k["time"] * fps for k in keys]
    fcurve = ensure_fcurve(key_block, frames[0])
    points = fcurve.keyframe_points
    eps = 1e-4
    stale = [i for i, p in enumerate(points) if frames[0] - eps <= p.co.x <= frames[-1] + eps]
    for i in reversed(stale):
        points.remove(points[i], fast=True)

    first = len(points)
    points.add(len(keys))
    for n, key in enumerate(keys):
        # A gap in seconds before and after the key; the ends reuse their one neighbour's gap.
        before = keys[n]["time"] - keys[n - 1]["time"] if n > 0 else None
        after = keys[n + 1]["time"] - keys[n]["time"] if n + 1 < len(keys) else None
        before = before if before is not None else (after if after is not None else 1.0 / fps)
        after = after if after is not None else before
        value = key["value"]
        in_slope = key["inSlope"] * 1000.0
        out_slope = key["outSlope"] * 1000.0
        point = points[first + n]
        point.co = (frames[n], value)
        point.interpolation = 'BEZIER'
        point.handle_left_type = 'FREE'
        point.handle_right_type = 'FREE'
        point.handle_left = (frames[n] - before / 3.0 * fps, value - in_slope * before / 3.0)
        point.handle_right = (frames[n] + after / 3.0 * fps, value + out_slope * after / 3.0)
    fcurve.update()
    return len(keys)


def _strips(editor):
    # Blender 4.4 renamed the sequencer's strip collections.
    if hasattr(editor, "strips"):
        return editor.strips
    return editor.sequences


def free_channel(strips, start, end):
    """The lowest channel with no strip overlapping [start, end)."""
    for channel in range(1, 129):
        if not any(s.channel == channel and s.frame_final_start < end and s.frame_final_end > start
                   for s in strips):
            return channel
    return 128


def add_sound(scene, filepath, name, frame, length):
    """A sound strip at frame on the lowest free channel."""
    editor = scene.sequence_editor or scene.sequence_editor_create()
    strips = _strips(editor)
    channel = free_channel(strips, frame, frame + max(1, length))
    return strips.new_sound(name, filepath, channel, frame)
