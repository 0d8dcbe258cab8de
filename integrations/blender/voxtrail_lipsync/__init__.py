# Voxtrail Lip Sync: keys an object's shape keys from a recorded voice with the voxtrail tool.
bl_info = {
    "name": "Voxtrail Lip Sync",
    "author": "Voxtrail",
    "version": (1, 0, 0),
    "blender": (3, 4, 0),
    "location": "3D View > Sidebar > Lip Sync",
    "description": "Keys shape keys from a recorded voice and its transcript with voxtrail",
    "category": "Animation",
}

if "bpy" in locals():
    import importlib
    for _module in (shapes, cli, keying, properties, operators, panel):  # noqa: F821
        importlib.reload(_module)
else:
    from . import shapes, cli, keying, properties, operators, panel

import bpy  # noqa: E402

_modules = (properties, operators, panel)


def register():
    for module in _modules:
        module.register()


def unregister():
    for module in reversed(_modules):
        module.unregister()
