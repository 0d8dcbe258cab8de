# The 3D view's sidebar tab.
import bpy

from . import shapes
from .operators import shape_keys


def _mapping_rows(layout, rows, key):
    for row in rows:
        if key is not None:
            layout.prop_search(row, "shape_key", key, "key_blocks", text=row.name)
        else:
            layout.prop(row, "shape_key", text=row.name)


class VOXTRAIL_PT_lipsync(bpy.types.Panel):
    bl_label = "Voxtrail Lip Sync"
    bl_space_type = 'VIEW_3D'
    bl_region_type = 'UI'
    bl_category = "Lip Sync"

    def draw(self, context):
        settings = context.scene.voxtrail_lipsync
        key = shape_keys(context.object)
        layout = self.layout
        layout.use_property_split = True
        layout.use_property_decorate = False
        layout.prop(settings, "sound")
        layout.prop(settings, "transcript")
        layout.prop(settings, "shape_set")
        if key is None:
            layout.label(text="The active object has no shape keys", icon='ERROR')

        box = layout.box()
        head = box.row()
        head.label(text="Mouth shapes")
        head.operator("voxtrail.autofill", icon='FILE_REFRESH')
        if not settings.shapes:
            box.label(text="Press Auto-fill to map the shapes by name")
        _mapping_rows(box, settings.shapes, key)

        box = layout.box()
        # One row each: side by side, the sidebar's usual width cut their labels short.
        box.prop(settings, "key_blinks")
        box.prop(settings, "key_brows")
        shown = shapes.gesture_channels(settings.key_blinks, settings.key_brows)
        _mapping_rows(box, [row for row in settings.gestures if row.name in shown], key)

        layout.prop(settings, "seed")
        layout.operator("voxtrail.analyze", icon='PLAY_SOUND')


classes = (VOXTRAIL_PT_lipsync,)
register, unregister = bpy.utils.register_classes_factory(classes)
