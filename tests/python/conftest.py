import json
import os
import subprocess

import pytest

EXAMPLES = os.environ.get("ORV_EXAMPLES", os.path.join(os.path.dirname(__file__), "../../examples"))
# The bundled run files (the folder also holds their generator).
EXAMPLE_RUNS = sorted(n for n in os.listdir(EXAMPLES) if n.endswith(".kvr"))
HOSTILE = os.environ.get("ORV_HOSTILE", os.path.join(os.path.dirname(__file__), "../hostile"))


def cli(*args):
    """orvconvert's exit status, standard output and standard error."""
    done = subprocess.run([os.environ["ORVCONVERT"], *map(str, args)], capture_output=True)
    return done.returncode, done.stdout, done.stderr.decode("utf-8", "replace")


def comparable(document):
    """A converted run without what differs by where it was converted: a
    version-1.0 upgrade records the folder it wrote its data files in."""
    for key in ("data#train_Path", "data#test_Path"):
        setting = document["settings"].get(key, {})
        if str(setting.get("value")).endswith("temp.tmp"):
            setting["value"] = os.path.basename(setting["value"])
    return document


def cli_json(path):
    return comparable(json.loads(cli("convert", path)[1]))


@pytest.fixture
def private_tmp(tmp_path, monkeypatch):
    """A TMPDIR of its own, to see what a call leaves behind."""
    monkeypatch.setenv("TMPDIR", str(tmp_path))
    return tmp_path
