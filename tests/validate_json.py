#!/usr/bin/env python3
"""Validates JSON against the program's schemas (packaging/schemas/).

  validate_json.py SCHEMAS_DIR SCHEMA FILE...   every JSON value in each FILE (JSON lines, or
                                                 pretty-printed values one after another)
Prints one line per value that does not match, with the path and the reason, and exits 1 if any
does not; 0 when all match (and there was at least one)."""
import json
import os
import sys

import jsonschema


def load(schemas_dir):
    store = {}
    for name in os.listdir(schemas_dir):
        if name.endswith(".schema.json"):
            with open(os.path.join(schemas_dir, name), encoding="utf-8") as f:
                schema = json.load(f)
            jsonschema.Draft202012Validator.check_schema(schema)
            store[schema["$id"]] = schema
    return store


def values(path):
    """Every JSON value in the file, one after another (JSON lines, or pretty-printed ones)."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    decoder = json.JSONDecoder()
    found = []
    at = 0
    while True:
        while at < len(text) and text[at].isspace():
            at += 1
        if at == len(text):
            return found
        value, at = decoder.raw_decode(text, at)
        found.append(value)


def main():
    schemas_dir, schema_name, files = sys.argv[1], sys.argv[2], sys.argv[3:]
    store = load(schemas_dir)
    schema = next(s for s in store.values() if s["$id"].endswith("/" + schema_name))
    resolver = jsonschema.RefResolver.from_schema(schema, store=store)
    validator = jsonschema.Draft202012Validator(schema, resolver=resolver)
    count = 0
    bad = 0
    for path in files:
        for number, value in enumerate(values(path), 1):
            count += 1
            for error in sorted(validator.iter_errors(value), key=lambda e: list(e.path)):
                bad += 1
                where = "/".join(str(p) for p in error.absolute_path)
                print(f"{path}:{number}: {schema_name} at /{where}: {error.message}")
                break
    if count == 0:
        print("no JSON to validate")
        return 1
    if not bad:
        print(f"{count} values valid against {schema_name}")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
