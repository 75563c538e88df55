#!/usr/bin/env python3
"""Writes the program's short notification sounds as WAV files (16-bit mono, 22050 Hz).

Run from the repository root: tools/make_sounds.py [OUTPUT_DIR] (default resources/sounds).
The output is committed; rerun only when a sound changes. Pure Python, no dependencies.
"""
import math
import os
import struct
import sys
import wave

RATE = 22050


def tone(freq, seconds, volume=0.5, attack=0.008, decay=6.0, harmonics=((1, 1.0), (2, 0.25), (3, 0.08))):
    """A bell-like tone: a quick attack and an exponential fade."""
    n = int(RATE * seconds)
    out = []
    for i in range(n):
        t = i / RATE
        env = min(1.0, t / attack) * math.exp(-decay * t)
        s = sum(a * math.sin(2 * math.pi * freq * k * t) for k, a in harmonics)
        out.append(volume * env * s / sum(a for _, a in harmonics))
    return out


def silence(seconds):
    return [0.0] * int(RATE * seconds)


def mix(*parts):
    """Lays parts one after another, each starting at its given offset in seconds."""
    length = max(int(RATE * off) + len(p) for off, p in parts)
    out = [0.0] * length
    for off, p in parts:
        start = int(RATE * off)
        for i, s in enumerate(p):
            out[start + i] += s
    return out


def write(path, samples):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(b"".join(struct.pack("<h", int(max(-1.0, min(1.0, s)) * 32767)) for s in samples))


SOUNDS = {
    # Signed in: a rising major third.
    "welcome": lambda: mix((0.0, tone(659.25, 0.35)), (0.12, tone(830.61, 0.45))),
    # The trading stream was lost: two falling low tones.
    "connectionLost": lambda: mix((0.0, tone(440.0, 0.3, decay=5)), (0.18, tone(311.13, 0.45, decay=4))),
    # A trade confirmation: one bright ping.
    "order": lambda: tone(1318.5, 0.35, volume=0.45, decay=9),
    # An order was cancelled: a short low double blip.
    "cancelOrder": lambda: mix((0.0, tone(523.25, 0.12, decay=18)), (0.1, tone(392.0, 0.16, decay=14))),
    # A banner: a soft pop.
    "InAppNotificationDefaultSound": lambda: tone(880.0, 0.22, volume=0.35, decay=14),
    # An update banner: a gentle two-note call.
    "InAppNotificationDefaultSound2": lambda: mix((0.0, tone(783.99, 0.25, volume=0.4)), (0.14, tone(1046.5, 0.3, volume=0.4))),
}


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join("resources", "sounds")
    os.makedirs(out_dir, exist_ok=True)
    for name, make in SOUNDS.items():
        samples = make() + silence(0.02)
        write(os.path.join(out_dir, name + ".wav"), samples)
        print(f"{name}.wav  {len(samples) / RATE:.2f} s")


if __name__ == "__main__":
    main()
