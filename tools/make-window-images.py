#!/usr/bin/env python3
"""Draws the pictures of the toolbar and popups: resources/images/137.png ... 194.png.

Icons come from GNOME's Adwaita icon theme (symbolic, single-colour SVGs), recoloured so that
they read as one family: dark grey for ordinary icons, red for the record dot, white where they
sit on a dark ground. The plain UI pieces (check boxes, slider, bars, scroll bar, shadow, alert
ground, drag handle) are drawn here in the same palette. Which image comes from which icon is
listed in resources/images/ICONS-LICENSE.md; keep it in step with ICONS below.

Needs (only to redraw; the build uses the committed PNGs):
    apt-get install librsvg2-bin adwaita-icon-theme
Usage: tools/make-window-images.py [output-folder]
"""

import math
import os
import re
import shutil
import subprocess
import sys

ICON_FOLDER = "/usr/share/icons/Adwaita/scalable"
RSVG = "rsvg-convert"

INK = "#333333"      # ordinary icons
RECORD = "#E53935"   # the record dot
ACCENT = "#0093F3"   # checked, hot and progress
BORDER = "#BFCBD9"   # check box rim
TRACK = "#E4E7ED"    # slider track, progress ground
RAIL = "#F2F2F2"     # scroll bar rail
THUMB = "#C0C4CC"    # scroll bar thumb; also the "none" sign
THUMB_HOT = "#909399"
ALERT = "#303133"

# id -> (icon name, colour, image width, height, icon box x, y, w, h[, viewBox]). The icons are
# drawn on a 16-unit grid; whole or 1.5-fold scales keep their edges on pixel boundaries.
ICONS = {
    182: ("video-display", INK, 24, 24, 0, 0, 24, 24),
    140: ("edit-select-all", INK, 24, 24, 0, 0, 24, 24),
    143: ("document-open-recent", INK, 16, 16, 0, 0, 16, 16),
    # The window buttons keep the glyph's own 16-unit size; only the empty margin is cut.
    139: ("window-close", INK, 12, 12, 0, 0, 12, 12, "2 2 12 12"),
    179: ("window-minimize", INK, 12, 12, 0, 0, 12, 12, "2 2 12 12"),
    159: ("media-record", RECORD, 32, 32, 4, 4, 24, 24),
    163: ("media-playback-pause", INK, 32, 32, 4, 4, 24, 24),
    142: ("media-playback-stop", INK, 32, 32, 4, 4, 24, 24),
    144: ("audio-volume-high", INK, 32, 32, 4, 4, 24, 24),
    157: ("emblem-system", INK, 32, 32, 4, 4, 24, 24),
    160: ("microphone-disabled", INK, 32, 32, 4, 4, 24, 24),
    165: ("audio-input-microphone", INK, 32, 32, 4, 4, 24, 24),
    162: ("audio-volume-muted", INK, 32, 32, 4, 4, 24, 24),
    166: ("audio-volume-high", INK, 32, 32, 4, 4, 24, 24),
    # Shown squeezed from 43 to 32 pixels wide, so drawn 43/32 wider to look right there.
    193: ("camera-web", INK, 43, 32, 5.375, 4, 32.25, 24),
    145: ("action-unavailable", THUMB, 76, 76, 22, 22, 32, 32),
}


def need_tools():
    if shutil.which(RSVG) is None:
        sys.exit("make-window-images: %s not found; apt-get install librsvg2-bin" % RSVG)
    if not os.path.isdir(ICON_FOLDER):
        sys.exit("make-window-images: %s not found; apt-get install adwaita-icon-theme"
                 % ICON_FOLDER)


def icon_svg(name):
    for sub in sorted(os.listdir(ICON_FOLDER)):
        path = os.path.join(ICON_FOLDER, sub, name + "-symbolic.svg")
        if os.path.exists(path):
            with open(path, encoding="utf-8") as f:
                return f.read()
    sys.exit("make-window-images: icon %s missing from %s" % (name, ICON_FOLDER))


COLOUR = r"(#[0-9a-fA-F]{3,8}|rgb\([^)]*\))"


