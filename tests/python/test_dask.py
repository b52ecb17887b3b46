import json
import os
import re
import shutil

import pytest
from distributed import Client, LocalCluster

from conftest import EXAMPLE_RUNS, EXAMPLES, HOSTILE, cli, comparable
from orvconverter.dask import convert_files

BAD = ["binary-noise.kvr", "empty.kvr", "function-set-unknown-symbol.kvr", "terminal-without-number.kvr"]


@pytest.fixture(scope="module")
def runs(tmp_path_factory):
    """240 runs, versions 1.0 (all in one folder), 2.0 and bad ones, with
    what orvconvert makes of each: its error number or its JSON."""
    root = tmp_path_factory.mktemp("runs")
    sources = [os.path.join(EXAMPLES, n) for n in EXAMPLE_RUNS] + [os.path.join(HOSTILE, "corpus", n) for n in BAD]
    paths = []
    for i in range(240):
        source = sources[i % len(sources)]
        folder = root / ("v1" if os.path.basename(source).startswith("v1-") else "f%d" % (i % 4))
        folder.mkdir(exist_ok=True)
        paths.append(shutil.copyfile(source, folder / ("%03d-%s" % (i, os.path.basename(source)))).as_posix())
    errors = dict(re.findall(r"orvconvert: (.*): error (\d+):", cli("convert", "--out-dir", root / "cli", *paths)[2]))
    return {p: int(errors[p]) if p in errors else comparable(json.loads((root / "cli" / (os.path.basename(p)[:-4] + ".json")).read_text()))
            for p in paths}


@pytest.fixture(scope="module")
def client():
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1", dashboard_address=None) as cluster:
        with Client(cluster) as c:
            yield c


def check(table, expected):
    assert list(table.file) == list(expected)
    for row in table.itertuples():
        assert (comparable(json.load(open(row.output))) if row.ok else row.error) == expected[row.file]


def test_files_convert_on_the_cluster_as_orvconvert_converts_them(runs, client, tmp_path):
    check(convert_files(list(runs), tmp_path, client=client), runs)
