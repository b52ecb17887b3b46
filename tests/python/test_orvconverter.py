import os
import pathlib
import re
from concurrent.futures import ThreadPoolExecutor

import numpy
import pandas
import pytest

import orvconverter
from conftest import EXAMPLE_RUNS, EXAMPLES, cli, cli_json, comparable


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


# The core's outcome for every hostile file is orvconvert's test; the
# binding's error numbers are checked against orvconvert in test_dask.
def test_an_error_names_the_file_as_given(tmp_path):
    path = tmp_path / "ü missing.kvr"
    with pytest.raises(orvconverter.Error) as e:
        orvconverter.read(path)
    assert (e.value.path, e.value.number) == (str(path), 5004)


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
