# Add-on preferences and the per-scene settings the panel edits.
import bpy
from bpy.props import (BoolProperty, CollectionProperty, EnumProperty, FloatProperty,
                       IntProperty, StringProperty)

from . import shapes

ADDON = __package__


class VoxtrailPreferences(bpy.types.AddonPreferences):
    bl_idname = ADDON

    executable: StringProperty(
        name="Voxtrail executable", subtype='FILE_PATH',
        description="The voxtrail command-line tool; empty: 'voxtrail' found on PATH")
    timeout: FloatProperty(
        name="Time limit", default=300.0, min=1.0, unit='TIME_ABSOLUTE',
        description="Seconds one analysis may take before it is given up")

    def draw(self, context):
        self.layout.prop(self, "executable")
        self.layout.prop(self, "timeout")


def preferences(context):
    addon = context.preferences.addons.get(ADDON)
    return addon.preferences if addon else None


class VoxtrailShapeMapping(bpy.types.PropertyGroup):
    # name: the mouth shape or gesture channel.
    shape_key: StringProperty(name="Shape Key", description="Shape key this one drives")


def fill_mapping(settings, obj):
    """Mapping rows for the chosen set and the blink and brow channels, each filled with the
    object's shape key of a matching name (or left empty)."""
    key = getattr(getattr(obj, "data", None), "shape_keys", None)
    names = [kb.name for kb in key.key_blocks if kb != key.reference_key] if key else []
    for rows, wanted, match in ((settings.shapes, shapes.shape_names(settings.shape_set),
                                 shapes.match_shape),
                                (settings.gestures, shapes.BLINKS + shapes.BROWS,
                                 shapes.match_gesture)):
        rows.clear()
        for name in wanted:
            row = rows.add()
            row.name = name
            row.shape_key = match(name, names)


def _shape_set_changed(self, context):
    fill_mapping(self, context.object)


SHAPE_SET_ITEMS = [(shapes.BUILT_IN, "Built-in", "The engine's own 15 speech targets")] + [
    (name, name, "Mouth-shape set '%s'" % name) for name in shapes.KNOWN_SETS]


class VoxtrailSettings(bpy.types.PropertyGroup):
    sound: StringProperty(
        name="Sound", subtype='FILE_PATH',
        description="Recorded voice: WAV, FLAC, Ogg, MP3 or another sound file voxtrail reads")
    transcript: StringProperty(
        name="Transcript", subtype='FILE_PATH',
        description="Text file of what is said; empty: the .txt file beside the sound, if any")
    shape_set: EnumProperty(name="Shape set", items=SHAPE_SET_ITEMS,
                            update=_shape_set_changed,
                            description="Set of mouth shapes the analysis keys")
    shapes: CollectionProperty(type=VoxtrailShapeMapping)
    key_blinks: BoolProperty(name="Blinks", default=True,
                             description="Key the blink channels on their shape keys")
    key_brows: BoolProperty(name="Brows", default=True,
                            description="Key the eyebrow raises on their shape keys")
    gestures: CollectionProperty(type=VoxtrailShapeMapping)
    seed: IntProperty(name="Seed", default=-1, min=-1,
                      description="Seed of the blinks and brows; -1: different every time")


classes = (VoxtrailPreferences, VoxtrailShapeMapping, VoxtrailSettings)


def register():
    for cls in classes:
        bpy.utils.register_class(cls)
    bpy.types.Scene.voxtrail_lipsync = bpy.props.PointerProperty(type=VoxtrailSettings)


def unregister():
    del bpy.types.Scene.voxtrail_lipsync
    for cls in reversed(classes):
        bpy.utils.unregister_class(cls)
