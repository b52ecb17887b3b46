import os
import pathlib
import re
from concurrent.futures import ThreadPoolExecutor

import numpy
import pandas
import pytest

import orvconverter
from conftest import EXAMPLE_RUNS, EXAMPLES, HOSTILE, cli, cli_json, comparable


@pytest.mark.parametrize("name", EXAMPLE_RUNS)
def test_a_run_reads_as_orvconvert_converts_and_exports_it(name, tmp_path_factory, private_tmp):
    path, out = os.path.join(EXAMPLES, name), tmp_path_factory.mktemp("csv")
    run = orvconverter.read(pathlib.Path(path))
    assert comparable(run.to_dict()) == cli_json(path)
    assert cli("export", "--data", out, path)[0] == 0
    for frame, name in ((run.train, "train.csv"), (run.test, "test.csv")):
        assert list(frame.columns) == run.columns and set(frame.dtypes) == {numpy.dtype("float64")}
        csv = out / name
        expected = pandas.read_csv(csv) if csv.exists() else frame.iloc[:0]
        pandas.testing.assert_frame_equal(frame, expected, check_dtype=False)
    if run.model:
        # By name, whatever else the frame holds; by position from an array.
        shuffled = run.train[run.columns[::-1]].assign(other="x")
        numpy.testing.assert_array_equal(run.model(shuffled), run.model(run.train[run.model.inputs].to_numpy()))
        assert run.model.r_square(run.train) is None or 0 <= run.model.r_square(run.train) <= 1
    assert list(private_tmp.iterdir()) == []


def hostile_cases():
    for line in open(os.path.join(HOSTILE, "outcomes.txt")):
        if line.strip() and not line.startswith("#"):
            name, outcome, *recipe = line.split()
            yield pytest.param(name, outcome, recipe, id=name)
    yield pytest.param("missing.kvr", "5004", [], id="missing")


@pytest.mark.parametrize("name, outcome, recipe", hostile_cases())
def test_the_hostile_corpus_gives_orvconvert_s_outcomes(name, outcome, recipe, tmp_path):
    source, path = os.path.join(HOSTILE, "corpus", name + (".tpl" if recipe else "")), tmp_path / ("ü " + name)
    if os.path.exists(source):
        data = open(source, "rb").read()
        if recipe:
            unit = re.sub(rb"\\x([0-9a-fA-F]{2})", lambda m: bytes([int(m[1], 16)]), recipe[1].encode())
            unit = unit.replace(b"\\r", b"\r").replace(b"\\n", b"\n").replace(b"\\t", b"\t").replace(b"\\0", b"\0")
            data = data.replace(b"@@", unit * int(recipe[0]))
        path.write_bytes(data)
    try:
        run = orvconverter.read(path)
        run.to_dict(), run.train, run.test
        got = "ok"
    except orvconverter.Error as e:
        assert e.path == str(path)
        got = str(e.number)
    assert got == outcome


def test_upgrades_in_threads_write_what_the_cli_writes_and_leave_nothing(tmp_path_factory, private_tmp):
    source, out = os.path.join(EXAMPLES, "v1-regression.kvr"), tmp_path_factory.mktemp("out")
    assert cli("upgrade", source, "-o", out / "cli.kvr")[0] == 0
    targets = [out / ("ü %d.kvr" % i) for i in range(8)]
    with ThreadPoolExecutor(4) as pool:
        list(pool.map(orvconverter.upgrade, [source] * len(targets), targets))
    # Equal but for the upgrade's folder, which the file records.
    texts = {re.sub(rb">[^<>]*/(\w+temp\.tmp)<", rb">\1<", t.read_bytes()) for t in [out / "cli.kvr", *targets]}
    assert len(texts) == 1
    assert list(private_tmp.iterdir()) == []
