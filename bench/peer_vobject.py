#!/usr/bin/python3
# Reads each pair of files (as the program found it, as `vcardtool format` wrote it) with
# vobject (Debian's python3-vobject), an independent vCard 2.1 and 3.0 parser, and says
# whether both mean the same to it: the same cards, property names and groups, parameter
# values, and decoded values compared value by value. vobject joins folded lines and
# quoted-printable soft breaks, takes 2.1's bare parameters, decodes quoted-printable in
# the CHARSET the line names, and undoes backslash escapes; the pair then differs only
# where the saved file means something else to it.
#
# What this script does itself, because vobject reads text rather than bytes: it decodes
# the file (UTF-16 by its byte-order mark, else UTF-8 with the bytes that are not UTF-8
# kept aside), and a value that holds such bytes (8-bit text, which vobject leaves to
# whoever decoded the file) is decoded in its CHARSET (strictly: a save that names the
# wrong one differs), else as UTF-8 when it is UTF-8, else as Windows-1252. CHARSET and
# the transfer encodings (QUOTED-PRINTABLE, 8BIT, 7BIT) are left out of the compared
# parameters: they say how a value was carried, and a save may carry it otherwise; the
# decoded value is what is compared.
#
# Usage: peer_vobject.py --versions FILE...       prints "VERSION<TAB>FILE" per file
#        peer_vobject.py --cards FILE              prints its cards' decoded values as JSON
#        peer_vobject.py BEFORE AFTER [BEFORE AFTER ...]
# Exit status 1 when a pair differs for a reason not explained below.
import base64
import binascii
import codecs
import difflib
import io
import json
import logging
import os
import re
import sys

import vobject
from vobject.icalendar import stringToTextValues
from vobject.vcard import splitFields

# vobject logs every backslash it does not know; the values it keeps are what count.
logging.disable(logging.CRITICAL)

# Files with lines vobject cannot read, each for a reason of its own: those lines are
# left out of the comparison, the others compared.
UNREADABLE = {
    "android-v21-six-cards-qp-utf8.vcf":
        "a quoted-printable ORG of CHARSET=UTF-8 that ends in a byte that is not UTF-8 ('=80')",
    "evolution-empty-and-double-semicolon-params.vcf":
        "an empty parameter (';;' and ';:'), which its line pattern refuses",
    "kde-legacy-x-names-with-slash.vcf": "a '/' in a property name, which its line pattern refuses",
    "outlook-2003-value-url-latin1-qp.vcf":
        "quoted-printable Latin-1 without CHARSET, which vobject always decodes as UTF-8",
}

# Differences where the original means one thing to vobject and another to the version it
# is written in, so that the save, which writes what the file meant, reads differently to it.
# A difference is counted as explained only where its rule holds for that property.
def bare_comma(before, after):
    """A ',' left bare in a 3.0 text value, which vobject takes for a list separator
    (its own card reading then keeps the first item alone); the save escapes it."""
    before, after = property_of(before), property_of(after)
    return (before is not None and after is not None and before[:3] == after[:3]
            and isinstance(before[3], list) and len(before[3]) > 1 and after[3] == [",".join(before[3])])


def read_in_save_alone(before, after):
    """A line vobject cannot read in the original but can in the save, which wrote it
    otherwise (an empty parameter left out): the save's line stands alone."""
    return before is None and after is not None


BARE_COMMA = "a bare ',' in a 3.0 text value, which vobject takes for a list separator; the save escapes it"
EXPLAINED = {
    "apple-addressbook-mixed-eol-base64.vcf": (BARE_COMMA + " (X-ABADR)", bare_comma),
    "apple-ios5-crcrlf-groups-photo.vcf": (BARE_COMMA + " (X-ABADR)", bare_comma),
    "google-escaped-quote-and-colon.vcf": (BARE_COMMA + " (FN)", bare_comma),
    "kde-v30-logo-photo-sound-binary.vcf": (BARE_COMMA + " (FN, NOTE)", bare_comma),
    "evolution-empty-and-double-semicolon-params.vcf": (
        "empty parameters (';;' and ';:'), which vobject cannot read; the save leaves them out, "
        "so vobject reads those two lines in the saved file alone", read_in_save_alone),
}

# Files whose save reads differently to vobject because of a fault of the card core that
# is still open, with the properties where it shows ("saved file" when vobject refuses the
# save): printed as such, so that the check stays a check of everything else.
OPEN = {
}

