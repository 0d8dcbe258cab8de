#!/usr/bin/env python3
"""Unit tests of the trainer's network surgery and loss weights; exit 77 when PyTorch is
missing."""
import os
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "training", "networks"))

try:
    import torch
except ImportError:
    sys.exit(77)
import common  # noqa: E402
import mix_labels  # noqa: E402
import model  # noqa: E402
import train  # noqa: E402

NETWORKS = os.path.join(HERE, "..", "data", "recognizer", "networks")


class WidenedTest(unittest.TestCase):
    def setUp(self):
        torch.manual_seed(3)
        self.net = model.ExactNetwork(12)
        with torch.no_grad():
            self.net.weight[:, 0] = torch.randn(self.net.weight.shape[0])  # biases too

    def test_outputs_unchanged_and_new_units_trainable(self):
        wide = self.net.widened(self.net.state + 7)
        x = torch.randn(3, 40, self.net.inputs)
        before, _ = self.net(x, self.net.initial(3))
        after, h = wide(x, wide.initial(3))
        self.assertEqual(h.shape[1], self.net.state + 7)
        self.assertLess(float((before - after).abs().max()), 1e-5)
        after.logsumexp(-1).sum().backward()
        # The new units' outgoing weights start at zero but receive gradient.
        n1 = wide.first_input + wide.inputs
        outgoing = wide.weight.grad[wide.state:, n1 + self.net.state:]
        self.assertGreater(float(outgoing.abs().sum()), 0.0)

    def test_round_trip_through_the_weight_file(self):
        wide = self.net.widened(self.net.state + 2)
        again = model.ExactNetwork.from_layout(common.unpack_weight_file(wide.to_bytes()))
        self.assertEqual(again.state, wide.state)
        self.assertTrue(torch.equal(again.weight, wide.weight))

    def test_narrowing_and_extra_hidden_units_refused(self):
        with self.assertRaises(ValueError):
            self.net.widened(self.net.state - 1)
        # The small test networks have hidden units beyond their state.
        extra = model.ExactNetwork.from_layout(
            common.read_weight_file(os.path.join(NETWORKS, "Wt16M9fs.dat")))
        with self.assertRaises(ValueError):
            extra.widened(extra.state + 1)


class BoundaryWeightsTest(unittest.TestCase):
    def test_frames_beside_a_change_weigh_more_and_silent_steps_nothing(self):
        for y, factor, expected in [([-1, -1, 4, 4, 4, 7, 7, -1], 3.0, [0, 0, 1, 1, 3, 3, 1, 0]),
                                    ([1, 2, 2, 3, -1], 1.0, [1, 1, 1, 1, 0])]:
            w = train.boundary_weights(torch.tensor([y]), factor)
            self.assertEqual(w.tolist(), [expected], factor)


class MixedLabelsTest(unittest.TestCase):
    def test_phone_edges_meet_halfway_and_pauses_fill_the_gaps(self):
        teacher = [(0.0, 0.10, 0), (0.10, 0.30, 5), (0.30, 0.50, 8), (0.50, 0.60, 0)]
        ours = [(0.0, 0.14, 0), (0.14, 0.28, 5), (0.28, 0.40, 0), (0.40, 0.56, 8),
                (0.56, 0.64, 0)]
        mixed, same = mix_labels.mixed(teacher, ours)
        self.assertTrue(same)
        expected = [(0.0, 0.12, 0), (0.12, 0.29, 5), (0.29, 0.35, 0), (0.35, 0.53, 8),
                    (0.53, 0.64, 0)]
        self.assertEqual([(round(a, 6), round(b, 6), p) for a, b, p in mixed], expected)

    def test_other_phones_keep_the_teachers_labels(self):
        teacher = [(0.0, 0.2, 5), (0.2, 0.4, 8)]
        self.assertEqual(mix_labels.mixed(teacher, [(0.0, 0.4, 5)]), (teacher, False))


@unittest.skipUnless(os.path.isdir(common.CORPUS), "no speech corpus beside the checkout")
class KeptOutVoicesTest(unittest.TestCase):
    def test_no_kept_out_utterance_or_speaker_is_trained_on(self):
        for corpus in common.CORPORA:
            rows = common.read_manifest(corpus)
            train_rows, dev_rows = common.split(rows)
            kept = common.unseen(rows)
            used = {r["id"] for r in train_rows + dev_rows}
            self.assertFalse(used & {r["id"] for r in kept}, corpus)
            self.assertEqual(len(used) + len(kept), len(rows), corpus)
            if corpus == "speechocean":
                self.assertFalse({r["speaker"] for r in train_rows + dev_rows} &
                                 {r["speaker"] for r in kept})


if __name__ == "__main__":
    unittest.main()
