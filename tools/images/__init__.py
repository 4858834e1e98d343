"""Generators for the show's images; tools/make_images.py runs them all."""
