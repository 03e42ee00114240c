#!/usr/bin/env python3
"""Patch (b)'s workload in Vesk and in two granular engines a user might pick
instead, side by side: 32 voices (MIDI notes 40 to 71), one grain a period
of each note, every grain 8 periods long (8 sounding a voice), a resonant
4-pole low-pass at 5 kHz with its envelope, 60 s at 48 kHz.

  Vesk         vesk-render and the release plug-in
  SuperCollider scsynth, non-real-time score: GrainBuf (no interpolation) + MoogFF
  csound       syncgrain + moogvcf

Each engine renders the voices and, to subtract, the same length with no
voice; the runs interleave, and the medians of the CPU seconds (user and
system, of the engine's process) count. First each engine's grain density
is checked: with a constant input the peers' output is the sum of their
sounding grains' window weights (8 Hann windows: 4 times the input), and
Vesk, which divides by that sum, gives the input back while it counts its
grains in process.

usage: bench-peers.py BUILD_DIR [ROUNDS]
"""
import math
import os
import resource
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile

RATE = 48000
SECONDS = 60
NOTES = list(range(40, 72))


def freq(note):
    return 440.0 * 2.0 ** ((note - 69) / 12.0)


def period_freq(note):  # the frequency of a whole-frame period, as Vesk's grains keep it
    return RATE / int(RATE / freq(note) + 0.5)


# ---- Files ------------------------------------------------------------------------------

def write_wav(path, channels, samples):
    """16-bit PCM; samples: one list per channel."""
    frames = len(samples[0])
    data = bytearray()
    for i in range(frames):
        for ch in samples:
            data += struct.pack('<h', max(-32767, min(32767, int(round(ch[i] * 32767)))))
    with open(path, 'wb') as f:
        f.write(b'RIFF' + struct.pack('<I', 36 + len(data)) + b'WAVE')
        f.write(b'fmt ' + struct.pack('<IHHIIHH', 16, 1, channels, RATE, RATE * 2 * channels, 2 * channels, 16))
        f.write(b'data' + struct.pack('<I', len(data)) + data)


