"""The runtime's recurrent phoneme network in PyTorch, with the engine's exact topology.

Units: constants [0, i0) (a bias of 1), inputs [i0, i1) (13 features), state [i1, c0) (the
first S computed units of the previous step), hidden [c0, o0) (logistic), outputs [o0, U)
(softmax). One matrix maps all source units (constants, inputs, state) to all computed units, so
the outputs see the inputs and the previous state, not the current hidden units. Hidden units
beyond the state feed nothing, so trained networks have exactly S hidden units.

Only the recurrence h_t = sigmoid(a_t + V h_{t-1}) needs a loop over time; it has a hand-written
backward pass (truncated BPTT within a chunk) whose weight gradient is one product over all
steps. Everything else is computed for all steps at once."""
import numpy as np
import torch

import common


class LogisticRecurrence(torch.autograd.Function):
    """H[:, t] = sigmoid(a[:, t] + H[:, t - 1] V^T), H[:, -1] = h0; a: (B, T, S)."""

    @staticmethod
    def forward(ctx, a, h0, v):
        steps = a.shape[1]
        out = torch.empty_like(a)
        vt = v.t().contiguous()
        h = h0
        for t in range(steps):
            h = torch.sigmoid(torch.addmm(a[:, t], h, vt))
            out[:, t] = h
        ctx.save_for_backward(out, h0, v)
        return out

    @staticmethod
    def backward(ctx, grad):
        out, h0, v = ctx.saved_tensors
        steps, state = out.shape[1], out.shape[2]
        grad = grad.contiguous()
        slope = out * (1.0 - out)
        dz = torch.empty_like(out)
        dh = torch.zeros_like(h0)
        for t in range(steps - 1, -1, -1):
            d = (grad[:, t] + dh) * slope[:, t]
            dz[:, t] = d
            dh = d @ v
        previous = torch.cat([h0.unsqueeze(1), out[:, :-1]], dim=1)
        dv = dz.reshape(-1, state).t() @ previous.reshape(-1, state)
        return dz, dh, dv


