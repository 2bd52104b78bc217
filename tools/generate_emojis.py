#!/usr/bin/env python3
"""Generates resources/emojis.json from public Unicode and emojibase data.

Inputs (none of them is needed at run time; the generated file is committed):

  * emoji-test.txt from Debian's `unicode-data` package (Emoji 15.0):
    the exact text of every fully-qualified emoji, its group (our category),
    its CLDR name and the emoji version that introduced it.
  * `emojibase-data` 17.0.0 from npm, installed outside the repository:
        mkdir -p /tmp/emojibase && cd /tmp/emojibase && npm install emojibase-data@17.0.0
    en/data.json gives tags and which skin-tone forms belong to which base
    emoji (with the tone of each person); en/shortcodes/github.json and
    iamcal.json give shortcodes.
  * The English CLDR annotations from Debian's `unicode-cldr-core` package
    (CLDR 41): the words of their keyword phrases join the tags as keywords
    for the emoji that CLDR 41 knows (it predates Emoji 15.0).

Texts are always taken from emoji-test.txt; emojibase and CLDR are joined on
the text with every U+FE0F removed, because their own texts add or drop that
selector here and there.

Usage:
    python3 tools/generate_emojis.py [--emojibase DIR] [--output FILE]
"""

import argparse
import json
import os
import re
import sys
import xml.etree.ElementTree as ElementTree

DEFAULT_EMOJI_TEST = "/usr/share/unicode/emoji/emoji-test.txt"
DEFAULT_EMOJIBASE = "/tmp/emojibase/node_modules/emojibase-data"
DEFAULT_CLDR = "/usr/share/unicode/cldr/common"
EMOJIBASE_VERSION = "17.0.0"

# First desktop release of the other operating system whose emoji font showed
# each emoji version. Emoji older than the first row (E0.6, E0.7) carry no
# minimum version. 12.1, 13.1 and 15.1 added sequences only. The program's font
# check (src/platform/linux/EmojiFontSupport.cpp) keeps its own copy of this
# table; change both together.
SYSTEM_VERSION_FOR_EMOJI_VERSION = [
    (1.0, "10.11.1"),
    (2.0, "10.11.1"),
    (3.0, "10.12.2"),
    (4.0, "10.12.2"),
    (5.0, "10.13.1"),
    (11.0, "10.14.1"),
    (12.0, "10.15.1"),
    (12.1, "10.15.1"),
    (13.0, "11.0.1"),
    (13.1, "11.3"),
    (14.0, "12.3"),
    (15.0, "13.3"),
    (15.1, "14.4"),
]

TONE_NAMES = {1: "light", 2: "mediumLight", 3: "medium", 4: "mediumDark", 5: "dark"}
TONE_ORDINAL = {"light": 1, "mediumLight": 2, "medium": 3, "mediumDark": 4, "dark": 5}

# Ids of the entries that the program builds itself carry these prefixes.
RESERVED_ID_PREFIXES = ("emoticon-", "glyph-", "snippet-", "recent-")
READABLE_ID = re.compile(r"^[a-z0-9][a-z0-9_-]*$")

ROW = re.compile(
    r"^(?P<codes>[0-9A-F ]+?)\s*;\s*(?P<status>[a-z-]+)\s*#\s*\S+\s+E(?P<version>\d+\.\d+)\s+(?P<name>.+)$"
)


class GeneratorError(Exception):
    pass


def join_key(text):
    return text.replace("\ufe0f", "")


def text_from_hexcode(hexcode):
    return "".join(chr(int(part, 16)) for part in hexcode.split("-"))


def system_version_for(emoji_version):
    """The minimum system version for an emoji version, or None below the table."""
    if emoji_version < SYSTEM_VERSION_FOR_EMOJI_VERSION[0][0]:
        return None
    for version, system in SYSTEM_VERSION_FOR_EMOJI_VERSION:
        if version == emoji_version:
            return system
    raise GeneratorError(f"emoji version {emoji_version} is missing from the version table")


