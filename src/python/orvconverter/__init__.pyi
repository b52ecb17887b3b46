import os
from typing import Optional, Union

import numpy
import numpy.typing
import pandas

_Path = Union[str, bytes, os.PathLike[str], os.PathLike[bytes]]

class Error(Exception):
    number: int
    description: str
    source: str
    path: str
    def __init__(self, number: int, description: str, source: str = ..., path: str = ...) -> None: ...

class Model:
    karva: str
    formula: str
    linking_function: str
    inputs: list[str]
    target: str
    def __call__(self, data: Union[pandas.DataFrame, numpy.typing.ArrayLike]) -> numpy.ndarray: ...
    def r_square(self, frame: pandas.DataFrame) -> Optional[float]: ...

class Run:
    def __init__(self, path: _Path, encoding: str = ...) -> None: ...
    path: str
    version: float
    columns: list[str]
    train: pandas.DataFrame
    test: pandas.DataFrame
    model: Optional[Model]
    key: str
    author: str
    comments: str
    category: str
    function_set: str
    linking_function: str
    error_type: str
    separator: str
    generations: int
    chromosomes: int
    genes: int
    head: int
    gene_length: int
    chromosome_length: int
    terminals: int
    selection_range: float
    precision: float
    mutation: float
    one_point_recombination: float
    two_point_recombination: float
    gene_recombination: float
    gene_transposition: float
    is_transposition: float
    ris_transposition: float
    best_fitness_train: float
    max_fitness_train: float
    r_square_train: float
    best_fitness_test: float
    max_fitness_test: float
    r_square_test: float
    def to_dict(self) -> dict: ...
    def write_json(self, path: _Path) -> None: ...
    def record(self) -> dict: ...

def read(path: _Path, encoding: str = ...) -> Run: ...
def upgrade(path: _Path, out_path: _Path) -> None: ...
