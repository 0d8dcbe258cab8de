# The Blender add-on, run headless:
#   blender -b --factory-startup --python-exit-code 1 --python test_lipsync_addon.py -- \
#       ADDON_DIR VOXTRAIL SOUND
# Keys an object's shape keys from SOUND and checks them against voxtrail's own JSON.
import json
import os
import subprocess
import sys
import unittest

import addon_utils
import bpy

ADDON_DIR, VOXTRAIL, SOUND = sys.argv[sys.argv.index("--") + 1:][:3]
SEED = 7
START = 11
FPS = 25


def hermite(k0, k1, t):
    """The engine's segment as a cubic Hermite: end values and end slopes (per second)."""
    dt = k1["time"] - k0["time"]
    u = (t - k0["time"]) / dt
    m0, m1 = k0["outSlope"] * 1000 * dt, k1["inSlope"] * 1000 * dt
    return ((2 * u**3 - 3 * u**2 + 1) * k0["value"] + (u**3 - 2 * u**2 + u) * m0
            + (-2 * u**3 + 3 * u**2) * k1["value"] + (u**3 - u**2) * m1)


def fcurve(key_block):
    from voxtrail_lipsync import keying
    return keying.find_fcurve(key_block.id_data, key_block.path_from_id("value"))


def key_count(obj):
    curves = [fcurve(kb) for kb in obj.data.shape_keys.key_blocks]
    return sum(len(c.keyframe_points) for c in curves if c)


def strips(scene):
    editor = scene.sequence_editor
    return list(getattr(editor, "strips", None) or editor.sequences) if editor else []


def analyse(*options):
    done = subprocess.run([VOXTRAIL, "analyze", SOUND, "--seed", str(SEED), *options],
                          capture_output=True, check=True)
    return json.loads(done.stdout)


# A cartoon shape and the shape key named for it.
CARTOON_KEYS = {"AI": "AI", "E": "E", "O": "O", "U": "U", "etc": "Etc", "FV": "FV", "L": "L",
                "MBP": "mouth_MBP", "WQ": "WQ", "rest": "rest"}