def recolour(svg, colour):
    """Symbolic icons are drawn in one colour; every fill and stroke colour becomes ours (their
    opacities stay, so half-tone parts stay half-tone)."""
    svg = re.sub(r'((?:fill|stroke)=")' + COLOUR, r"\g<1>" + colour, svg)
    return re.sub(r"((?:fill|stroke)\s*:\s*)" + COLOUR, r"\g<1>" + colour, svg)


def placed(svg, x, y, w, h, view_box=None):
    """The icon as an element of a bigger drawing, scaled into the box (x, y, w, h)."""
    svg = re.sub(r"<\?xml[^>]*\?>", "", svg).strip()
    root = re.match(r"<svg\b[^>]*>", svg)
    tag = re.sub(r'\s(width|height|x|y|preserveAspectRatio)="[^"]*"', "", root.group(0))
    if view_box is not None:
        tag = re.sub(r'viewBox="[^"]*"', 'viewBox="%s"' % view_box, tag)
    if "viewBox" not in tag:
        sys.exit("make-window-images: an icon without a viewBox")
    tag = tag[:-1] + ' x="%g" y="%g" width="%g" height="%g" preserveAspectRatio="none">' % (
        x, y, w, h)
    return tag + svg[root.end():]


def document(width, height, body):
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" '
            'viewBox="0 0 %d %d">%s</svg>' % (width, height, width, height, body))


def rasterise(svg, path):
    subprocess.run([RSVG, "--format=png", "-o", path], input=svg.encode("utf-8"), check=True)


# Drawn pieces, in pixel units: a 1-px line sits on .5, a 2-px line on whole numbers.

def frame(x0, y0, x1, y1):
    """A screen-like outline, 2 px thick, with rounded corners."""
    return ('<rect x="%g" y="%g" width="%g" height="%g" rx="2" fill="none" stroke="%s" '
            'stroke-width="2"/>' % (x0 + 1, y0 + 1, x1 - x0 - 2, y1 - y0 - 2, INK))


def preset_43():
    return 24, 24, frame(2, 4, 22, 19)


def preset_169():
    return 24, 24, frame(1, 6, 23, 18)


def capture_area():
    """A screen with a dashed selection on it."""
    body = frame(2, 4, 30, 24)
    body += '<rect x="11" y="26" width="10" height="2" rx="1" fill="%s"/>' % INK
    body += ('<rect x="8.5" y="9.5" width="15" height="9" fill="none" stroke="%s" '
             'stroke-width="1" stroke-dasharray="2 1"/>' % INK)
    return 32, 32, body


def program_icon():
    """A screen with the record dot on it; the screen is filled so it shows on dark panels."""
    body = ('<rect x="4" y="8" width="56" height="40" rx="6" fill="#FFFFFF" stroke="%s" '
            'stroke-width="4"/>' % INK)
    body += '<rect x="20" y="53" width="24" height="5" rx="2.5" fill="%s"/>' % INK
    body += '<circle cx="32" cy="28" r="11" fill="%s"/>' % RECORD
    return 64, 64, body


def drag_handle():
    """Four white arrows on a translucent dark disc, seen on any screen content."""
    body = '<circle cx="16" cy="16" r="16" fill="#000000" fill-opacity="0.5"/>'
    body += ('<path d="M16 8V24M8 16H24" stroke="#FFFFFF" stroke-width="2" fill="none"/>')
    heads = [(16, 4, 0), (28, 16, 90), (16, 28, 180), (4, 16, 270)]
    for x, y, turn in heads:
        body += ('<path d="M%g %g l5 5 h-10 z" fill="#FFFFFF" transform="rotate(%d %g %g)"/>'
                 % (x, y, turn, x, y))
    return 32, 32, body


def check_box(rim, checked):
    fill = ACCENT if checked else "#FFFFFF"
    stroke = ACCENT if checked else rim
    body = ('<rect x="0.5" y="0.5" width="15" height="15" rx="2" fill="%s" stroke="%s"/>'
            % (fill, stroke))
    if checked:
        body += ('<path d="M3.5 8 L6.5 11 L12.5 5" fill="none" stroke="#FFFFFF" '
                 'stroke-width="2" stroke-linecap="round" stroke-linejoin="round"/>')
    return 16, 16, body


def slider_thumb():
    return 16, 16, ('<circle cx="8" cy="8" r="7" fill="#FFFFFF" stroke="%s" '
                    'stroke-width="2"/>' % ACCENT)