def read_emoji_test(path):
    """Fully-qualified rows outside the Component group, in file order."""
    rows = []
    group = None
    with open(path, encoding="utf-8") as file:
        for line in file:
            line = line.rstrip("\n")
            if line.startswith("# group:"):
                group = line[len("# group:"):].strip()
                continue
            if not line or line.startswith("#"):
                continue
            match = ROW.match(line)
            if not match:
                raise GeneratorError(f"unreadable line in {path}: {line!r}")
            if match["status"] != "fully-qualified" or group == "Component":
                continue
            text = "".join(chr(int(code, 16)) for code in match["codes"].split())
            rows.append(
                {
                    "text": text,
                    "name": match["name"].strip(),
                    "category": group,
                    "version": float(match["version"]),
                }
            )
    return rows


def read_emojibase(folder):
    with open(os.path.join(folder, "package.json"), encoding="utf-8") as file:
        version = json.load(file)["version"]
    if version != EMOJIBASE_VERSION:
        raise GeneratorError(f"emojibase-data {version} found, {EMOJIBASE_VERSION} expected")
    with open(os.path.join(folder, "en", "data.json"), encoding="utf-8") as file:
        data = json.load(file)

    bases = {}  # join key -> record
    skins = {}  # join key of a toned form -> (base join key, tones, version)
    for record in data:
        key = join_key(text_from_hexcode(record["hexcode"]))
        bases[key] = record
        for skin in record.get("skins", []):
            tone = skin["tone"]
            numbers = tone if isinstance(tone, list) else [tone]
            tones = [TONE_NAMES[number] for number in numbers]
            skins[join_key(text_from_hexcode(skin["hexcode"]))] = (key, tones, skin["version"])

    shortcodes = {}
    for source in ("github", "iamcal"):
        with open(os.path.join(folder, "en", "shortcodes", source + ".json"), encoding="utf-8") as file:
            table = json.load(file)
        for hexcode, codes in table.items():
            if isinstance(codes, str):
                codes = [codes]
            known = shortcodes.setdefault(join_key(text_from_hexcode(hexcode)), [])
            for code in codes:
                if code not in known:
                    known.append(code)
    return bases, skins, shortcodes


def read_cldr_keywords(folder):
    """Keyword phrases of the English CLDR annotations, by join key."""
    keywords = {}
    for name in ("annotations", "annotationsDerived"):
        path = os.path.join(folder, name, "en.xml")
        for element in ElementTree.parse(path).getroot().iter("annotation"):
            if element.get("type") == "tts" or not element.text:
                continue
            phrases = [phrase.strip() for phrase in element.text.split("|") if phrase.strip()]
            keywords.setdefault(join_key(element.get("cp")), phrases)
    return keywords


# Function words of CLDR phrases ("face with tears of joy") that would only add noise to search.
STOP_WORDS = {"a", "an", "and", "at", "by", "for", "in", "of", "on", "the", "to", "with", "&"}
# Quotes, brackets and separators around a word of a phrase ("“free”", "(blood", "man:").
WORD_PUNCTUATION = "\"'“”‘’()[],:;"


def keywords_for(key, bases, cldr):
    words = []

    def add(word):
        word = word.lower()
        if word and word not in words:
            words.append(word)

    for tag in bases.get(key, {}).get("tags", []):
        add(tag)
    for phrase in cldr.get(key, []):
        for word in phrase.split():
            word = word.strip(WORD_PUNCTUATION) or word
            if word.lower() not in STOP_WORDS:
                add(word)
    return words


def slug(name):
    return re.sub(r"[^a-z0-9]+", "_", name.lower()).strip("_")


def make_id(shortcodes, name, text, taken):
    candidates = [code for code in shortcodes if READABLE_ID.match(code)]
    candidates.append(slug(name))
    candidates.append(slug(name) + "_" + "_".join(f"{ord(c):x}" for c in text if c != "\ufe0f"))
    for candidate in candidates:
        if candidate and candidate not in taken and not candidate.startswith(RESERVED_ID_PREFIXES):
            return candidate
    raise GeneratorError(f"no unique id for {name!r}")


