# Analyze (one undo step: keys, slider ranges and the sound strip) and the mapping refill.
import math
import os

import bpy

from . import cli, keying, shapes
from .properties import fill_mapping, preferences


def shape_keys(obj):
    return getattr(getattr(obj, "data", None), "shape_keys", None)


def _targets(result, settings, key, warnings):
    """(shape key, keys) for every track that drives one. A row left empty drives none; a shape
    the rows lack gets a row, filled by name, so the panel shows what the tool reported."""
    names = [kb.name for kb in key.key_blocks if kb != key.reference_key]
    wanted = [(shapes.track_name(t), t["keys"], settings.shapes, shapes.match_shape)
              for t in result["speechTargets"]]
    channels = shapes.gesture_channels(settings.key_blinks, settings.key_brows)
    wanted += [(t.get("name", ""), t["keys"], settings.gestures, shapes.match_gesture)
               for t in result["gestures"] if t.get("name") in channels]
    targets, used = [], {}
    for name, keys, rows, match in wanted:
        row = rows.get(name)
        if row is None:
            row = rows.add()
            row.name = name
            row.shape_key = match(name, names)
        key_name = row.shape_key
        if not key_name:
            continue
        if key_name not in key.key_blocks:
            warnings.append("'%s' maps to a shape key '%s' the object does not have"
                            % (name, key_name))
        elif key_name in used:
            warnings.append("'%s' and '%s' both map to '%s'; only '%s' is keyed"
                            % (used[key_name], name, key_name, used[key_name]))
        else:
            used[key_name] = name
            targets.append((key.key_blocks[key_name], keys))
    return targets


class VOXTRAIL_OT_analyze(bpy.types.Operator):
    """Analyse the sound with voxtrail, key the mapped shape keys and add the sound"""
    bl_idname = "voxtrail.analyze"
    bl_label = "Analyze"
    bl_options = {'REGISTER', 'UNDO'}

    @classmethod
    def poll(cls, context):
        return context.object is not None

    def execute(self, context):
        scene = context.scene
        settings = scene.voxtrail_lipsync
        obj = context.object
        key = shape_keys(obj)
        if key is None or len(key.key_blocks) < 2:
            self.report({'ERROR'}, "'%s' has no shape keys to animate besides its basis"
                        % obj.name)
            return {'CANCELLED'}
        if not settings.sound:
            self.report({'ERROR'}, "Choose a sound to analyse")
            return {'CANCELLED'}
        sound = bpy.path.abspath(settings.sound)
        transcript = bpy.path.abspath(settings.transcript) if settings.transcript else ""
        fps = scene.render.fps / scene.render.fps_base
        prefs = preferences(context)
        try:
            executable = cli.find_executable(prefs.executable if prefs else "")
            result, warnings = cli.run(
                cli.command(executable, sound, transcript, settings.shape_set, fps,
                            settings.seed),
                prefs.timeout if prefs else 300.0)
        except cli.AnalysisError as error:
            self.report({'ERROR'}, str(error))
            return {'CANCELLED'}

        targets = _targets(result, settings, key, warnings)
        if not targets:
            self.report({'ERROR'}, "No mouth shape maps to a shape key of '%s': pick them in "
                        "the panel or press Auto-fill" % obj.name)
            return {'CANCELLED'}

        start = scene.frame_current
        count = sum(keying.key_track(kb, keys, start, fps) for kb, keys in targets)
        keyed = sum(1 for _, keys in targets if keys)
        length = int(math.ceil(float(result["sound"]["durationSeconds"]) * fps))
        try:
            strip = keying.add_sound(scene, settings.sound, os.path.basename(sound), start,
                                     length)
            where = "sound on channel %d" % strip.channel
        except RuntimeError as error:
            warnings.append("the sound strip could not be added: %s" % error)
            where = "no sound strip"
        for warning in warnings:
            self.report({'WARNING'}, warning)
        self.report({'INFO'}, "%d keys on %d shape keys from frame %d, %s"
                    % (count, keyed, start, where))
        return {'FINISHED'}


class VOXTRAIL_OT_autofill(bpy.types.Operator):
    """Map every mouth shape, blink and brow to the active object's shape key of that name"""
    bl_idname = "voxtrail.autofill"
    bl_label = "Auto-fill"
    bl_options = {'REGISTER', 'UNDO'}

    def execute(self, context):
        fill_mapping(context.scene.voxtrail_lipsync, context.object)
        return {'FINISHED'}


classes = (VOXTRAIL_OT_analyze, VOXTRAIL_OT_autofill)
register, unregister = bpy.utils.register_classes_factory(classes)