TRANSFER = {"QUOTED-PRINTABLE", "8BIT", "7BIT"}
STRUCTURED = {"N", "ADR", "ORG"}


def file_text(path):
    data = open(path, "rb").read()
    if data.startswith(codecs.BOM_UTF16_LE) or data.startswith(codecs.BOM_UTF16_BE):
        return data.decode("utf-16")
    if data.startswith(codecs.BOM_UTF8):
        data = data[len(codecs.BOM_UTF8):]
    return data.decode("utf-8", "surrogateescape")


def eight_bit(text, charset):
    """Decodes the bytes a value held as they stood in the file."""
    if not any("\udc80" <= c <= "\udcff" for c in text):
        return text
    raw = text.encode("utf-8", "surrogateescape")
    if charset:
        # Strictly in the CHARSET named: a save that labels bytes with the wrong one differs.
        try:
            return raw.decode(charset)
        except (LookupError, UnicodeDecodeError):
            return f"bytes not {charset}: {raw.hex()}"
    try:
        return raw.decode("utf-8")
    except UnicodeDecodeError:
        return raw.decode("windows-1252", "replace")


def param_list(line):
    charset = (line.params.get("CHARSET") or [None])[0]
    kept = []
    for name, values in line.params.items():
        if name == "CHARSET":
            continue
        if name == "ENCODING":
            values = [v for v in values if v.upper() not in TRANSFER]
            if not values:
                continue
        kept.append([name] + [eight_bit(v, charset) for v in values])
    kept += [[eight_bit(v, charset)] for v in line.singletonparams if v.upper() not in TRANSFER]
    return kept, charset


def is_base64(line):
    encodings = [v.upper() for v in line.params.get("ENCODING", [])]
    return "B" in encodings or "BASE64" in encodings or \
        "BASE64" in [v.upper() for v in line.singletonparams]


def decoded_value(line, charset):
    value = line.value
    if is_base64(line):
        try:
            data = base64.b64decode(re.sub(r"\s", "", value))
        except binascii.Error as error:
            return f"base64 vobject cannot decode: {error}"
        return f"base64 {len(data)} bytes {binascii.crc32(data):08x}"
    value = eight_bit(value, charset)
    if line.name in STRUCTURED:
        return splitFields(value)
    return stringToTextValues(value)


def meaning(path, unreadable=None):
    """One entry per property, in card order; a card within a card brackets its own.
    vobject's own card reading (readComponents) decodes a text value as a list and keeps
    only its first item, which would hide a comma turned into a separator: the lines are
    read with its line reader and line parser instead, and every item is kept. With a
    list for unreadable, a line vobject cannot read is counted there and left out, as its
    readComponents(ignoreUnreadable=True) does, instead of ending the read."""
    out, open_cards, card_start = [], [], []
    for text, number in vobject.base.getLogicalLines(io.StringIO(file_text(path)), allowQP=True):
        try:
            line = vobject.base.textLineToContentLine(text, number)
        except (vobject.base.ParseError, UnicodeDecodeError, LookupError):
            if unreadable is None:
                raise
            unreadable.append(text.split(":", 1)[0][:40])
            continue
        # Blanks after BEGIN:VCARD or END:VCARD (some exports write them) say nothing, and
        # a save does not write them.
        kind = line.value.strip().upper() if isinstance(line.value, str) else line.value
        if line.name == "BEGIN":
            open_cards.append(kind)
            card_start.append(len(out))
            out.append(f"BEGIN {kind}")
            continue
        if line.name == "END":
            if not open_cards or open_cards[-1] != kind:
                raise vobject.base.ParseError(f"END:{line.value} closes nothing", number)
            open_cards.pop()
            start = card_start.pop()
            out.append(f"END {kind}")
            # A save writes VERSION first, where every version wants it (KDE writes it
            # later): where it stood is not part of what the card says.
            card = out[start + 1:]
            version = [e for e in card if e.startswith('[null, "VERSION"')]
            out[start + 1:] = version + [e for e in card if e not in version]
            continue
        params, charset = param_list(line)
        out.append(json.dumps([line.group, line.name, params, decoded_value(line, charset)],
                              ensure_ascii=False))
    if open_cards:
        raise vobject.base.ParseError(f"{open_cards[-1]} is never closed", None)
    return out


