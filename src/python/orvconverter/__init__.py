"""Legacy gene expression programming run files (.kvr, versions 1.0 and 2.0)
in Python: settings, data sets as pandas DataFrames, and the best model.

    import orvconverter
    run = orvconverter.read("examples/regression.kvr")
    run.train                      # DataFrame, one float64 column per field
    run.model(run.train)           # numpy array of the model's outputs
    run.model.r_square(run.test)   # R-square on the test data
    run.to_dict()                  # what `orvconvert convert` writes as JSON

Every failure raises orvconverter.Error, with the error numbers of
`orvconvert`. orvconverter.dask converts many files on a Dask cluster.
"""
import os as _os

__all__ = ["Error", "Run", "Model", "read", "upgrade"]


class Error(Exception):
    """A run file that cannot be read, upgraded or converted.

    number, description and source are those `orvconvert` reports; path is
    the file's path as given.
    """

    def __init__(self, number, description, source="", path=""):
        super().__init__(number, description, source, path)
        self.number = number
        self.description = description
        self.source = source
        self.path = path

    def __str__(self):
        text = "%s: error %d: %s" % (self.path, self.number, self.description)
        return text + (" [%s]" % self.source if self.source else "")


from ._orvconverter import Model, Run, upgrade  # noqa: E402


def read(path, encoding="windows-1252"):
    """Reads the run file at path (str, bytes or os.PathLike) as a conversion
    does, upgrading a version-1.0 file on the way; texts are decoded from
    encoding, the code page the file was written in."""
    return Run(_os.fspath(path), encoding)
