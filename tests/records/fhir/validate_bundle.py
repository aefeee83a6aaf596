#!/usr/bin/python3
"""Validates subject bundles against the official FHIR R4 JSON schema and
checks what the schema cannot: every reference resolves inside the bundle,
every full URL is unique, and each measurement's panel holds its 24 points,
each with its side. Usage: validate_bundle.py SCHEMA BUNDLE.json..."""
import json
import sys

import jsonschema

LATERALITY = "http://hl7.org/fhir/StructureDefinition/observation-structureLaterality"
SIDES = {"7771000", "24028007"}


def references(node):
    if isinstance(node, dict):
        for key, value in node.items():
            if key == "reference" and isinstance(value, str):
                yield value
            else:
                yield from references(value)
    elif isinstance(node, list):
        for value in node:
            yield from references(value)


def check(bundle):
    problems = []
    if bundle.get("resourceType") != "Bundle" or bundle.get("type") != "collection":
        problems.append("not a Bundle of type collection")
    entries = bundle.get("entry", [])
    urls = [e.get("fullUrl") for e in entries]
    if len(set(urls)) != len(urls):
        problems.append("full URLs repeat")
    known = set(urls)
    by_url = {e["fullUrl"]: e["resource"] for e in entries}
    for e in entries:
        for ref in references(e["resource"]):
            if ref not in known:
                problems.append(f"{e['fullUrl']}: reference {ref} does not resolve in the bundle")
    patients = [r for r in by_url.values() if r["resourceType"] == "Patient"]
    if len(patients) != 1:
        problems.append(f"{len(patients)} Patient resources")
    for url, r in by_url.items():
        if r["resourceType"] != "Observation" or "hasMember" not in r:
            continue
        members = [by_url[m["reference"]] for m in r["hasMember"] if m["reference"] in by_url]
        if len(members) != 24:
            problems.append(f"{url}: {len(members)} points")
        sides = [x["valueCodeableConcept"]["coding"][0]["code"]
                 for m in members for x in m.get("bodySite", {}).get("extension", []) if x["url"] == LATERALITY]
        if len(sides) != 24 or set(sides) != SIDES or sides.count("7771000") != 12:
            problems.append(f"{url}: the points' sides are {sides}")
        for m in members:
            if ("valueQuantity" in m) == ("dataAbsentReason" in m):
                problems.append(f"{url}: a point with both or neither of a value and an absent reason")
            if "valueQuantity" in m and m["valueQuantity"].get("code") != "uA":
                problems.append(f"{url}: a point's unit is not uA")
    return problems


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        schema = json.load(f)
    validator = jsonschema.Draft6Validator(schema)
    failed = 0
    for path in sys.argv[2:]:
        with open(path, encoding="utf-8") as f:
            bundle = json.load(f)
        errors = [f"bundle: {e.message[:200]}" for e in validator.iter_errors(bundle)]
        # The bundle's resources one by one against their own definitions,
        # for messages that name the field (the whole only says which oneOf failed).
        for entry in bundle.get("entry", []):
            kind = entry.get("resource", {}).get("resourceType", "")
            one = jsonschema.Draft6Validator({"definitions": schema["definitions"], "$ref": f"#/definitions/{kind}"})
            errors += [f"{entry.get('fullUrl')}/{'/'.join(str(p) for p in e.absolute_path)}: {e.message[:200]}"
                       for e in one.iter_errors(entry.get("resource", {}))]
        problems = errors + check(bundle)
        for p in problems:
            print(f"{path}: {p}")
        print(f"{path}: {len(bundle.get('entry', []))} resources, {len(problems)} problems")
        failed += bool(problems)
    if not sys.argv[2:]:
        print("no bundle given")
        return 1
    # The checks must see a broken bundle as broken: a gender the code list
    # lacks, and a point taken out of the bundle while its panel names it.
    with open(sys.argv[2], encoding="utf-8") as f:
        broken = json.load(f)
    broken["entry"][0]["resource"]["gender"] = "man"
    del broken["entry"][-1]
    if not any(True for _ in validator.iter_errors(broken)) or not check(broken):
        print("the checks did not find the faults of a broken bundle")
        return 1
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