def bar(width, height, colour):
    return width, height, '<rect width="%d" height="%d" fill="%s"/>' % (width, height, colour)


def scroll_button(down):
    d = "M1.5 5.5 L4 3 L6.5 5.5" if not down else "M1.5 2.5 L4 5 L6.5 2.5"
    return 8, 8, ('<path d="%s" fill="none" stroke="%s" stroke-width="1.5" '
                  'stroke-linecap="round" stroke-linejoin="round"/>' % (d, THUMB_HOT))


def scroll_thumb(colour):
    return 8, 32, '<rect x="1" y="0" width="6" height="32" rx="3" fill="%s"/>' % colour


def alert_ground():
    return 16, 16, ('<rect width="16" height="16" rx="4" fill="%s" fill-opacity="%.4f"/>'
                    % (ALERT, 0xE6 / 255))


DRAWN = {
    137: preset_43,
    138: preset_169,
    146: capture_area,
    181: program_icon,
    141: drag_handle,
    183: lambda: check_box(BORDER, False),
    184: lambda: check_box(BORDER, True),
    185: lambda: check_box(ACCENT, False),
    186: slider_thumb,
    188: lambda: bar(132, 3, TRACK),
    190: lambda: bar(200, 4, ACCENT),
    149: lambda: scroll_button(False),
    151: lambda: scroll_button(True),
    153: lambda: bar(8, 32, RAIL),
    155: lambda: scroll_thumb(THUMB),
    156: lambda: scroll_thumb(THUMB_HOT),
    194: alert_ground,
}

# The window shadow, a nine-patch: the window covers the clear middle, the margins are the
# corners' sizes (left, top, right, bottom). It reaches further below, as light from above.
SHADOW_SIZE = 64
SHADOW_MARGINS = (20, 5, 20, 23)
SHADOW_ALPHA = 0.28


def shadow_pixels():
    """Rows of alpha values; each side fades from the window's edge to the image's border.
    Along the middle bands the value depends on one axis only, so they stretch cleanly."""
    left, top, right, bottom = SHADOW_MARGINS
    x0, y0 = left, top
    x1, y1 = SHADOW_SIZE - right, SHADOW_SIZE - bottom

    def fade(distance, reach):
        t = max(0.0, min(1.0, distance / reach))
        return (1.0 - t) ** 2 * (0.5 + 0.5 * math.cos(math.pi * t))

    def along(c, lo, hi, reach_lo, reach_hi):
        if c < lo:
            return fade(lo - c, reach_lo)
        if c > hi:
            return fade(c - hi, reach_hi)
        return 1.0

    rows = []
    for py in range(SHADOW_SIZE):
        row = []
        for px in range(SHADOW_SIZE):
            x, y = px + 0.5, py + 0.5
            if x0 <= x <= x1 and y0 <= y <= y1:
                row.append(0)
                continue
            a = SHADOW_ALPHA * along(x, x0, x1, left, right) * along(y, y0, y1, top, bottom)
            if y > y1:
                a *= 1.25  # a little heavier below
            row.append(round(255 * min(a, 1.0)))
        rows.append(row)
    return rows


def shadow_svg():
    """The shadow as one 1x1 rect per pixel: the same rasteriser writes every image."""
    parts = []
    for py, row in enumerate(shadow_pixels()):
        for px, alpha in enumerate(row):
            if alpha:
                parts.append('<rect x="%d" y="%d" width="1" height="1" fill-opacity="%.4f"/>'
                             % (px, py, alpha / 255))
    return SHADOW_SIZE, SHADOW_SIZE, ('<g fill="#000000" shape-rendering="crispEdges">%s</g>'
                                      % "".join(parts))


def main():
    need_tools()
    here = os.path.dirname(os.path.abspath(__file__))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources",
                                                                "images")
    os.makedirs(folder, exist_ok=True)
    images = {}
    for image_id, (name, colour, w, h, *box) in ICONS.items():
        images[image_id] = (w, h, placed(recolour(icon_svg(name), colour), *box))
    for image_id, draw in DRAWN.items():
        images[image_id] = draw()
    images[158] = shadow_svg()
    for image_id, (w, h, body) in sorted(images.items()):
        rasterise(document(w, h, body), os.path.join(folder, "%d.png" % image_id))


if __name__ == "__main__":
    main()
