"""Converting many run files on a Dask cluster.

    from distributed import Client
    from orvconverter.dask import convert_files
    table = convert_files(paths, "converted/", client=Client("tcp://HOST:8786"))

Each file is one task; each task writes OUT_DIR/NAME.json as
`orvconvert convert --out-dir` does.
"""
import os

import pandas

import orvconverter

__all__ = ["convert_file", "convert_files"]

COLUMNS = ["file", "ok", "error", "description", "output"]


def convert_file(path, out_dir):
    """Converts one run file into out_dir/NAME.json; answers its row of
    convert_files' table. Never raises for a bad file."""
    path = os.fspath(path)
    output = os.path.join(os.fspath(out_dir), os.path.splitext(os.path.basename(path))[0] + ".json")
    try:
        run = orvconverter.read(path)
        os.makedirs(os.fspath(out_dir), exist_ok=True)
        part = "%s.%d.part" % (output, os.getpid())
        run.write_json(part)
        os.replace(part, output)  # a file killed half-written is never taken for done
    except orvconverter.Error as e:
        return {"file": path, "ok": False, "error": e.number, "description": e.description, "output": None}
    return {"file": path, "ok": True, "error": None, "description": None, "output": output}


def convert_files(paths, out_dir, client=None):
    """Converts each run file of paths into out_dir on a distributed client
    (the caller's, or a local cluster made for the call). Answers a DataFrame
    with one row per file, in the order given: file, ok, error (the error
    number), description, output (the JSON's path)."""
    import distributed

    paths = [os.fspath(p) for p in paths]
    own = client is None
    if own:
        client = distributed.Client(processes=True, dashboard_address=None)
    try:
        # pure=False: two equal paths are two tasks; retries: a task lost
        # with its worker runs again on another.
        futures = client.map(convert_file, paths, out_dir=os.path.abspath(os.fspath(out_dir)), pure=False, retries=2)
        rows = client.gather(futures)
    finally:
        if own:
            client.close()
    return pandas.DataFrame(rows, columns=COLUMNS)