def option_sort_key(option):
    tones = option["tones"]
    if not tones:
        kind = 0
    elif len(set(tones)) == 1:
        kind = 1
    else:
        kind = 2
    return (kind, [TONE_ORDINAL[tone] for tone in tones], option["emoji"])


def build_entries(rows, bases, skins, shortcodes, cldr):
    by_key = {join_key(row["text"]): row for row in rows}
    base_rows = []
    toned = {}  # base join key -> list of options
    for row in rows:
        key = join_key(row["text"])
        if key in skins:
            base_key, tones, skin_version = skins[key]
            if base_key not in by_key or base_key in skins:
                raise GeneratorError(f"{row['name']!r}: its base emoji is not a base row of emoji-test.txt")
            if float(skin_version) != row["version"]:
                raise GeneratorError(f"{row['name']!r}: emoji-test.txt and emojibase disagree on its version")
            option = {"emoji": row["text"], "tones": tones}
            system = system_version_for(row["version"])
            if system is not None:
                option["minimumMacOSVersion"] = system
            toned.setdefault(base_key, []).append(option)
        else:
            if key not in bases:
                raise GeneratorError(f"{row['name']!r} is missing from emojibase")
            base_rows.append(row)

    entries = []
    taken = set()
    for row in base_rows:
        key = join_key(row["text"])
        codes = shortcodes.get(key, [])
        identifier = make_id(codes, row["name"], row["text"], taken)
        taken.add(identifier)
        entry = {
            "id": identifier,
            "emoji": row["text"],
            "name": row["name"],
            "category": row["category"],
            "shortcodes": codes,
            "keywords": keywords_for(key, bases, cldr),
        }
        system = system_version_for(row["version"])
        if key in toned:
            base_option = {"emoji": row["text"], "tones": []}
            if system is not None:
                base_option["minimumMacOSVersion"] = system
            options = sorted([base_option] + toned[key], key=option_sort_key)
            entry["variants"] = {"options": options}
        if system is not None:
            entry["minimumMacOSVersion"] = system
        entries.append(entry)
    return entries


def write_entries(entries, path):
    # One entry per line: compact, yet a change to one emoji is a one-line diff.
    lines = [json.dumps(entry, ensure_ascii=False, separators=(",", ":")) for entry in entries]
    with open(path, "w", encoding="utf-8", newline="\n") as file:
        file.write('{"emojis":[\n' + ",\n".join(lines) + "\n]}\n")


def summary(entries):
    with_tones = [entry for entry in entries if "variants" in entry]
    mixed = [
        entry
        for entry in with_tones
        if any(len(set(option["tones"])) > 1 for option in entry["variants"]["options"])
    ]
    toned_forms = sum(len(entry["variants"]["options"]) - 1 for entry in with_tones)
    return (
        f"{len(entries)} emoji, {toned_forms} skin-tone forms, "
        f"{len(with_tones)} with skin tones, {len(mixed)} with mixed tones"
    )


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--emoji-test", default=DEFAULT_EMOJI_TEST)
    parser.add_argument("--emojibase", default=DEFAULT_EMOJIBASE, help="the emojibase-data package folder")
    parser.add_argument("--cldr", default=DEFAULT_CLDR, help="CLDR's common folder")
    parser.add_argument("--output", default=os.path.join(here, "..", "resources", "emojis.json"))
    arguments = parser.parse_args()

    try:
        rows = read_emoji_test(arguments.emoji_test)
        bases, skins, shortcodes = read_emojibase(arguments.emojibase)
        cldr = read_cldr_keywords(arguments.cldr)
        entries = build_entries(rows, bases, skins, shortcodes, cldr)
    except (OSError, GeneratorError, ValueError, KeyError) as error:
        print(f"generate_emojis: {error}", file=sys.stderr)
        return 1
    write_entries(entries, arguments.output)
    print(f"generate_emojis: {summary(entries)}", file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
