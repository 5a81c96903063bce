#!/usr/bin/python3
"""Checks JSON files against tools/network.schema.json (Debian's python3-jsonschema).

usage: check_schema.py SCHEMA FILE...  Prints each file's faults; exits 1 when
there are any, 2 when the schema itself is not a valid JSON Schema.
"""
import json
import sys

import jsonschema


def main(argv):
    with open(argv[1], encoding="utf-8") as handle:
        schema = json.load(handle)
    validator_class = jsonschema.validators.validator_for(schema)
    try:
        validator_class.check_schema(schema)
    except jsonschema.exceptions.SchemaError as error:
        print(f"{argv[1]}: not a valid schema: {error.message}")
        return 2
    validator = validator_class(schema)
    faults = 0
    for path in argv[2:]:
        with open(path, encoding="utf-8") as handle:
            document = json.load(handle)
        for error in validator.iter_errors(document):
            faults += 1
            cause = jsonschema.exceptions.best_match(error.context) if error.context else error
            where = "/".join(str(part) for part in cause.absolute_path)
            print(f"{path}: /{where}: {cause.message[:300]}")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