def read_wav(path):
    """Every channel of a PCM or float WAV, as lists of floats."""
    with open(path, 'rb') as f:
        blob = f.read()
    pos, fmt, data = 12, None, None
    while pos + 8 <= len(blob):
        tag, size = blob[pos:pos + 4], struct.unpack('<I', blob[pos + 4:pos + 8])[0]
        body = blob[pos + 8:pos + 8 + size]
        if tag == b'fmt ':
            fmt = list(struct.unpack('<HHIIHH', body[:16]))
            if fmt[0] == 0xFFFE:  # extensible: the format is the sub-format's first two bytes
                fmt[0] = struct.unpack('<H', body[24:26])[0]
        elif tag == b'data':
            data = body
        pos += 8 + size + (size & 1)
    kind, channels, _, _, _, bits = fmt
    if kind == 3:
        code = 'f' if bits == 32 else 'd'
        values = struct.unpack('<%d%s' % (len(data) // (bits // 8), code), data)
    elif bits == 16:
        values = [v / 32768.0 for v in struct.unpack('<%dh' % (len(data) // 2), data)]
    else:
        raise SystemExit(path + ': unexpected WAV format')
    return [values[c::channels] for c in range(channels)]


def write_midi(path, notes, seconds):
    """One track at 120 bpm, 480 ticks a quarter: the notes on at 0, off after `seconds`."""
    events = bytearray()
    for n in notes:
        events += b'\x00' + bytes([0x90, n, 100])
    ticks = int(seconds * 2 * 480)
    events += _varlen(ticks) + bytes([0x80, notes[0], 0])
    for n in notes[1:]:
        events += b'\x00' + bytes([0x80, n, 0])
    events += b'\x00\xff\x2f\x00'
    with open(path, 'wb') as f:
        f.write(b'MThd' + struct.pack('>IHHH', 6, 0, 1, 480))
        f.write(b'MTrk' + struct.pack('>I', len(events)) + events)


def _varlen(v):
    out = [v & 0x7F]
    v >>= 7
    while v:
        out.append(0x80 | (v & 0x7F))
        v >>= 7
    return bytes(reversed(out))


# ---- SuperCollider: a synth definition and a score, written out in its binary forms -----

def _pstring(s):
    b = s.encode()
    return bytes([len(b)]) + b


def synthdef(name, filtered):
    """freq, buf -> GrainBuf (2 channels) -> MoogFF each -> amplitude envelope -> Out 0."""
    consts = []

    def c(v):
        if v not in consts:
            consts.append(v)
        return (-1, consts.index(v))

    ugens = []

    def ugen(cls, rate, inputs, outputs, special=0):
        ugens.append((cls, rate, inputs, outputs, special))
        return len(ugens) - 1

    AR, KR = 2, 1
    ctl = ugen('Control', KR, [], [KR, KR])
    trig = ugen('Impulse', AR, [(ctl, 0), c(0.0)], [AR])
    dur = ugen('BinaryOpUGen', KR, [c(8.0), (ctl, 0)], [KR], special=4)  # 8 / freq
    pos = ugen('Line', KR, [c(0.0), c(1.0), c(float(SECONDS)), c(0.0)], [KR])
    grains = ugen('GrainBuf', AR, [(trig, 0), (dur, 0), (ctl, 1), c(1.0), (pos, 0), c(1.0), c(0.0), c(-1.0),
                                   c(512.0)], [AR, AR])
    outs = [(grains, 0), (grains, 1)]
    if filtered:
        cutoff = ugen('XLine', KR, [c(10000.0), c(5000.0), c(0.015), c(0.0)], [KR])
        outs = [(ugen('MoogFF', AR, [o, (cutoff, 0), c(2.0), c(0.0)], [AR]), 0) for o in outs]
        env = [c(0.0), c(3.0), c(2.0), c(-99.0), c(1.0), c(0.005), c(1.0), c(0.0), c(0.8), c(0.01), c(1.0), c(0.0),
               c(0.0), c(1.0), c(1.0), c(0.0)]
        amp = ugen('EnvGen', KR, [c(1.0), c(1.0), c(0.0), c(1.0), c(0.0)] + env, [KR])
        outs = [(ugen('BinaryOpUGen', AR, [o, (amp, 0)], [AR], special=2), 0) for o in outs]
    ugen('Out', AR, [c(0.0)] + outs, [])

    body = _pstring(name)
    body += struct.pack('>i', len(consts)) + b''.join(struct.pack('>f', v) for v in consts)
    body += struct.pack('>i', 2) + struct.pack('>ff', 440.0, 0.0)
    body += struct.pack('>i', 2) + _pstring('freq') + struct.pack('>i', 0) + _pstring('buf') + struct.pack('>i', 1)
    body += struct.pack('>i', len(ugens))
    for cls, rate, inputs, outputs, special in ugens:
        body += _pstring(cls) + struct.pack('>biih', rate, len(inputs), len(outputs), special)
        for src, idx in inputs:
            body += struct.pack('>ii', src, idx)
        body += bytes(outputs)
    body += struct.pack('>h', 0)
    return b'SCgf' + struct.pack('>ih', 2, 1) + body


def _osc_string(s):
    b = s.encode() + b'\0'
    return b + b'\0' * (-len(b) % 4)


def osc_message(address, *args):
    tags, data = ',', b''
    for a in args:
        if isinstance(a, int):
            tags, data = tags + 'i', data + struct.pack('>i', a)
        elif isinstance(a, float):
            tags, data = tags + 'f', data + struct.pack('>f', a)
        elif isinstance(a, str):
            tags, data = tags + 's', data + _osc_string(a)
        else:
            tags, data = tags + 'b', data + struct.pack('>i', len(a)) + a + b'\0' * (-len(a) % 4)
    return _osc_string(address) + _osc_string(tags) + data


def osc_bundle(seconds, messages):
    body = b'#bundle\0' + struct.pack('>II', int(seconds), int((seconds % 1) * 2 ** 32))
    for m in messages:
        body += struct.pack('>i', len(m)) + m
    return struct.pack('>i', len(body)) + body


def sc_score(path, source, notes, seconds, filtered):
    name = 'vbench'
    start = [osc_message('/b_allocRead', 0, source), osc_message('/d_recv', synthdef(name, filtered))]
    start += [osc_message('/s_new', name, 1000 + i, 0, 0, 'freq', float(freq(n)), 'buf', 0.0)
              for i, n in enumerate(notes)]
    with open(path, 'wb') as f:
        f.write(osc_bundle(0.0, start) + osc_bundle(float(seconds), [osc_message('/c_set', 0, 0)]))


def run_sc(work, source, out, notes, seconds, filtered=True):
    score = os.path.join(work, 'score.osc')
    sc_score(score, source, notes, seconds, filtered)
    return timed(['scsynth', '-N', score, '_', out, str(RATE), 'WAV', 'float', '-o', '2'])


# ---- csound ------------------------------------------------------------------------------

def run_csound(work, source, out, notes, seconds, filtered=True):
    chain = '''
  kcut expseg 10000, 0.015, 5000, p3, 5000
  kamp linseg 0, 0.005, 1, 0.01, 0.8, p3, 0.8
  aleft moogvcf ag, kcut, 0.5
  aright moogvcf ag, kcut, 0.5
  outs aleft * kamp, aright * kamp''' if filtered else '''
  outs ag, ag'''
    notes_text = '\n'.join('i1 0 %d %.6f' % (seconds, freq(n)) for n in notes) or 'f0 %d' % seconds
    csd = '''<CsoundSynthesizer>
<CsOptions>
-d -m0 -W -f -o %s
</CsOptions>
<CsInstruments>
sr = %d
ksmps = 64
nchnls = 2
0dbfs = 1
giSource ftgen 1, 0, 0, -1, "%s", 0, 0, 1
giWindow ftgen 2, 0, 16384, 20, 2, 1
instr 1
  ifreq = p4
  ag syncgrain 1, ifreq, 1, 8 / ifreq, 1, 1, 2, 16%s
endin
</CsInstruments>
<CsScore>
f0 %d
%s
</CsScore>
</CsoundSynthesizer>
''' % (out, RATE, source, chain, seconds, notes_text)
    path = os.path.join(work, 'bench.csd')
    with open(path, 'w') as f:
        f.write(csd)
    return timed(['csound', path])


# ---- Vesk -------------------------------------------------------------------------------

VESK_PATCH = ['perfomance mode=note mode', 'poly/mono=poly', 'active voices=32', 'grain overlap=3.5',
              'flt on/off=on', 'flt envelope=0.5', 'flt q=0.5', 'agc local/global=on', 'auto gain amnt=0.8']
VESK_PLAIN = ['perfomance mode=note mode', 'poly/mono=poly', 'active voices=32', 'grain overlap=3.5',
              'flt on/off=off', 'env S=1', 'DC removal=off']


def run_vesk(build, work, source, out, midi, settings):
    cmd = [os.path.join(build, 'vesk-render'), '--plugin', os.path.join(build, 'vesk.so'), '--in', source,
           '--out', out, '--format', 'float', '--tail', '0']
    if midi:
        cmd += ['--midi', midi]
    for s in settings:
        cmd += ['--set', s]
    return timed(cmd)


# ---- Measuring -----------------------------------------------------------------------------

def timed(cmd):
    """The command's CPU seconds (user and system)."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    done = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if done.returncode != 0:
        raise SystemExit(' '.join(cmd) + ' failed:\n' + done.stderr.decode(errors='replace')[-2000:])
    return (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def steady_mean(path, skip_seconds=1.0):
    left = read_wav(path)[0]
    part = left[int(skip_seconds * RATE):]
    return sum(part) / len(part)


def check_density(build, work):
    dc = 0.25
    mono = os.path.join(work, 'dc-mono.wav')
    stereo = os.path.join(work, 'dc-stereo.wav')
    write_wav(mono, 1, [[dc] * (4 * RATE)])
    write_wav(stereo, 2, [[dc] * (4 * RATE)] * 2)
    midi = os.path.join(work, 'dc.mid')
    write_midi(midi, NOTES[:1], 4)
    out = os.path.join(work, 'dc-out.wav')
    hann = 8 * 0.5  # 8 sounding grains under windows of mean weight 1/2
    rows = []
    run_sc(work, mono, out, NOTES[:1], 4, filtered=False)
    rows.append(('SuperCollider', steady_mean(out) / dc, hann / math.sqrt(2.0), '8 Hann windows, panned to the middle'))
    run_csound(work, mono, out, NOTES[:1], 4, filtered=False)
    rows.append(('csound', steady_mean(out) / dc, hann, '8 Hann windows'))
    run_vesk(build, work, stereo, out, midi, VESK_PLAIN)
    rows.append(('Vesk', steady_mean(out) / dc, 100 / 127, 'divided by the weights, at velocity 100'))
    print('grain density, constant input (output / input over the steady part):')
    ok = True
    for name, got, want, why in rows:
        good = abs(got - want) < 0.05 * want
        ok = ok and good
        print('  %-14s %.3f (expected %.3f: %s) %s' % (name, got, want, why, 'ok' if good else 'OFF'))
    counted = subprocess.run([os.path.join(build, 'vesk-bench'), '--density'], capture_output=True, text=True)
    print('  Vesk in process: ' + counted.stdout.strip())
    return ok


def main():
    if len(sys.argv) < 2:
        raise SystemExit(__doc__)
    build = os.path.abspath(sys.argv[1])
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    for tool in ('scsynth', 'csound'):
        if not shutil.which(tool):
            raise SystemExit(tool + ' is missing')
    grains_per_second = sum(period_freq(n) for n in NOTES)
    work = tempfile.mkdtemp(prefix='vesk-peers-')
    try:
        if not check_density(build, work):
            raise SystemExit('the engines do not render the same grain density')
        frames = SECONDS * RATE
        sine = [0.5 * math.sin(2 * math.pi * 220.0 * i / RATE) for i in range(frames)]
        mono, stereo = os.path.join(work, 'in-mono.wav'), os.path.join(work, 'in-stereo.wav')
        write_wav(mono, 1, [sine])
        write_wav(stereo, 2, [sine, sine])
        midi = os.path.join(work, 'notes.mid')
        write_midi(midi, NOTES, SECONDS)
        out = os.path.join(work, 'out.wav')
        engines = {
            'Vesk': (lambda: run_vesk(build, work, stereo, out, midi, VESK_PATCH),
                     lambda: run_vesk(build, work, stereo, out, None, VESK_PATCH)),
            'SuperCollider': (lambda: run_sc(work, mono, out, NOTES, SECONDS),
                              lambda: run_sc(work, mono, out, [], SECONDS)),
            'csound': (lambda: run_csound(work, mono, out, NOTES, SECONDS),
                       lambda: run_csound(work, mono, out, [], SECONDS)),
        }
        costs = {name: [] for name in engines}
        for r in range(rounds):
            for name, (voices, empty) in engines.items():
                costs[name].append(max(0.0, voices() - empty()) / SECONDS)
            print('round %d: ' % (r + 1) + ', '.join('%s %.4f' % (n, c[-1]) for n, c in costs.items()), flush=True)
        print('\n%-14s %18s %22s' % ('engine', 'CPU s per audio s', 'grains per CPU-second'))
        medians = {name: statistics.median(c) for name, c in costs.items()}
        for name, cost in medians.items():
            print('%-14s %18.4f %22.0f' % (name, cost, grains_per_second / cost if cost else float('inf')))
        for peer in ('SuperCollider', 'csound'):
            print('Vesk / %s CPU: %.2f' % (peer, medians['Vesk'] / medians[peer]))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == '__main__':
    main()
