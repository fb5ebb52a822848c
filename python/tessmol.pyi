"""Type stubs of the tessmol module (pybind11): analyses of protein structures in process."""

import os
from typing import Any, Iterator, Literal, Mapping, Optional, Sequence, Tuple, Union, overload

import numpy

__version__: str
data_folder: str

_Path = Union[str, os.PathLike[str]]
_Spanner3D = Union[None, bool, Literal["default", "auto", "window", "segments", "slab"]]

class Error(Exception):
    message: str
    path: Optional[str]
    line: int
    kind: str
    def __init__(self, message: str, path: Optional[str] = ..., line: int = ..., kind: str = ...) -> None: ...

class FileError(Error, OSError): ...
class FormatError(Error): ...

class Residue:
    index: int
    chain: str
    number: int
    insertion_code: str
    name: str
    ss: Literal["H", "E", "C"]
    area_buried: float
    fraction_polar: float
    kavelin_fp: float
    category: int
    kavelin_category: int
    main_sasa: float
    side_sasa: float
    sasa: float
    solvent_score: float
    kavelin_score: float
    overall_score: float
    transmembrane: bool
    topology: int
    plddt: Optional[float]  # a predicted model's pLDDT; None for an experimental structure
    confidence: Optional[float]  # the same as plddt
    def __eq__(self, other: object) -> bool: ...  # every field equal
    def __hash__(self) -> int: ...

class Chain:
    name: str
    residue_count: int
    first_number: int
    last_number: int
    first_index: int
    last_index: int

class Domain:
    chain: str
    first_number: int
    last_number: int
    orientation: Literal["in-out", "out-in", "in-in", "out-out", "unknown"]
    kind: Literal["crossing", "re-entrant", "signal-peptide"]

class MembraneSegment:
    chain: str
    first_number: int
    last_number: int
    orientation: Literal["in-out", "out-in", "in-in", "out-out"]
    kind: Literal["crossing", "re-entrant"]
    tilt: float

class Membrane:
    placed: bool
    normal: Tuple[float, float, float]
    centre: Tuple[float, float, float]
    half_thickness: float
    score: float
    threshold: float
    chains: list[str]
    symmetry_order: int
    segments: list[MembraneSegment]

class Parameters:
    version: str
    resolution: int
    points_per_atom: Optional[int]
    heteroatoms: Literal["waters_left_out", "all_left_out"]
    heteroatoms_covering: Optional[int]
    waters_left_out: Optional[int]
    secondary_structure: str
    score_table: str
    method: Optional[Literal["window", "segments", "slab", "auto"]]
    def to_dict(self) -> dict[str, Any]: ...

class Stretch:
    chain: str
    first_number: int
    last_number: int

class Failure:
    path: str
    kind: str
    line: int
    message: str

class ScoreTable:
    def __init__(self, path: _Path) -> None: ...
    @property
    def name(self) -> str: ...
    @property
    def path(self) -> str: ...
    def expected_score(self, residue_count: int) -> float: ...

class Residues:
    # Indexable and iterable (not a collections.abc.Sequence: no index() or count()).
    def __len__(self) -> int: ...
    @overload
    def __getitem__(self, index: int) -> Residue: ...
    @overload
    def __getitem__(self, index: slice) -> list[Residue]: ...
    def __iter__(self) -> Iterator[Residue]: ...
    def to_numpy(self) -> numpy.ndarray: ...