class ExactNetwork(torch.nn.Module):
    def __init__(self, state, classes=len(common.CLASSES), inputs=common.FEATURES,
                 constants=None, initial_state=None, extra_hidden=None):
        super().__init__()
        self.state = state
        self.classes = classes
        self.inputs = inputs
        if constants is None:
            constants = np.ones(1, dtype=np.float32)
        self.register_buffer("constants", torch.tensor(np.asarray(constants, np.float32)))
        if initial_state is None:
            initial_state = np.zeros(state, dtype=np.float32)
        self.register_buffer("initial_state", torch.tensor(np.asarray(initial_state, np.float32)))
        sources = len(constants) + inputs + state
        # Rows: the S state/hidden units, then the outputs; columns: all source units.
        w = torch.empty(state + classes, sources)
        torch.nn.init.uniform_(w, -1.0, 1.0)
        w[:, :len(constants)] = 0.0
        w[:, len(constants):len(constants) + inputs] *= 1.0 / np.sqrt(inputs)
        w[:, len(constants) + inputs:] *= 2.0 / np.sqrt(state)
        self.weight = torch.nn.Parameter(w)
        # Rows of hidden units that are not state (kept only to write a loaded file back).
        self.extra_hidden = extra_hidden

    @property
    def first_input(self):
        return int(self.constants.shape[0])

    def _split(self):
        n0 = self.first_input
        n1 = n0 + self.inputs
        w = self.weight
        bias = w[:, :n0] @ self.constants
        return bias, w[:, n0:n1], w[:, n1:]

    def initial(self, batch):
        return self.initial_state.unsqueeze(0).expand(batch, -1).contiguous()

    def forward(self, x, h0):
        """x: (B, T, 13) inputs of T steps; h0: (B, S) state before the first step.

        Returns the output logits (B, T, K) of every step and the state after the last."""
        s = self.state
        bias, wx, ws = self._split()
        a = torch.nn.functional.linear(x, wx, bias)  # (B, T, S + K)
        h = LogisticRecurrence.apply(a[:, :, :s].contiguous(), h0, ws[:s])  # (B, T, S)
        previous = torch.cat([h0.unsqueeze(1), h[:, :-1]], dim=1)
        logits = a[:, :, s:] + previous @ ws[s:].t()
        return logits, h[:, -1]

    def widened(self, state):
        """The same function with `state` state units: the new units start from the usual
        random incoming weights and feed nothing, so the outputs are unchanged until training
        gives them outgoing weights."""
        if state < self.state:
            raise ValueError("cannot widen %d state units to %d" % (self.state, state))
        if self.extra_hidden is not None:
            raise ValueError("cannot widen a network with hidden units beyond its state")
        grown = ExactNetwork(state, classes=self.classes, inputs=self.inputs,
                             constants=self.constants.cpu().numpy(),
                             initial_state=np.concatenate([
                                 self.initial_state.cpu().numpy(),
                                 np.zeros(state - self.state, dtype=np.float32)]))
        old, s, n1 = self.weight.detach(), self.state, self.first_input + self.inputs
        with torch.no_grad():
            w = grown.weight
            w[:, n1 + s:] = 0.0  # nothing reads the new units yet
            w[:s, :n1 + s] = old[:s]
            w[state:, :n1 + s] = old[s:]
        return grown

    # ---- weight files ----------------------------------------------------------------------

    def layout(self):
        i0 = self.first_input
        i1 = i0 + self.inputs
        c0 = i1 + self.state
        hidden = self.state + (0 if self.extra_hidden is None else self.extra_hidden.shape[0])
        return dict(i0=i0, i1=i1, c0=c0, o0=c0 + hidden, units=c0 + hidden + self.classes)

    def to_bytes(self):
        lay = self.layout()
        w = self.weight.detach().cpu().numpy().astype(np.float32)
        rows = [w[:self.state]]
        if self.extra_hidden is not None:
            rows.append(self.extra_hidden)
        rows.append(w[self.state:])
        initial = np.zeros(lay["units"], dtype=np.float32)
        initial[:lay["i0"]] = self.constants.cpu().numpy()
        initial[lay["i1"]:lay["c0"]] = self.initial_state.cpu().numpy()
        return common.pack_weight_file(self.state, lay["i0"], lay["i1"], lay["c0"], lay["o0"],
                                       initial, np.concatenate(rows, axis=0))

    @classmethod
    def from_layout(cls, lay):
        """A network from an unpacked weight file (any hidden count not below the state).

        Initial values of hidden and output units are not kept: every step overwrites them
        before anything reads them."""
        s, i0, i1, c0, o0, u = (lay[k] for k in ("state", "i0", "i1", "c0", "o0", "units"))
        if o0 - c0 < s:
            raise ValueError("state reaches into the output units")
        initial, w = lay["initial"], lay["weights"]
        net = cls(s, classes=u - o0, inputs=i1 - i0, constants=initial[:i0],
                  initial_state=initial[i1:c0],
                  extra_hidden=w[s:o0 - c0].copy() if o0 - c0 > s else None)
        with torch.no_grad():
            net.weight.copy_(torch.tensor(np.concatenate([w[:s], w[o0 - c0:]], axis=0)))
        return net


def step_inputs(features, direction):
    """The runtime's step schedule for one sound: the frames in reading order, preceded by the
    warm-up on the first frame read and followed by the flush steps on the last one. Output
    step p (p >= WARM_UP + DELAY) carries the posteriors of frame p - WARM_UP - DELAY in
    reading order."""
    x = features[::-1] if direction == "backward" else features
    return np.concatenate([np.repeat(x[:1], common.WARM_UP, axis=0), x,
                           np.repeat(x[-1:], common.DELAY, axis=0)]).astype(np.float32)


def posteriors(net, features, direction):
    """Posteriors (F, K) of every frame in forward frame order, as the engine computes them."""
    x = torch.from_numpy(np.ascontiguousarray(step_inputs(features, direction)))[None]
    net.eval()
    with torch.no_grad():
        logits, _ = net(x, net.initial(1))
        p = torch.softmax(logits[0, common.WARM_UP + common.DELAY:], dim=1).numpy()
    return p[::-1].copy() if direction == "backward" else p


def quantise(p):
    """The engine's score bytes: min(255, max(0, floor(-24 ln p)))."""
    with np.errstate(divide="ignore", invalid="ignore"):
        s = np.floor(-24.0 * np.log(p.astype(np.float64)))
    return np.clip(np.nan_to_num(s, nan=255.0, posinf=255.0), 0, 255).astype(np.uint8)


def merge(forward_scores, backward_scores):
    """The engine's merge of two directions' score bytes (both in forward frame order)."""
    q = np.exp(-0.5 * ((forward_scores + 0.5) / 24.0 + (backward_scores + 0.5) / 24.0))
    q /= q.sum(axis=1, keepdims=True)
    return quantise(q + 1e-30)
