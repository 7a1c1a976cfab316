#!/usr/bin/env python3
"""Writes an SVG drawing without what NanoSVG does not read, for storing it
in the program:   minify_svg.py SOURCE.svg TARGET.svg

Drops the XML declaration, comments, doctype, <metadata> elements, editors'
elements and attributes (Inkscape, Sodipodi) with their namespace
declarations, the SVG namespace declaration (NanoSVG matches plain element
names; the sources stay standalone SVG files for editors and viewers), and
the white space between tags and inside them; a colour
#rrggbb whose two digits are the same for each of red, green and blue is
written #rgb, which NanoSVG reads as the same colour. Path data, numbers,
attribute values and the order of everything are kept as they are, so the
parsed drawing and its pixels stay the same. Text content (NanoSVG draws no
text) is dropped with the white space around tags only where it is blank.
"""
import re
import sys

EDITOR_PREFIXES = ("inkscape", "sodipodi")


def minify(text: str) -> str:
    text = re.sub(r"<\?xml.*?\?>", "", text, flags=re.S)
    text = re.sub(r"<!--.*?-->", "", text, flags=re.S)
    text = re.sub(r"<!DOCTYPE[^>]*>", "", text, flags=re.S)
    text = re.sub(r"<metadata\b.*?</metadata\s*>|<metadata\b[^>]*/>", "", text, flags=re.S)
    for prefix in EDITOR_PREFIXES:
        text = re.sub(r"<%s:\w+\b[^>]*/>" % prefix, "", text, flags=re.S)
        text = re.sub(r"<%s:(\w+)\b.*?</%s:\1\s*>" % (prefix, prefix), "", text, flags=re.S)
        text = re.sub(r"\s+(?:xmlns:)?%s(?::[\w-]+)?\s*=\s*(\"[^\"]*\"|'[^']*')" % prefix, "", text)
    text = re.sub(r"\s+xmlns\s*=\s*(\"http://www\.w3\.org/2000/svg\"|'http://www\.w3\.org/2000/svg')", "", text)
    # Blank text between tags.
    text = re.sub(r">\s+<", "><", text).strip()

    def tidy_tag(match: re.Match) -> str:
        tag = match.group(0)
        # Split into quoted values and the rest; only the rest is compacted.
        parts = re.split(r"(\"[^\"]*\"|'[^']*')", tag)
        for i in range(0, len(parts), 2):
            part = re.sub(r"\s+", " ", parts[i])
            part = re.sub(r"\s*=\s*", "=", part)
            part = re.sub(r"\s+(/?>)$", r"\1", part)
            parts[i] = part
        return "".join(parts)

    text = re.sub(r"<[^!?][^>]*>", tidy_tag, text)

    def short_colour(match: re.Match) -> str:
        digits = match.group(1)
        if digits[0] == digits[1] and digits[2] == digits[3] and digits[4] == digits[5]:
            return "#" + digits[0] + digits[2] + digits[4]
        return match.group(0)

    text = re.sub(r"#([0-9A-Fa-f]{6})(?![0-9A-Za-z])", short_colour, text)
    return text


def main() -> int:
    if len(sys.argv) != 3:
        print(__doc__.strip().splitlines()[1], file=sys.stderr)
        return 2
    with open(sys.argv[1], encoding="utf-8") as source:
        text = minify(source.read())
    with open(sys.argv[2], "w", encoding="utf-8", newline="") as target:
        target.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
