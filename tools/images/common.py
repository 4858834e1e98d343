"""Shared helpers for the image generators: output paths, deterministic saving,
font lookup, supersampled canvases and tileable noise.

Everything here is pure and seeded, so two runs write byte-identical files.
A missing font or an unwritable output folder stops the run with a clear message."""

import os
import sys

import numpy as np
from PIL import Image, ImageFont

REPO_ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
IMAGE_DIR = os.path.join(REPO_ROOT, "content", "images")

FONT_FILES = {
    "display": "/usr/share/fonts/opentype/yanone-kaffeesatz/YanoneKaffeesatz-Regular.otf",
    "display-light": "/usr/share/fonts/opentype/yanone-kaffeesatz/YanoneKaffeesatz-Light.otf",
    "display-bold": "/usr/share/fonts/opentype/yanone-kaffeesatz/YanoneKaffeesatz-Bold.otf",
    "serif": "/usr/share/fonts/truetype/fonts-oldstandard/OldStandard-Regular.ttf",
    "serif-italic": "/usr/share/fonts/truetype/fonts-oldstandard/OldStandard-Italic.ttf",
    "serif-bold": "/usr/share/fonts/truetype/fonts-oldstandard/OldStandard-Bold.ttf",
    "edge": "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
    # One face for the whole formula: its letters, arrow, plus and figures are drawn to
    # sit together on one baseline and one maths axis.
    "math": "/usr/share/texmf/fonts/opentype/public/lm-math/latinmodern-math.otf",
}

# Title cards are read by the projector as RGB; 4:4:4 keeps thin lettering free of blocks.
JPEG_QUALITY = 95
# Neighbour-packed pictures keep their lettering's edges in the colour differences, which
# JPEG quantises harder than the grey: at this quality the neighbours stay within a few
# levels (at most 18 on the sharpest edges) of the texels they copy.
PACKED_JPEG_QUALITY = 95


def fail(message):
    sys.stderr.write("make_images: " + message + "\n")
    sys.exit(1)


_font_cache = {}


def font(face, size):
    """Returns the named face at `size` pixels; stops the run if the font package is missing."""
    key = (face, int(size))
    if key not in _font_cache:
        path = FONT_FILES[face]
        if not os.path.exists(path):
            fail("font %s not found (%s); install the packages in scripts/content-packages.txt"
                 % (face, path))
        _font_cache[key] = ImageFont.truetype(path, int(size))
    return _font_cache[key]


def set_output_dir(path):
    """Sends every image written from now on to `path` instead of content/images."""
    global IMAGE_DIR
    IMAGE_DIR = os.path.abspath(path)


def output_path(name):
    os.makedirs(IMAGE_DIR, exist_ok=True)
    return os.path.join(IMAGE_DIR, name)


def save_jpeg(image, name):
    """Writes a 3-channel baseline JPEG with no metadata."""
    image.convert("RGB").save(output_path(name), "JPEG", quality=JPEG_QUALITY,
                              subsampling=0, optimize=True)


def pack_neighbours(image, band_height=None):
    """A grey picture as the projector reads it: R the texel, G its right neighbour, B the
    one below (edges repeat their last texel). One fetch then gives three corners of a
    bilinear cell, so the picture stays smooth when enlarged at the cost of a single read.
    With band_height, every band of that many rows is packed on its own (nothing bleeds
    from one band into the next)."""
    grey = np.asarray(image.convert("L"))
    right = np.concatenate([grey[:, 1:], grey[:, -1:]], axis=1)
    below = np.concatenate([grey[1:, :], grey[-1:, :]], axis=0)
    if band_height:
        last_rows = np.arange(band_height - 1, grey.shape[0], band_height)
        below[last_rows] = grey[last_rows]
    return Image.fromarray(np.stack([grey, right, below], axis=-1), "RGB")


def save_packed_jpeg(image, name, band_height=None):
    """Writes a grey picture neighbour-packed (see pack_neighbours) as a baseline JPEG."""
    pack_neighbours(image, band_height).save(output_path(name), "JPEG",
                                             quality=PACKED_JPEG_QUALITY, subsampling=0,
                                             optimize=True)


def save_png(image, name):
    """Writes a 3-channel PNG; Pillow adds no time chunk, so the bytes depend only on pixels."""
    image.convert("RGB").save(output_path(name), "PNG", optimize=True)


def downsample(image, factor):
    """Reduces a supersampled canvas by an integer factor with a Lanczos filter."""
    w, h = image.size
    return image.resize((w // factor, h // factor), Image.LANCZOS)


def to_image(array):
    """Float array in 0..1 (H x W or H x W x 3) to an 8-bit image, rounding half up."""
    return Image.fromarray(np.clip(array * 255.0 + 0.5, 0, 255).astype(np.uint8))


def tileable_noise(rng, size, feature_px, octaves=1):
    """Band-limited noise on a torus: filtering white noise in frequency space keeps it periodic.
    Returns size x size floats with zero mean and unit deviation."""
    total = np.zeros((size, size))
    freqs = np.fft.fftfreq(size)
    fx, fy = np.meshgrid(freqs, freqs)
    radius = np.sqrt(fx * fx + fy * fy)
    for octave in range(octaves):
        white = rng.standard_normal((size, size))
        cutoff = 1.0 / (feature_px / (2 ** octave))
        spectrum = np.fft.fft2(white) * np.exp(-(radius / cutoff) ** 2)
        layer = np.real(np.fft.ifft2(spectrum))
        layer /= layer.std() + 1e-12
        total += layer / (2 ** octave)
    return total / (total.std() + 1e-12)


def value_noise(rng, width, height, feature_px):
    """Smooth non-periodic noise by bicubic upscaling of a coarse random grid, values 0..1."""
    gw = max(2, int(width / feature_px) + 2)
    gh = max(2, int(height / feature_px) + 2)
    coarse = Image.fromarray((rng.random((gh, gw)) * 255).astype(np.uint8))
    fine = coarse.resize((width, height), Image.BICUBIC)
    return np.asarray(fine, dtype=np.float64) / 255.0
