#!/usr/bin/env python3
"""Checks native-messaging host manifests of one browser family against native-host.json: valid JSON with exactly
the keys its browser family reads, the host's name and description, type stdio, the extensions
allowed to start it, and a path naming an executable that exists (absolute on Linux; on Windows
a file beside the manifest, or the absolute path that --host gives). Prints what is wrong and
exits 1."""
import argparse
import json
import os
import re
import sys


def fail(manifest, message):
    sys.exit(f"{manifest}: {message}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("manifests", nargs="+")
    parser.add_argument("--config", required=True, help="native-host.json")
    parser.add_argument("--kind", required=True, choices=("chromium", "firefox"))
    parser.add_argument("--host", help="the path the manifest must name")
    parser.add_argument("--id", action="append", help="an allowed extension (default: config's)")
    parser.add_argument("--root", default="", help="a Linux host's path is looked up below it")
    parser.add_argument("--windows", action="store_true",
                        help="a Windows manifest: the host named relative to the manifest")
    args = parser.parse_args()

    with open(args.config, encoding="utf-8") as file:
        config = json.load(file)
    for manifest in args.manifests:
        check(manifest, config, args)


def check(manifest_file, config, args):
    try:
        with open(manifest_file, encoding="utf-8") as file:
            manifest = json.load(file)
    except (OSError, ValueError) as error:
        fail(manifest_file, f"not readable JSON: {error}")
    if not isinstance(manifest, dict):
        fail(manifest_file, "not a JSON object")

    allowed_key = "allowed_origins" if args.kind == "chromium" else "allowed_extensions"
    expected_keys = {"name", "description", "path", "type", allowed_key}
    if set(manifest) != expected_keys:
        fail(manifest_file, f"keys {sorted(manifest)}, expected {sorted(expected_keys)}")
    if manifest["name"] != config["name"]:
        fail(manifest_file, f"name {manifest['name']!r}, expected {config['name']!r}")
    if not args.windows and os.path.basename(manifest_file) != config["name"] + ".json":
        fail(manifest_file, "the file is not named after the host")
    if manifest["description"] != config["description"]:
        fail(manifest_file, f"description {manifest['description']!r}")
    if manifest["type"] != "stdio":
        fail(manifest_file, f"type {manifest['type']!r}, expected 'stdio'")

    if args.kind == "chromium":
        ids = args.id or [config["chromeExtensionId"]]
        expected_allowed = [f"chrome-extension://{id}/" for id in ids]
    else:
        expected_allowed = args.id or [config["firefoxExtensionId"]]
    if manifest[allowed_key] != expected_allowed:
        fail(manifest_file, f"{allowed_key} {manifest[allowed_key]!r}, expected {expected_allowed!r}")

    path = manifest["path"]
    if args.host is not None and path != args.host:
        fail(manifest_file, f"path {path!r}, expected {args.host!r}")
    if args.windows and args.host is not None and re.match(r"[A-Za-z]:\\", path):
        pass  # an installed host, named by its absolute path: the caller checks that it exists
    elif args.windows:
        if "/" in path or "\\" in path or ":" in path:
            fail(manifest_file, f"path {path!r} is not a file name beside the manifest")
        host = os.path.join(os.path.dirname(manifest_file), path)
        if not os.path.isfile(host):
            fail(manifest_file, f"path {path!r}: no such file beside the manifest")
    else:
        if not os.path.isabs(path):
            fail(manifest_file, f"path {path!r} is not absolute")
        installed = args.root + path
        if not os.path.isfile(installed) or not os.access(installed, os.X_OK):
            fail(manifest_file, f"path {path!r} is not an executable file")


if __name__ == "__main__":
    main()