def versions(path):
    found = re.findall(r"^VERSION\s*:\s*([0-9.]+)", file_text(path), re.I | re.M)
    return ",".join(sorted(set(found))) or "none"


def differences(before, after):
    """The pairs of entries that differ, an entry missing on one side standing as None."""
    pairs = []
    matcher = difflib.SequenceMatcher(None, before, after, autojunk=False)
    for tag, b1, b2, a1, a2 in matcher.get_opcodes():
        if tag == "equal":
            continue
        for k in range(max(b2 - b1, a2 - a1)):
            pairs.append((before[b1 + k] if b1 + k < b2 else None,
                          after[a1 + k] if a1 + k < a2 else None))
    return pairs


def property_of(entry):
    if entry is None or not entry.startswith("["):
        return None
    return json.loads(entry)


def cards_of(path):
    """The cards of a file as vobject reads them, for a check against a conversion: per
    card its version and, per property, its name, its decoded value's strings, and
    whether it stands in a card inside the card (2.1's AGENT)."""
    cards, depth, unreadable = [], 0, []
    for entry in meaning(path, unreadable):
        if entry.startswith("BEGIN "):
            depth += 1
            if depth == 1:
                cards.append({"version": None, "properties": []})
            continue
        if entry.startswith("END "):
            depth -= 1
            continue
        group, name, params, value = json.loads(entry)
        if not cards:
            continue
        if name == "VERSION" and depth == 1:
            cards[-1]["version"] = value if isinstance(value, str) else "".join(flat(value))
            continue
        cards[-1]["properties"].append({"name": name, "atoms": flat(value), "inner": depth > 1})
    return {"cards": cards, "unreadable": unreadable}


def flat(value):
    if isinstance(value, list):
        return [atom for item in value for atom in flat(item)]
    return [value] if value is not None else []


def main(args):
    if args and args[0] == "--versions":
        for path in args[1:]:
            print(f"{versions(path)}\t{path}")
        return 0
    if args and args[0] == "--cards":
        print(json.dumps(cards_of(args[1]), ensure_ascii=False))
        return 0
    show = os.environ.get("PEER_SHOW")
    same = differ = skipped = known = still_open = 0
    for before_path, after_path in zip(args[0::2], args[1::2]):
        name = os.path.basename(before_path)
        left_out = ""
        try:
            before = meaning(before_path)
            after_unreadable = None
        except Exception as error:  # vobject raises its own errors and the codecs'
            # The lines it can read are still compared; the others are named.
            why = f"vobject cannot read every line ({str(error).splitlines()[0]})" + \
                (f": {UNREADABLE[name]}" if name in UNREADABLE else "")
            before_unreadable, after_unreadable = [], []
            try:
                before = meaning(before_path, before_unreadable)
            except Exception as error:
                skipped += 1
                print(f"skip    {name}: vobject refuses the original ({str(error).splitlines()[0]})")
                continue
            left_out = f"; {why}; left out: {', '.join(before_unreadable)}"
        try:
            after = meaning(after_path, after_unreadable)
        except Exception as error:
            after = [f"vobject refuses the saved file: {str(error).splitlines()[0]}"]
        if after_unreadable is not None and len(after_unreadable) != len(before_unreadable):
            after.append(f"lines vobject cannot read: {', '.join(after_unreadable)}")
        if before == after:
            same += 1
            print(f"same    {name}{left_out}")
            continue
        pairs = differences(before, after)
        shown = "".join(f"\n  before: {b}\n  after:  {a}" for b, a in pairs)
        reason, rule = EXPLAINED.get(name, (None, None))
        if rule and all(rule(b, a) for b, a in pairs):
            known += 1
            print(f"known   {name}: {reason}{shown if show else ''}")
            continue
        fault, where = OPEN.get(name, (None, set()))
        def in_open(entry):
            parsed = property_of(entry)
            return parsed is not None and parsed[1] in where
        refused = after[0].startswith("vobject refuses the saved")
        if fault and ((refused and "saved file" in where) or
                      (not refused and all(in_open(b) or in_open(a) for b, a in pairs))):
            still_open += 1
            print(f"open    {name}: {fault}{shown if show else ''}")
            continue
        differ += 1
        print(f"DIFFERS {name}{shown}")
    print(f"{same} same, {known} differ as explained, {still_open} differ by an open fault, "
          f"{differ} differ otherwise, {skipped} refused by vobject in the original")
    return 1 if differ else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
