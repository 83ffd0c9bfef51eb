#!/usr/bin/env python3
"""Checks every answer tst_server saw against the OpenAPI document tivor-server serves.

Usage: openapi_check.py OPENAPI.json ANSWERS.json
ANSWERS.json is a list of {"method", "path", "status", "type", "body"}. Each answer's path and method must be
described, its status too, with its content type, and its body must match that schema; a path the API does
not have must get a problem answer (401, 404 or 405); an answer described without content must have no body,
and one that is not JSON is only checked to be described as a string. Prints one line per answer that does not
and exits 1; exits 0 when all do.
"""
import json
import re
import sys
import warnings

import jsonschema


def operation(doc, method, path):
    for template, item in doc["paths"].items():
        pattern = "^" + re.sub(r"\{[^/]+\}", "[^/]+", template) + "$"
        if re.match(pattern, path) and method.lower() in item:
            return item[method.lower()]
    return None


def follow(doc, node):
    while isinstance(node, dict) and "$ref" in node:
        target = doc
        for part in node["$ref"].lstrip("#/").split("/"):
            target = target[part]
        node = target
    return node


def problem(doc, answer, resolver):
    op = operation(doc, answer["method"], answer["path"])
    if op is None and answer["status"] not in (401, 404, 405):
        return "no path or method described"
    responses = op["responses"] if op else {str(answer["status"]): doc["components"]["responses"]["Problem"]}
    response = responses.get(str(answer["status"]))
    if response is None:
        return "status %d not described" % answer["status"]
    content = follow(doc, response).get("content")
    if content is None:
        return "a body where none is described" if answer["body"] else None
    if answer["type"] not in content:
        return "content type %r not described" % answer["type"]
    schema = content[answer["type"]]["schema"]
    if "json" not in answer["type"]:
        return None if schema.get("type") == "string" else "a body that is not JSON where JSON is described"
    try:
        jsonschema.Draft7Validator(schema, resolver=resolver).validate(json.loads(answer["body"]))
    except jsonschema.ValidationError as error:
        return "body: %s at %s" % (error.message, "/".join(str(p) for p in error.absolute_path))
    return None


def main():
    doc = json.load(open(sys.argv[1]))
    answers = json.load(open(sys.argv[2]))
    # Newer jsonschema versions warn about RefResolver; Debian 12's has nothing else.
    warnings.simplefilter("ignore", DeprecationWarning)
    resolver = jsonschema.RefResolver.from_schema(doc)
    failed = 0
    for answer in answers:
        reason = problem(doc, answer, resolver)
        if reason:
            failed += 1
            print("%s %s -> %d: %s" % (answer["method"], answer["path"], answer["status"], reason))
    print("%d answers checked, %d not as described" % (len(answers), failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
