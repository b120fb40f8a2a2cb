#!/usr/bin/env python3
"""Writes the shipped texture catalogue (data/lumivale.csv) from the gathered facts.

Usage: tools/make_catalogue.py [FACTS_CSV] [OUTPUT]
  FACTS_CSV defaults to tools/catalogue-facts.csv (one row per texture: category,
  display_name, width, height, game_path, file_name, size_from); OUTPUT to data/lumivale.csv.
Categories keep the order in which they first appear; textures keep file order.
"""
import csv
import pathlib
import sys

root = pathlib.Path(__file__).resolve().parent.parent
facts = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else root / "tools" / "catalogue-facts.csv"
output = pathlib.Path(sys.argv[2]) if len(sys.argv) > 2 else root / "data" / "lumivale.csv"

categories = {}
with open(facts, newline="", encoding="utf-8") as f:
    for row in csv.DictReader(f):
        categories.setdefault(row["category"], []).append(row)


def text(value):
    # The catalogue's fields cannot hold a double quote or a line end.
    if '"' in value or "\n" in value or "\r" in value:
        sys.exit(f"unusable text in the facts: {value!r}")
    return f'"{value}"'


lines = [str(len(categories))]
for name, rows in categories.items():
    lines.append(f"{text(name)},{len(rows)}")
    for row in rows:
        lines.append(",".join([text(row["display_name"]), str(int(row["width"])), str(int(row["height"])),
                               text(row["game_path"]), text(row["file_name"])]))
output.write_text("\n".join(lines) + "\n", encoding="utf-8")
print(f"{output}: {len(categories)} categories, {sum(map(len, categories.values()))} textures")