class Result:
    @property
    def file(self) -> str: ...
    @property
    def name(self) -> str: ...
    @property
    def path(self) -> str: ...
    @property
    def total_area(self) -> float: ...
    @property
    def average_score(self) -> float: ...
    @property
    def total_score(self) -> float: ...
    @property
    def expected_score(self) -> float: ...
    @property
    def compatible_score(self) -> float: ...
    @property
    def score_table(self) -> str: ...
    @property
    def version(self) -> str: ...
    @property
    def parameters(self) -> Optional[Parameters]: ...
    @property
    def settings(self) -> dict[str, Any]: ...
    @property
    def window_pass_fraction(self) -> float | None: ...
    @property
    def window_test_passed(self) -> bool | None: ...
    @property
    def below_window_test(self) -> list[Stretch]: ...
    @property
    def is_model(self) -> bool: ...
    # A predicted model's (pLDDT); None for an experimental structure.
    @property
    def model_source(self) -> Optional[str]: ...
    @property
    def mean_plddt(self) -> Optional[float]: ...
    @property
    def low_confidence_count(self) -> Optional[int]: ...
    @property
    def confident_plddt(self) -> Optional[float]: ...
    @property
    def confident_count(self) -> Optional[int]: ...
    @property
    def left_out_count(self) -> Optional[int]: ...
    @property
    def confident_average_score(self) -> Optional[float]: ...
    @property
    def confident_expected_score(self) -> Optional[float]: ...
    @property
    def confident_compatible_score(self) -> Optional[float]: ...
    @property
    def messages(self) -> list[str]: ...
    @property
    def chains(self) -> list[Chain]: ...
    @property
    def residues(self) -> Residues: ...
    @property
    def domains(self) -> list[Domain]: ...
    @property
    def signal_peptides(self) -> list[Domain]: ...
    @property
    def membrane(self) -> Optional[Membrane]: ...
    @property
    def assembly_missing_chains(self) -> Optional[int]: ...
    @property
    def membranes(self) -> list[Membrane]: ...
    def summary(self) -> str: ...
    def to_pandas(self) -> Any: ...
    def write_result(self, path: _Path) -> None: ...
    def write_tsv(self, path: _Path) -> None: ...
    def write_bfactor(
        self,
        path: _Path,
        value: Literal["overall", "solvent", "kavelin", "sasa", "transmembrane"] = ...,
        window: int = ...,
    ) -> None: ...

class AnalysisRun(Iterator[Union[Result, Failure]]):
    def __iter__(self) -> "AnalysisRun": ...
    def __next__(self) -> Union[Result, Failure]: ...
    def __len__(self) -> int: ...
    def close(self) -> None: ...

def analyse(
    path: _Path,
    *,
    spanner3d: _Spanner3D = ...,
    resolution: int = ...,
    ignore_het: bool = ...,
    threads: int = ...,
    score_table: Union[None, ScoreTable, _Path] = ...,
    secondary_structure: Literal["auto", "records", "computed"] = ...,
    max_unpacked_mib: int = ...,
    scan: Optional[Mapping[str, float]] = ...,
    log: Optional[_Path] = ...,
    confidence: Literal["auto", "plddt"] = ...,
    confident_plddt: float = ...,
) -> Result: ...
def analyse_many(
    paths: Sequence[_Path],
    *,
    jobs: int = ...,
    errors: Literal["raise", "record"] = ...,
    spanner3d: _Spanner3D = ...,
    resolution: int = ...,
    ignore_het: bool = ...,
    threads: int = ...,
    score_table: Union[None, ScoreTable, _Path] = ...,
    secondary_structure: Literal["auto", "records", "computed"] = ...,
    max_unpacked_mib: int = ...,
    scan: Optional[Mapping[str, float]] = ...,
    confidence: Literal["auto", "plddt"] = ...,
    confident_plddt: float = ...,
) -> AnalysisRun: ...
def read_result(path: _Path, *, score_table: Union[None, ScoreTable, _Path] = ...) -> Result: ...
def spanner2d(
    sequences: Union[_Path, Sequence[Tuple[str, str]]],
    *,
    method: Literal["segments", "auto", "default", "window"] = ...,
    resolution: int = ...,
    ignore_het: bool = ...,
    threads: int = ...,
    score_table: Union[None, ScoreTable, _Path] = ...,
    scan: Optional[Mapping[str, float]] = ...,
    log: Optional[_Path] = ...,
    errors: Literal["raise", "record"] = ...,
) -> list[Union[Result, Failure]]: ...  # Failure only with errors="record"
