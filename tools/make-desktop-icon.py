#!/usr/bin/env python3
"""Renders the program's desktop icon (the menu entry of the Linux package) from the Adwaita
icon theme: the display icon with the record dot inside its screen, in the toolbar's colours.
Writes resources/icons/screen-capturer.svg (scalable) and screen-capturer.png (256x256).

Needs (only to redraw; packaging uses the committed files):
    apt-get install librsvg2-bin adwaita-icon-theme
Usage: tools/make-desktop-icon.py [output-folder]
"""

import importlib.util
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SPEC = importlib.util.spec_from_file_location("window_images",
                                              os.path.join(HERE, "make-window-images.py"))
images = importlib.util.module_from_spec(SPEC)
SPEC.loader.exec_module(images)

SIZE = 256
UNIT = SIZE / 16  # the icons' 16-unit grid


def icon():
    """The display fills the square; the dot sits in its screen (2..14 x 2..11 units)."""
    body = images.placed(images.recolour(images.icon_svg("video-display"), images.INK),
                         0, 0, SIZE, SIZE)
    body += images.placed(images.recolour(images.icon_svg("media-record"), images.RECORD),
                          4.5 * UNIT, 3 * UNIT, 7 * UNIT, 7 * UNIT)
    return images.document(SIZE, SIZE, body)


def main():
    images.need_tools()
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "resources", "icons")
    os.makedirs(folder, exist_ok=True)
    svg = icon()
    with open(os.path.join(folder, "screen-capturer.svg"), "w", encoding="utf-8") as f:
        f.write(svg + "\n")
    images.rasterise(svg, os.path.join(folder, "screen-capturer.png"))


if __name__ == "__main__":
    main()
