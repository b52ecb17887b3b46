import os
import pathlib
import re
from concurrent.futures import ThreadPoolExecutor

import numpy
import pandas
import pytest

import orvconverter
from conftest import EXAMPLES, HOSTILE, cli, cli_json, comparable, examples


@pytest.mark.parametrize("path", examples())
def test_a_run_reads_as_orvconvert_converts_and_exports_it(path, tmp_path, private_tmp):
    run = orvconverter.read(pathlib.Path(path))
    assert comparable(run.to_dict()) == cli_json(path)
    assert cli("export", "--data", tmp_path, path)[0] == 0
    for frame, name in ((run.train, "train.csv"), (run.test, "test.csv")):
        assert list(frame.columns) == run.columns and set(frame.dtypes) == {numpy.dtype("float64")}
        csv = tmp_path / name
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


@pytest.mark.parametrize("name, outcome, recipe", hostile_cases())
def test_the_hostile_corpus_gives_orvconvert_s_outcomes(name, outcome, recipe, tmp_path):
    path = os.path.join(HOSTILE, "corpus", name)
    if recipe:
        unit = re.sub(rb"\\x([0-9a-fA-F]{2})", lambda m: bytes([int(m[1], 16)]), recipe[1].encode())
        unit = unit.replace(b"\\r", b"\r").replace(b"\\n", b"\n").replace(b"\\t", b"\t").replace(b"\\0", b"\0")
        path = tmp_path / name
        path.write_bytes(open(os.path.join(HOSTILE, "corpus", name + ".tpl"), "rb").read().replace(b"@@", unit * int(recipe[0])))
    try:
        run = orvconverter.read(path)
        run.to_dict(), run.train, run.test
        got = "ok"
    except orvconverter.Error as e:
        assert e.path == os.fspath(path)
        got = str(e.number)
    assert got == outcome


@pytest.mark.parametrize("name, number", [("missing.kvr", 5004), ("plain text ü.kvr", 5002)])
def test_errors_carry_the_cli_s_number_and_the_path(name, number, tmp_path):
    path = tmp_path / name
    if number != 5004:
        path.write_text("plain text\r\n")
    with pytest.raises(orvconverter.Error) as raised:
        orvconverter.read(path)
    assert (raised.value.number, raised.value.path) == (number, str(path))
    assert str(number) in cli("convert", path)[2]


def test_upgrades_in_threads_write_what_the_cli_writes_and_leave_nothing(tmp_path, private_tmp):
    source = os.path.join(EXAMPLES, "v1-regression.kvr")
    assert cli("upgrade", source, "-o", tmp_path / "cli.kvr")[0] == 0
    targets = [tmp_path / ("ü %d.kvr" % i) for i in range(8)]
    with ThreadPoolExecutor(4) as pool:
        list(pool.map(orvconverter.upgrade, [source] * len(targets), targets))
    # Equal but for the upgrade's folder, which the file records.
    texts = {re.sub(rb">[^<>]*/(\w+temp\.tmp)<", rb">\1<", t.read_bytes()) for t in [tmp_path / "cli.kvr", *targets]}
    assert len(texts) == 1
    assert list(private_tmp.iterdir()) == []
