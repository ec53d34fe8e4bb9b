#!/usr/bin/env python3
"""Generate the sample sounds into Data/SOUND/ as 16-bit PCM wav files.

  tone440.wav      440 Hz sine, 0.5 s, mono, half of full scale, 5 ms fades
  noise_burst.wav  0.3 s of white noise with an exponential decay, mono
  loop.wav         2.0 s 220 Hz + 330 Hz chord, stereo, whose end joins its start

Pure standard library so it runs anywhere the repo builds. The noise comes from a
seeded generator and the wave module writes no timestamps, so reruns are
byte-identical.

Data/SOUND/loop.mp3 is committed as it is; it was encoded once from loop.wav with
Debian's lame 3.100, which is needed only to remake it (it is not a build
dependency):

  lame --quiet -b 64 --resample 22.05 Data/SOUND/loop.wav Data/SOUND/loop.mp3

An mp3 adds encoder delay and padding; lame records them in its info tag, so the mp3
loops cleanly only where the decoder honours that tag. The wav is the seamless one.
"""

import math
import os
import random
import struct
import wave

OUT_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "Data", "SOUND")

RATE = 22050
FULL_SCALE = 32767


# --------------------------------------------------------------------------
# WAV output
# --------------------------------------------------------------------------

def to_int16(v):
    # Symmetric scale so +1.0 and -1.0 land on the same magnitude; clamp guards rounding.
    return max(-FULL_SCALE, min(FULL_SCALE, int(round(v * FULL_SCALE))))


def write_wav(path, channels, frames):
    """frames: list of per-frame tuples of floats in -1..1, one value per channel."""
    data = bytearray()
    for frame in frames:
        assert len(frame) == channels
        data += struct.pack("<" + "h" * channels, *(to_int16(v) for v in frame))
    with wave.open(path, "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(bytes(data))
    return os.path.getsize(path)


# --------------------------------------------------------------------------
# Shared helpers
# --------------------------------------------------------------------------

def fade(i, count, fade_samples):
    """Linear ramp over the first and last fade_samples, so the ends start and stop at zero."""
    return min(1.0, i / fade_samples, (count - 1 - i) / fade_samples)


def sine(freq, i):
    return math.sin(2.0 * math.pi * freq * i / RATE)


# --------------------------------------------------------------------------
# Sounds
# --------------------------------------------------------------------------

def tone440():
    count = int(RATE * 0.5)
    ramp = int(RATE * 0.005)
    return 1, [(0.5 * fade(i, count, ramp) * sine(440.0, i),) for i in range(count)]


def noise_burst():
    count = int(RATE * 0.3)
    rng = random.Random(7)
    # Decays by e every 50 ms, about -52 dB by the end; the short ramps keep the
    # first and last sample at zero so neither end clicks.
    tau = 0.05
    attack, release = int(RATE * 0.001), int(RATE * 0.005)
    frames = []
    for i in range(count):
        env = 0.8 * math.exp(-(i / RATE) / tau)
        env *= min(1.0, i / attack, (count - 1 - i) / release)
        frames.append((env * (rng.random() * 2.0 - 1.0),))
    return 1, frames


def loop():
    # 2 s holds exactly 440 periods of 220 Hz and 660 of 330 Hz, so sample N would
    # equal sample 0: played back to back there is no seam and no fade is needed.
    count = int(RATE * 2.0)
    low, high = 220.0, 330.0
    assert (low * count / RATE).is_integer() and (high * count / RATE).is_integer()
    frames = []
    for i in range(count):
        a, b = sine(low, i), sine(high, i)
        # Each side leans on one note so the stereo image is audible; peaks stay at 0.5.
        frames.append((0.3 * a + 0.2 * b, 0.2 * a + 0.3 * b))
    return 2, frames


SOUNDS = [("tone440.wav", tone440), ("noise_burst.wav", noise_burst), ("loop.wav", loop)]


def main():
    os.makedirs(OUT_DIR, exist_ok=True)
    for name, fn in SOUNDS:
        channels, frames = fn()
        size = write_wav(os.path.join(OUT_DIR, name), channels, frames)
        print(f"{name}: {len(frames)} frames, {channels} channel(s), "
              f"{len(frames) / RATE:.3f} s, {size} bytes")


if __name__ == "__main__":
    main()
