"""Argument binding and conversion, seen through the module's own functions: every parameter
binds by position or by keyword; missing, surplus, unknown and doubled arguments raise
TypeError; text must be str, bytes must be bytes, and a failed conversion names its parameter."""

from __future__ import annotations

import pathlib

import pytest

import quorsin_cn0 as q
from conftest import v3_text

TEXT = v3_text({"G": ["C1C", "S1C"]}, [(9.0, [("G01", [2.2e7, 45.0]), ("G02", [2.3e7, 40.0])])])
DATA = TEXT.encode()

BYTES_READERS = [q.read_rinex_obs_bytes, q.parse_rinex]


@pytest.fixture
def obs_path(tmp_path: pathlib.Path) -> str:
    path = tmp_path / "site.obs"
    path.write_bytes(DATA)
    return str(path)


def check(obs) -> None:
    assert isinstance(obs, q.RinexObsData)
    assert obs.num_epochs == 1
    assert obs.num_satellites == 2


# --- binding ---------------------------------------------------------------------------------


@pytest.mark.parametrize("reader", BYTES_READERS, ids=lambda f: f.__name__)
@pytest.mark.parametrize("args, kwargs", [
    ((DATA, "f.obs"), {}),
    ((DATA,), {"filename": "f.obs"}),
    ((), {"data": DATA, "filename": "f.obs"}),
    ((), {"filename": "f.obs", "data": DATA}),
], ids=["positional", "mixed", "keywords", "keywords-reversed"])
def test_bytes_readers_bind_by_position_or_keyword(reader, args, kwargs):
    check(reader(*args, **kwargs))


def test_path_reader_binds_by_position_or_keyword(obs_path):
    check(q.read_rinex_obs(obs_path))
    check(q.read_rinex_obs(path=obs_path))


@pytest.mark.parametrize("reader", BYTES_READERS, ids=lambda f: f.__name__)
@pytest.mark.parametrize("args, kwargs", [
    ((), {}),                                        # both missing
    ((DATA,), {}),                                   # filename missing
    ((), {"filename": "f.obs"}),                     # data missing
    ((DATA, "f.obs", "extra"), {}),                  # surplus positional
    ((DATA, "f.obs"), {"path": "x"}),                # unknown keyword
    ((), {"data": DATA, "name": "f.obs"}),           # unknown keyword in place of one
    ((DATA, "f.obs"), {"data": DATA}),               # data twice
    ((DATA, "f.obs"), {"filename": "g.obs"}),        # filename twice
    ((DATA,), {"data": DATA, "filename": "f.obs"}),  # data twice, nothing missing
], ids=["none", "no-filename", "no-data", "surplus", "unknown", "unknown-instead", "data-twice",
        "filename-twice", "data-twice-complete"])
def test_bytes_readers_reject_bad_binding(reader, args, kwargs):
    with pytest.raises(TypeError):
        reader(*args, **kwargs)


@pytest.mark.parametrize("args, kwargs", [
    ((), {}),
    (("a", "b"), {}),
    (("a",), {"path": "a"}),
    (("a",), {"mode": "r"}),
    ((), {"filename": "a"}),
], ids=["missing", "surplus", "twice", "unknown", "wrong-name"])
def test_path_reader_rejects_bad_binding(args, kwargs, obs_path):
    # The arguments are bound before anything is read: a real file does not change that.
    args = tuple(obs_path if a == "a" else a for a in args)
    kwargs = {k: (obs_path if v == "a" else v) for k, v in kwargs.items()}
    with pytest.raises(TypeError):
        q.read_rinex_obs(*args, **kwargs)


@pytest.mark.parametrize("args, kwargs", [((1,), {}), ((), {"x": 1}), ((None,), {})])
def test_version_takes_no_arguments(args, kwargs):
    with pytest.raises(TypeError):
        q.version(*args, **kwargs)
    assert q.version() == "0.4.2"


# --- conversions -----------------------------------------------------------------------------


class Text(str):
    pass


class Blob(bytes):
    pass


@pytest.mark.parametrize("bad", [b"/tmp/site.obs", pathlib.Path("/tmp/site.obs"), None, 42, ["a"], bytearray(b"a")],
                         ids=["bytes", "Path", "None", "int", "list", "bytearray"])
def test_path_must_be_str(bad):
    with pytest.raises(TypeError) as err:
        q.read_rinex_obs(bad)
    assert str(err.value).startswith("argument 'path': ")
    with pytest.raises(TypeError) as err:
        q.read_rinex_obs(path=bad)
    assert str(err.value).startswith("argument 'path': ")


def test_str_subclass_is_text(obs_path):
    check(q.read_rinex_obs(Text(obs_path)))
    obs = q.read_rinex_obs_bytes(DATA, Text("f.obs"))
    check(obs)


@pytest.mark.parametrize("reader", BYTES_READERS, ids=lambda f: f.__name__)
@pytest.mark.parametrize("bad", [TEXT, bytearray(DATA), memoryview(DATA), None, list(DATA[:10]), 7],
                         ids=["str", "bytearray", "memoryview", "None", "list", "int"])
def test_data_must_be_bytes(reader, bad):
    with pytest.raises(TypeError) as err:
        reader(bad, "f.obs")
    assert str(err.value).startswith("argument 'data': ")
    with pytest.raises(TypeError) as err:
        reader(filename="f.obs", data=bad)
    assert str(err.value).startswith("argument 'data': ")


@pytest.mark.parametrize("reader", BYTES_READERS, ids=lambda f: f.__name__)
def test_bytes_subclass_is_bytes(reader):
    check(reader(Blob(DATA), "f.obs"))


@pytest.mark.parametrize("reader", BYTES_READERS, ids=lambda f: f.__name__)
@pytest.mark.parametrize("bad", [b"f.obs", None, 1, pathlib.Path("f.obs"), bytearray(b"f")],
                         ids=["bytes", "None", "int", "Path", "bytearray"])
def test_filename_must_be_str(reader, bad):
    with pytest.raises(TypeError) as err:
        reader(DATA, bad)
    assert str(err.value).startswith("argument 'filename': ")
    with pytest.raises(TypeError) as err:
        reader(data=DATA, filename=bad)
    assert str(err.value).startswith("argument 'filename': ")

