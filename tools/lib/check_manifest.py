"""Parses the application manifest embedded in a Windows executable.

Exits 0 when the manifest is well-formed XML, 1 with a message otherwise.
Windows refuses to start a program whose manifest does not parse.
"""
import re
import sys
import xml.dom.minidom

data = open(sys.argv[1], "rb").read()
found = re.search(rb"<\?xml.*?</assembly>", data, re.S)
if not found:
    sys.exit("check_manifest: no manifest found")
try:
    xml.dom.minidom.parseString(found.group(0))
except Exception as error:  # any parse error fails the check
    sys.exit("check_manifest: " + str(error))
