#!/usr/bin/env python3
# Writes the plan-heavy seeds of fuzz_server, each a login (the first byte) and
# frames: python3 tests/fuzz/plan_seeds.py tests/fuzz/corpus/fuzz_server
import struct, os, sys
def head(major, n):
    if n < 24: return bytes([major << 5 | n])
    if n < 256: return bytes([major << 5 | 24, n])
    if n < 65536: return bytes([major << 5 | 25]) + struct.pack('>H', n)
    return bytes([major << 5 | 26]) + struct.pack('>I', n)
def enc(v):
    if isinstance(v, bool): return b'\xf5' if v else b'\xf4'
    if isinstance(v, int): return head(0, v) if v >= 0 else head(1, -1 - v)
    if isinstance(v, str): b = v.encode(); return head(3, len(b)) + b
    if isinstance(v, list): return head(4, len(v)) + b''.join(enc(x) for x in v)
    if isinstance(v, dict): return head(5, len(v)) + b''.join(enc(k) + enc(x) for k, x in v.items())
    raise TypeError(v)
def frame(m): p = enc(m); return struct.pack('>I', len(p)) + p
def plan(i, steps): return frame({'op': 'plan', 'id': i, 'steps': steps})
qs = {'op': 'querySlots', 'slotCount': True, 'channelCounts': True, 'slotModels': True}
def pv(slot, ch, par='VMon', when=None):
    s = {'op': 'paramValue', 'slot': slot, 'par': par, 'ch': ch}
    if when is not None: s['when'] = when
    return s
lst = lambda slot, ch: {'op': 'listChannelParams', 'slot': slot, 'ch': ch}
each = lambda k, slot, ch, prop='Type': {'op': 'paramAttribute', 'slot': slot, 'prop': prop, 'ch': ch, 'eachOf': k}
out = sys.argv[1]
seeds = {}
# A panel's tick: the map, then guarded reads of every channel.
tick = [qs] + [pv(0, ch, p, [0, 0, ch]) for ch in range(14) for p in ('VMon', 'IMon', 'Status', 'V0Set')]
seeds['plan-tick'] = plan(5, tick)
# The picker's tree: lists of parameters and the type of each, of several channels.
tree = []
for ch in range(6):
    tree.append(lst(0, ch)); tree.append(each(len(tree) - 1, 0, ch))
seeds['plan-tree'] = plan(6, tree)
# Lists read many times over: the calls go far beyond the steps.
many = [lst(0, 0)] + [each(0, 0, 0, prop) for prop in ('Type', 'Exp', 'Unit', 'Minval', 'Maxval')] * 40
seeds['plan-eachof-many'] = plan(7, many)
# Plans and writes interleaved, a failing read in the middle, a logout at the end.
mixed = plan(8, [qs, pv(1, 3), pv(20, 0)]) + frame({'op': 'setParamValue', 'id': 9, 'slot': 0, 'par': 'V0Set', 'ch': 1, 'value': 12}) \
    + plan(10, [lst(1, 0), each(0, 1, 0, 'Unit'), pv(1, 0, 'Temp')]) + frame({'op': 'logout', 'id': 11})
seeds['plans-and-writes'] = mixed
# Guards that point at steps of the wrong kind, and lists that point forward.
seeds['plan-bad-links'] = plan(12, [pv(0, 0, when=[0, 0]), qs, each(0, 0, 0)]) + plan(13, [qs, each(0, 0, 0)])
for name, body in seeds.items():
    with open(os.path.join(out, name), 'wb') as f:
        f.write(b'\x01' + body)
    print(name, len(body) + 1)