class LipSyncAddon(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        sys.path.insert(0, ADDON_DIR)
        addon_utils.enable("voxtrail_lipsync", default_set=True)
        cls.prefs = bpy.context.preferences.addons["voxtrail_lipsync"].preferences
        cls.result = analyse()

    def setUp(self):
        # A fresh scene without reloading preferences, which would drop the add-on.
        scene = bpy.context.scene
        for collection in (bpy.data.objects, bpy.data.meshes, bpy.data.shape_keys,
                           bpy.data.actions, bpy.data.sounds):
            for item in list(collection):
                collection.remove(item)
        scene.sequence_editor_clear()
        self.prefs.executable = VOXTRAIL
        scene.render.fps, scene.render.fps_base = FPS, 1.0
        scene.frame_current = START
        bpy.ops.mesh.primitive_cube_add()
        self.obj = bpy.context.object
        names = ["Basis"] + ["target %d" % (i + 1) for i in range(15)] + [
            "Jaw", "eyeBlinkLeft", "Blink.R", "Raise Left Eyebrow", "Raise Right Eyebrow"] + list(
            CARTOON_KEYS.values())
        for name in names:
            self.obj.shape_key_add(name=name)
        self.settings = scene.voxtrail_lipsync
        self.settings.sound = SOUND
        self.settings.transcript = ""
        self.settings.seed = SEED
        self.settings.shape_set = "built-in"
        self.settings.key_blinks = self.settings.key_brows = True
        bpy.ops.voxtrail.autofill()

    def key_block(self, name):
        return self.obj.data.shape_keys.key_blocks[name]

    def assert_follows(self, name, keys):
        """Keys at the track's times and values, and the curve between them the track's."""
        curve = fcurve(self.key_block(name))
        self.assertIsNotNone(curve, name)
        points = curve.keyframe_points
        self.assertEqual(len(points), len(keys), name)
        frame = lambda t: START + t * FPS  # noqa: E731
        self.assertAlmostEqual(points[0].co.x, frame(keys[0]["time"]), delta=1.0)
        self.assertAlmostEqual(points[-1].co.x, frame(keys[-1]["time"]), delta=1.0)
        for k0, k1 in zip(keys, keys[1:]):
            self.assertAlmostEqual(curve.evaluate(frame(k0["time"])), k0["value"], places=4)
            for share in (0.25, 0.5, 0.8):
                t = k0["time"] + share * (k1["time"] - k0["time"])
                self.assertAlmostEqual(curve.evaluate(frame(t)), hermite(k0, k1, t), delta=1e-4,
                                       msg="%s at %.3f s" % (name, t))

    def test_keys_curves_and_sound_follow_the_analysis(self):
        self.settings.key_brows = False
        bpy.ops.voxtrail.analyze()
        tracks = self.result["speechTargets"]
        self.assertGreater(sum(1 for t in tracks if t["keys"]), 5)
        for track in tracks:
            name = "target %d" % (track["index"] + 1)
            if track["keys"]:
                self.assert_follows(name, track["keys"])
            else:
                self.assertIsNone(fcurve(self.key_block(name)))
        gestures = {g["name"]: g["keys"] for g in self.result["gestures"]}
        self.assert_follows("eyeBlinkLeft", gestures["Blink Left"])
        self.assert_follows("Blink.R", gestures["Blink Right"])
        self.assertIsNone(fcurve(self.key_block("Raise Left Eyebrow")))

        [strip] = strips(bpy.context.scene)
        self.assertEqual(strip.type, 'SOUND')
        self.assertEqual(strip.frame_start, START)
        self.assertEqual(bpy.path.abspath(strip.sound.filepath), SOUND)

    def test_mapping_rows_choose_the_shape_keys(self):
        track = max(self.result["speechTargets"], key=lambda t: len(t["keys"]))
        name = "target %d" % (track["index"] + 1)
        self.settings.shapes[name].shape_key = "Jaw"
        bpy.ops.voxtrail.analyze()
        self.assert_follows("Jaw", track["keys"])
        self.assertIsNone(fcurve(self.key_block(name)))
        gestures = {g["name"]: g["keys"] for g in self.result["gestures"]}
        self.assert_follows("Raise Right Eyebrow", gestures["Raise Right Eyebrow"])

    def test_a_named_set_keys_the_shape_keys_named_for_its_shapes(self):
        result = analyse("--shapes", "cartoon")
        self.settings.shape_set = "cartoon"
        bpy.ops.voxtrail.analyze()
        tracks = result["speechTargets"]
        self.assertEqual(sorted(t["name"] for t in tracks), sorted(CARTOON_KEYS))
        for track in tracks:
            if track["keys"]:
                self.assert_follows(CARTOON_KEYS[track["name"]], track["keys"])
        self.assertEqual([n for n in ("target 1", "Jaw") if fcurve(self.key_block(n))], [])

    def test_analysing_again_replaces_the_keys(self):
        bpy.ops.voxtrail.analyze()
        first = key_count(self.obj)
        bpy.ops.voxtrail.analyze()
        self.assertEqual(key_count(self.obj), first)
        self.assertEqual(len(strips(bpy.context.scene)), 2)
        self.assertEqual(len({s.channel for s in strips(bpy.context.scene)}), 2)

    def test_errors_are_reported_and_change_nothing(self):
        missing = os.path.join(os.path.dirname(SOUND), "no_such_sound.wav")
        cases = [
            ("sound", "settings", "sound", missing, "no_such_sound.wav"),
            ("transcript", "settings", "transcript", missing + ".txt", "no_such_sound.wav.txt"),
            ("executable", "prefs", "executable", missing, "Voxtrail executable"),
            ("unmapped", None, None, None, "No mouth shape maps"),
        ]
        for label, owner, prop, value, message in cases:
            with self.subTest(label):
                self.setUp()
                if owner:
                    setattr(getattr(self, owner), prop, value)
                else:
                    for row in list(self.settings.shapes) + list(self.settings.gestures):
                        row.shape_key = ""
                with self.assertRaises(RuntimeError) as raised:
                    bpy.ops.voxtrail.analyze()
                self.assertIn(message, str(raised.exception))
                self.assertEqual(key_count(self.obj), 0)
                self.assertEqual(strips(bpy.context.scene), [])


if __name__ == "__main__":
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(LipSyncAddon)
    if not unittest.TextTestRunner(verbosity=2).run(suite).wasSuccessful():
        raise SystemExit(1)
